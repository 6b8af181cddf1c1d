#!/usr/bin/env python3
"""Render the calibrated sample maps and the creation test fixtures.

Every map shows the same synthetic landscape (a coastline, contour bands, a
0.1 degree graticule, hill symbols and coloured landmark squares), rendered
from WGS 84 latitude/longitude so that overlapping maps agree wherever they
cover the same ground.  Each map has its own land tint, so that a merged map
shows which source supplied a pixel, and most have a white collar with a
magenta legend bar outside their neatline, which a merge must cut away.

Every pixel position and every calibration point goes through real map
projections: pixels are converted with PROJ's cs2cs (proj-bin), the output
written as PPM and turned into PNG/JPEG/GIF/BMP with ImageMagick's convert.
The script is run once and its output committed; nothing else reruns it.

    scripts/make-samples.py samples            # the demo set
    scripts/make-samples.py fixtures           # tests/fixtures/creation
"""
import math
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

WGS84 = "+proj=longlat +datum=WGS84 +no_defs"

# Datums used by the maps: (name written in the .map, PROJ ellipsoid, shift to WGS 84).
DATUMS = {
    "WGS 84": ("WGS84", "0,0,0"),
    "European 1950": ("intl", "-87,-98,-121"),
}

# Landmarks: name, WGS 84 latitude, longitude, colour (R, G, B).  Pure,
# saturated colours that the landscape itself never uses.
LANDMARKS = [
    ("red", 46.150, 7.050, (230, 0, 0)),
    ("green", 46.230, 7.180, (0, 200, 0)),
    ("cyan", 46.080, 6.920, (0, 200, 230)),
    ("orange", 46.300, 6.980, (255, 140, 0)),
]

COLLAR = (255, 255, 255)
LEGEND = (255, 0, 255)
NEATLINE = (0, 0, 0)
SEA = (40, 90, 200)
GRATICULE = (70, 70, 70)
SYMBOL = (20, 20, 20)


def run_cs2cs(src, dst, points):
    """Transforms (x, y) pairs from definition src to dst with cs2cs."""
    text = "".join(f"{x:.10f} {y:.10f}\n" for x, y in points)
    out = subprocess.run(["cs2cs", "-f", "%.10f"] + src.split() + ["+to"] + dst.split(),
                         input=text, capture_output=True, text=True, check=True).stdout
    result = []
    for line in out.splitlines():
        parts = line.split()
        result.append((float(parts[0]), float(parts[1])))
    if len(result) != len(points):
        raise RuntimeError("cs2cs returned a different number of points")
    return result


class MapSheet:
    """One source map: projection, pixel grid (axis-aligned in its own
    projected units), collar width and file format."""

    def __init__(self, name, projection_name, proj_def, datum, west, north, unit_per_px,
                 width, height, collar, image_ext, tint, setup=None, zone=None, ground_mpp=None):
        self.name = name
        self.projection_name = projection_name
        self.datum = datum
        ellps, towgs = DATUMS[datum]
        self.local_def = f"{proj_def} +ellps={ellps} +no_defs"
        self.shifted_def = f"{proj_def} +ellps={ellps} +towgs84={towgs} +no_defs"
        self.local_geo = f"+proj=longlat +ellps={ellps} +no_defs"
        self.west = west          # projected X of the left edge of pixel column 0
        self.north = north        # projected Y of the top edge of pixel row 0
        self.unit = unit_per_px
        self.width = width
        self.height = height
        self.collar = collar
        self.image_ext = image_ext
        self.tint = tint
        self.setup = setup
        self.zone = zone
        self.ground_mpp = ground_mpp if ground_mpp else unit_per_px

    def projected(self, px, py):
        return (self.west + px * self.unit, self.north - py * self.unit)

    def pixel_of(self, x, y):
        return ((x - self.west) / self.unit, (self.north - y) / self.unit)

    def border_pixels(self):
        c = self.collar
        w, h = self.width - 1 - c, self.height - 1 - c
        return [(c, c), (w, c), (w, h), (c, h)]


def land_colour(tint, lat, lon):
    """Contour-like bands of a smooth relief, shaded in the map's tint."""
    relief = math.sin(lat * 31.0) * math.cos(lon * 23.0) + 0.5 * math.sin((lat + lon) * 57.0)
    band = int(math.floor((relief + 1.5) * 3.0)) % 4
    shade = (0, 18, 36, 54)[band]
    return tuple(max(0, min(250, c - shade)) for c in tint)


def is_sea(lat, lon):
    return lat < 45.98 + 0.04 * math.sin(lon * 17.0) + 0.03 * math.cos(lon * 41.0)


HILLS = [(46.12 + 0.05 * i, 6.80 + 0.11 * j) for i in range(6) for j in range(6) if (i + j) % 2 == 0]


def render(sheet):
    """Returns the sheet's rows of (R, G, B) and the landmark pixels."""
    w, h = sheet.width, sheet.height
    centres = [sheet.projected(px + 0.0, py + 0.0) for py in range(h) for px in range(w)]
    geo = run_cs2cs(sheet.shifted_def, WGS84, centres)
    deg_per_px = sheet.ground_mpp / 111000.0
    rows = []
    for py in range(h):
        row = []
        for px in range(w):
            lon, lat = geo[py * w + px]
            if is_sea(lat, lon):
                colour = SEA
            else:
                colour = land_colour(sheet.tint, lat, lon)
            glat = abs(lat * 10 - round(lat * 10)) / 10
            glon = abs(lon * 10 - round(lon * 10)) / 10 * math.cos(math.radians(lat))
            if min(glat, glon) < 0.55 * deg_per_px:
                colour = GRATICULE
            row.append(colour)
        rows.append(row)
    # Hill symbols: small black triangles, scaled to stay about 7 pixels.
    hill_px = run_cs2cs(WGS84, sheet.shifted_def, [(lon, lat) for lat, lon in HILLS])
    for x, y in hill_px:
        cx, cy = sheet.pixel_of(x, y)
        cx, cy = int(round(cx)), int(round(cy))
        for dy in range(0, 5):
            for dx in range(-dy, dy + 1):
                put(rows, w, h, cx + dx, cy - 2 + dy, SYMBOL)
    # Landmarks: 5 x 5 squares centred on the exact projected position.
    marks = []
    mark_px = run_cs2cs(WGS84, sheet.shifted_def, [(lon, lat) for _, lat, lon, _ in LANDMARKS])
    for (name, lat, lon, colour), (x, y) in zip(LANDMARKS, mark_px):
        fx, fy = sheet.pixel_of(x, y)
        cx, cy = int(round(fx)), int(round(fy))
        c = sheet.collar
        if c + 3 <= cx <= w - 4 - c and c + 3 <= cy <= h - 4 - c:
            for dy in range(-2, 3):
                for dx in range(-2, 3):
                    put(rows, w, h, cx + dx, cy + dy, colour)
            marks.append((name, fx, fy))
    draw_collar(sheet, rows)
    return rows, marks


def put(rows, w, h, x, y, colour):
    if 0 <= x < w and 0 <= y < h:
        rows[y][x] = colour


def draw_collar(sheet, rows):
    c = sheet.collar
    if c == 0:
        return
    w, h = sheet.width, sheet.height
    for y in range(h):
        for x in range(w):
            if x < c or y < c or x > w - 1 - c or y > h - 1 - c:
                rows[y][x] = COLLAR
    # The neatline just outside the border, and a legend bar in the bottom collar.
    for x in range(c - 1, w - c + 1):
        rows[c - 1][x] = NEATLINE
        rows[h - c][x] = NEATLINE
    for y in range(c - 1, h - c + 1):
        rows[y][c - 1] = NEATLINE
        rows[y][w - c] = NEATLINE
    for y in range(h - c + 3, h - 3):
        for x in range(c, min(w - c, c + 60)):
            rows[y][x] = LEGEND


def write_image(sheet, rows, folder):
    ppm = os.path.join(folder, sheet.name + ".ppm")
    with open(ppm, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (sheet.width, sheet.height))
        f.write(bytes(v for row in rows for colour in row for v in colour))
    image = os.path.join(folder, sheet.name + sheet.image_ext)
    args = ["convert", ppm]
    if sheet.image_ext == ".jpg":
        args += ["-quality", "92"]
    if sheet.image_ext == ".gif":
        args += ["+dither", "-colors", "128"]
    if sheet.image_ext == ".bmp":
        args += ["+dither", "-colors", "200", "-type", "Palette", "BMP3:" + image]
    else:
        args += ["-strip", image]
    subprocess.run(args, check=True)
    os.remove(ppm)
    return os.path.basename(image)


def deg_min(value, positive, negative):
    hemisphere = positive if value >= 0 else negative
    a = abs(value)
    degrees = int(a)
    minutes = (a - degrees) * 60.0
    if minutes >= 59.99995:
        degrees, minutes = degrees + 1, 0.0
    return degrees, minutes, hemisphere


def point_line(n, px, py, lat, lon, zone="", easting="", northing="", hemi="N"):
    ld, lm, lh = deg_min(lat, "N", "S")
    od, om, oh = deg_min(lon, "E", "W")
    return (f"Point{n:02d},xy,{px:5d},{py:5d},in, deg,{ld:4d},{lm:8.4f},{lh},{od:4d},{om:8.4f},{oh}, grid,"
            f"{zone:>3},{easting:>11},{northing:>11},{hemi}")


def write_map_file(sheet, image_name, folder):
    """The calibration file: four corner points in the map's own datum, the
    border polygon (pixel and latitude/longitude), the scale."""
    corners = [(0, 0), (sheet.width - 1, 0), (sheet.width - 1, sheet.height - 1), (0, sheet.height - 1)]
    corner_xy = [sheet.projected(px, py) for px, py in corners]
    corner_ll = run_cs2cs(sheet.local_def, sheet.local_geo, corner_xy)
    border = sheet.border_pixels()
    border_ll = run_cs2cs(sheet.local_def, sheet.local_geo, [sheet.projected(px, py) for px, py in border])
    lines = [
        "Tervane Map Data File Version 2.2",
        sheet.name,
        "C:\\Maps\\Quiltor Samples\\" + image_name,
        "1 ,Map Code,",
        sheet.datum + ",,0.0000,0.0000,",
        "Reserved 1",
        "Reserved 2",
        "Magnetic Variation,,,E",
        "Map Projection," + sheet.projection_name + ",PolyCal,No,AutoCalOnly,No,BSBUseWPX,No",
    ]
    for n, ((px, py), (x, y), (lon, lat)) in enumerate(zip(corners, corner_xy, corner_ll), start=1):
        if sheet.zone:
            lines.append(point_line(n, px, py, lat, lon, sheet.zone, f"{x + 500000:.1f}", f"{y:.1f}", "N"))
        else:
            lines.append(point_line(n, px, py, lat, lon))
    for n in range(5, 31):
        lines.append(f"Point{n:02d},xy,     ,     ,in, deg,    ,        ,N,    ,        ,E, grid,   ,           ,           ,N")
    lines.append("Projection Setup," + (sheet.setup or ",,,,,,,,,"))
    lines += [
        "Map Feature = MF ; Map Comment = MC     These follow if they exist",
        "Track File = TF      These follow if they exist",
        "Moving Map Parameters = MM?    These follow if they exist",
        "MM0,Yes",
        f"MMPNUM,{len(border)}",
    ]
    for k, (px, py) in enumerate(border, start=1):
        lines.append(f"MMPXY,{k},{px},{py}")
    for k, (lon, lat) in enumerate(border_ll, start=1):
        lines.append(f"MMPLL,{k},{lon:11.6f},{lat:11.6f}")
    lines.append(f"MM1B,{sheet.ground_mpp:.6f}")
    lines.append("MOP,Map Open Position,0,0")
    lines.append(f"IWH,Map Image Width/Height,{sheet.width},{sheet.height}")
    with open(os.path.join(folder, sheet.name + ".map"), "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def grid_origin(proj_def, datum, lat, lon):
    """Projected (x, y) of a WGS 84 point in a sheet's projection, snapped to whole metres."""
    ellps, towgs = DATUMS[datum]
    (x, y), = run_cs2cs(WGS84, f"{proj_def} +ellps={ellps} +towgs84={towgs} +no_defs", [(lon, lat)])
    return float(round(x)), float(round(y))


UTM32 = "+proj=tmerc +lat_0=0 +lon_0=9 +k=0.9996 +x_0=0 +y_0=0"
UTM31 = "+proj=tmerc +lat_0=0 +lon_0=3 +k=0.9996 +x_0=0 +y_0=0"
TM7 = "+proj=tmerc +lat_0=46 +lon_0=7 +k=1 +x_0=600000 +y_0=200000"
TM7_SETUP = "   46.000000000,    7.000000000,    1.000000000,       600000.00,       200000.00,,,,"
MERC = "+proj=merc"
LATLON = "+proj=longlat"


def sheet(name, projection_name, proj_def, datum, north_lat, west_lon, unit, width, height,
          collar, ext, tint, **kw):
    if proj_def == LATLON:
        west, north = west_lon, north_lat
    else:
        west, north = grid_origin(proj_def, datum, north_lat, west_lon)
    return MapSheet(name, projection_name, proj_def, datum, west, north, unit, width, height,
                    collar, ext, tint, **kw)


def sample_sheets():
    utm = "(UTM) Universal Transverse Mercator"
    return [
        # Most detailed first in nothing but name: the catalogue sorts by scale.
        sheet("lakeside-detail-utm32", utm, UTM32, "WGS 84", 46.20, 6.99, 20.0, 440, 340, 14,
              ".png", (120, 200, 110), zone="32T"),
        sheet("ridge-detail-utm31", utm, UTM31, "WGS 84", 46.33, 7.10, 25.0, 400, 320, 12,
              ".jpg", (200, 190, 120), zone="31T"),
        sheet("valley-tm-ed50", "Transverse Mercator", TM7, "European 1950", 46.28, 6.86, 45.0,
              420, 380, 16, ".png", (210, 170, 140), setup=TM7_SETUP),
        sheet("east-mercator", "Mercator", MERC, "WGS 84", 46.36, 7.02, 90.0, 360, 420, 14, ".bmp",
              (170, 200, 210), ground_mpp=90.0 * math.cos(math.radians(46.2))),
        sheet("overview-latlon", "Latitude/Longitude", LATLON, "WGS 84", 46.40, 6.74, 0.0016,
              330, 300, 12, ".gif", (225, 215, 170), ground_mpp=0.0016 * 111320 * math.cos(math.radians(46.2))),
    ]


def fixture_sheets():
    utm = "(UTM) Universal Transverse Mercator"
    return [
        sheet("fx-detail-utm32", utm, UTM32, "WGS 84", 46.19, 7.00, 60.0, 120, 100, 6, ".png",
              (120, 200, 110), zone="32T"),
        sheet("fx-middle-tm-ed50", "Transverse Mercator", TM7, "European 1950", 46.26, 6.90, 110.0,
              120, 110, 6, ".png", (210, 170, 140), setup=TM7_SETUP),
        sheet("fx-overview-latlon", "Latitude/Longitude", LATLON, "WGS 84", 46.34, 6.84, 0.0030,
              150, 120, 6, ".gif", (225, 215, 170), ground_mpp=0.0030 * 111320 * math.cos(math.radians(46.2))),
    ]


def main():
    which = sys.argv[1] if len(sys.argv) > 1 else "samples"
    if which == "samples":
        folder, sheets = os.path.join(ROOT, "samples"), sample_sheets()
    elif which == "fixtures":
        folder, sheets = os.path.join(ROOT, "tests", "fixtures", "creation"), fixture_sheets()
    else:
        sys.exit("usage: make-samples.py samples|fixtures")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "landmarks.csv"), "w") as f:
        f.write("# landmark,latitude,longitude,red,green,blue (WGS 84)\n")
        for name, lat, lon, (r, g, b) in LANDMARKS:
            f.write(f"{name},{lat:.6f},{lon:.6f},{r},{g},{b}\n")
    for s in sheets:
        rows, marks = render(s)
        image = write_image(s, rows, folder)
        write_map_file(s, image, folder)
        print(f"{s.name}: {image} {s.width}x{s.height}, landmarks {', '.join(m[0] for m in marks)}")


if __name__ == "__main__":
    main()
