#!/usr/bin/env python3
"""Whole creates of quiltor-cli over a generated catalogue of small sheets,
timed as a user runs them, and the field's standard warp and overview tools
on the same sheets for comparison. Runnable by hand; never part of ctest.

The catalogues (made once under --work and reused):
  sheets-2500  50 x 50 one-degree latitude/longitude sheets (longitude 0 to
               50 E, latitude 25 S to 25 N), 73 x 73 pixels each: 64 pixels
               per degree inside a border that cuts a 4-pixel collar (white,
               with a legend bar) away.
  sheets-16    the same ground and the same source pixels in 4 x 4 sheets of
               12.5 degrees (808 x 808 pixels): what a few-sheet create costs
               against which the 2500 sheets are measured.
The imagery is procedural: relief bands continuous across the sheets in a
tint of each sheet, a graticule and some grain, so that the colour reduction
and the tile compression see something like a scanned map. Every sheet also
has a GeoTIFF twin (the same pixels, the collar transparent) for the peer.

Suites (--suite, repeatable; default all):
  maps    2500 sheets against 16 sheets at mpp 1000 (about 30 MP) and 500
          (about 120 MP) into Mercator: wall time, destination MP/s, peak
          memory.
  peer    each catalogue at mpp 900 (about 40 MP) and 370 (about 230 MP): every
          --cli's whole create (rows, sharpening, palette, every zoom level,
          tiles, ".map") then `gdalwarp -multi -wo NUM_THREADS=ALL_CPUS -r
          bilinear` onto the same grid plus `gdaladdo -r average 4 10 20 40
          100`, back to back; the ratio of the times, the stage times of the
          create, the peak memory of each, the size of the ".qtx2", and its
          deflated tiles against zlib's best level on the same tiles.
  wide    2500 sheets at mpp 278.3: a destination 20 000 pixels wide (and
          about as high): peak memory.
gdalwarp sets up a transformation and a source window for every input file,
which costs it some 20 ms a file here (about 50 s for the 2500 sheets, whatever
the destination size): the 16-sheet rows are the harder comparison.
Each case runs every --cli back to back (give a build from before and one
from after a change: --cli before=PATH --cli after=PATH), so that the noise
of a shared machine falls on both alike; quote the ratios.

    bench/creation/sheet_catalogue_bench.py --cli after=build/src/cli/quiltor-cli
    bench/creation/sheet_catalogue_bench.py --suite maps --shrink 4   # a quick try

--shrink F multiplies every pixel scale by F (F*F fewer destination pixels).
Peak memory is the maximum resident size of the process (wait4's rusage).
The tables go to stdout and, with every figure, to WORK/results-TIME.json.
gdal-bin is installed with apt-get when missing: it is a peer for this
benchmark only, never a dependency of the program.
"""
import argparse
import importlib.util
import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from png_file import write_png  # noqa: E402


def load_sample_maker():
    spec = importlib.util.spec_from_file_location("make_samples", os.path.join(ROOT, "scripts", "make-samples.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


point_line = load_sample_maker().point_line

PIXELS_PER_DEGREE = 64
COLLAR = 4
WEST, SOUTH, SPAN = 0.0, -25.0, 50.0  # the ground both catalogues cover, degrees

CATALOGUES = {"sheets-2500": 50, "sheets-16": 4}  # sheets per side

TINTS = [(226, 214, 170), (200, 222, 180), (232, 200, 190), (190, 210, 228), (222, 222, 200), (210, 196, 226)]
GRAIN = bytes((i * 2654435761 >> 13) % 25 for i in range(4096))  # 0..24, centred on 12


# --- the sheets -------------------------------------------------------------

class Sheet:
    """One latitude/longitude sheet: its border is the box west..west+deg,
    south..south+deg; pixel (x, y) samples longitude left + x*step,
    latitude top - y*step."""

    def __init__(self, name, west, south, degrees, tint):
        self.name, self.west, self.south, self.degrees, self.tint = name, west, south, degrees, tint
        self.step = 1.0 / PIXELS_PER_DEGREE
        inner = round(degrees * PIXELS_PER_DEGREE)
        self.size = inner + 1 + 2 * COLLAR
        self.left = west - COLLAR * self.step
        self.top = south + degrees + COLLAR * self.step
        self.border = (COLLAR, COLLAR + inner)  # first and last pixel on the border line

    def pixels(self):
        """Rows of (r, g, b) and, per row, the alpha bytes (0 in the collar)."""
        first, last = self.border
        tint = self.tint
        # Relief bands: a smooth surface of longitude and latitude, taken in
        # four shades of the sheet's tint; the same ground looks the same in
        # every sheet that shows it.
        lon_terms = [math.cos((self.left + x * self.step) * 1.9) for x in range(self.size)]
        lon_terms2 = [math.sin((self.left + x * self.step) * 5.3) for x in range(self.size)]
        gx0 = round((self.left - WEST) * PIXELS_PER_DEGREE)
        gy0 = round((SOUTH + SPAN - self.top) * PIXELS_PER_DEGREE)
        shades = [tuple(max(0, c - s) for c in tint) for s in (0, 22, 44, 66)]
        rows, alphas = [], []
        for y in range(self.size):
            lat = self.top - y * self.step
            a, b = math.sin(lat * 2.3), math.cos(lat * 4.1)
            gy = gy0 + y
            if y < first or y > last:
                grain_row = [GRAIN[(gx0 + x + 61 * gy) & 4095] // 6 for x in range(self.size)]
                row = [(250 - g, 250 - g, 250 - g) for g in grain_row]
                if last + 2 <= y <= last + 3:  # the legend bar in the bottom collar
                    row[first:first + self.size // 3] = [(220, 0, 220)] * (self.size // 3)
                rows.append(row)
                alphas.append(bytes(self.size))
                continue
            row = []
            for x in range(self.size):
                gx = gx0 + x
                if x < first or x > last:
                    g = GRAIN[(gx + 61 * gy) & 4095] // 6
                    row.append((250 - g, 250 - g, 250 - g))
                    continue
                if gx % 16 == 0 or gy % 16 == 0:  # the graticule, every quarter degree
                    row.append((60, 60, 60))
                    continue
                relief = a * lon_terms[x] + 0.5 * b * lon_terms2[x]
                r, g, bl = shades[int((relief + 1.5) * 4.0) % 4]
                n = GRAIN[(gx * 7 + gy * 131) & 4095] - 12
                row.append((r + n if r + n < 256 else 255, g + n if g + n < 256 else 255, bl + n if bl + n > 0 else 0))
            rows.append(row)
            alphas.append(bytes(first) + b"\xff" * (last - first + 1) + bytes(self.size - last - 1))
        return rows, alphas


def map_file_text(sheet, image_name):
    """A latitude/longitude ".map": the border corners as calibration points
    and as the border that cuts the collar away."""
    first, last = sheet.border
    north, east = sheet.south + sheet.degrees, sheet.west + sheet.degrees
    corners = [((first, first), (north, sheet.west)), ((last, first), (north, east)),
               ((last, last), (sheet.south, east)), ((first, last), (sheet.south, sheet.west))]
    lines = [
        "Tervane Map Data File Version 2.2", sheet.name, image_name, "1 ,Map Code,", "WGS 84,,0.0000,0.0000,",
        "Reserved 1", "Reserved 2", "Magnetic Variation,,,E",
        "Map Projection,Latitude/Longitude,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No",
    ]
    lines += [point_line(n, px, py, lat, lon) for n, ((px, py), (lat, lon)) in enumerate(corners, start=1)]
    lines += [f"Point{n:02d},xy,     ,     ,in, deg,    ,        ,N,    ,        ,E, grid,   ,           ,           ,N"
              for n in range(5, 31)]
    lines += ["Projection Setup,,,,,,,,,,",
              "Map Feature = MF ; Map Comment = MC     These follow if they exist",
              "Track File = TF      These follow if they exist",
              "Moving Map Parameters = MM?    These follow if they exist",
              "MM0,Yes", "MMPNUM,4"]
    lines += [f"MMPXY,{k},{px},{py}" for k, ((px, py), _) in enumerate(corners, start=1)]
    lines += [f"MMPLL,{k},{lon:11.6f},{lat:11.6f}" for k, (_, (lat, lon)) in enumerate(corners, start=1)]
    middle = math.radians(sheet.south + sheet.degrees / 2)
    lines += [f"MM1B,{sheet.step * 111319.49 * math.cos(middle):.6f}", "MOP,Map Open Position,0,0",
              f"IWH,Map Image Width/Height,{sheet.size},{sheet.size}"]
    return "\r\n".join(lines) + "\r\n"


def write_geotiff(path, sheet, rows, alphas):
    """An uncompressed RGBA GeoTIFF (WGS 84 latitude/longitude, pixel is
    area): the sheet's pixels with its collar transparent."""
    w = h = sheet.size
    pixels = bytearray()
    for row, alpha in zip(rows, alphas):
        for (r, g, b), a in zip(row, alpha):
            pixels += bytes((r, g, b, a))
    # The pixel grid's corner: half a step out from the first pixel's sample point.
    tiepoint = (0.0, 0.0, 0.0, sheet.left - sheet.step / 2, sheet.top + sheet.step / 2, 0.0)
    geokeys = (1, 1, 0, 3, 1024, 0, 1, 2, 1025, 0, 1, 1, 2048, 0, 1, 4326)
    extra = [(258, 3, 4, struct.pack("<4H", 8, 8, 8, 8)),
             (33550, 12, 3, struct.pack("<3d", sheet.step, sheet.step, 0.0)),
             (33922, 12, 6, struct.pack("<6d", *tiepoint)),
             (34735, 3, len(geokeys), struct.pack(f"<{len(geokeys)}H", *geokeys))]
    entries = 14  # the directory below, in tag order
    ifd_at = 8
    data_at = ifd_at + 2 + 12 * entries + 4
    blobs, offsets = b"", {}
    for tag, _, _, blob in extra:
        offsets[tag] = data_at + len(blobs)
        blobs += blob + b"\0" * (len(blob) % 2)
    strip_at = data_at + len(blobs)

    def short(tag, v):
        return struct.pack("<HHIHH", tag, 3, 1, v, 0)

    def long(tag, v):
        return struct.pack("<HHII", tag, 4, 1, v)

    def out_of_line(tag):
        kind, count = next((k, c) for t, k, c, _ in extra if t == tag)
        return struct.pack("<HHII", tag, kind, count, offsets[tag])

    ifd = [long(256, w), long(257, h), out_of_line(258), short(259, 1), short(262, 2), long(273, strip_at),
           short(277, 4), long(278, h), long(279, len(pixels)), short(284, 1), short(338, 2),
           out_of_line(33550), out_of_line(33922), out_of_line(34735)]
    assert len(ifd) == entries
    body = struct.pack("<H", len(ifd)) + b"".join(ifd) + struct.pack("<I", 0)
    body += b"\0" * (data_at - ifd_at - len(body))
    with open(path, "wb") as f:
        f.write(b"II*\0" + struct.pack("<I", ifd_at) + body + blobs + bytes(pixels))


def make_catalogue(work, name):
    """The catalogue's folder of ".map" files and PNG images and its folder
    of GeoTIFF twins; made once, reused while its stamp is there."""
    per_side = CATALOGUES[name]
    folder, twins = os.path.join(work, name), os.path.join(work, name + "-geotiff")
    stamp = os.path.join(folder, ".complete")
    if os.path.exists(stamp):
        return folder, twins
    for f in (folder, twins):
        shutil.rmtree(f, ignore_errors=True)
        os.makedirs(f)
    degrees = SPAN / per_side
    started = time.monotonic()
    for j in range(per_side):
        for i in range(per_side):
            sheet = Sheet(f"{name}-r{j:02d}-c{i:02d}", WEST + i * degrees, SOUTH + SPAN - (j + 1) * degrees, degrees,
                          TINTS[(i * 7 + j * 3) % len(TINTS)])
            rows, alphas = sheet.pixels()
            write_png(os.path.join(folder, sheet.name + ".png"), rows)
            with open(os.path.join(folder, sheet.name + ".map"), "w", newline="") as f:
                f.write(map_file_text(sheet, sheet.name + ".png"))
            write_geotiff(os.path.join(twins, sheet.name + ".tif"), sheet, rows, alphas)
    open(stamp, "w").close()
    print(f"made {name}: {per_side * per_side} sheets in {time.monotonic() - started:.1f} s", file=sys.stderr)
    return folder, twins


# --- the destination grid -----------------------------------------------------

A, F = 6378137.0, 1 / 298.257223563
E = math.sqrt(F * (2 - F))


def mercator_y(lat):
    p = math.radians(lat)
    s = E * math.sin(p)
    return A * math.log(math.tan(math.pi / 4 + p / 2) * ((1 - s) / (1 + s)) ** (E / 2))


def mercator_lat(y):
    t = math.exp(-y / A)
    p = math.pi / 2 - 2 * math.atan(t)
    for _ in range(20):
        s = E * math.sin(p)
        p = math.pi / 2 - 2 * math.atan(t * ((1 - s) / (1 + s)) ** (E / 2))
    return math.degrees(p)


def create_grid(mpp):
    """The grid a create of the whole ground makes in Mercator: the border
    box projected, pixels of mpp ground metres at the box's middle latitude,
    sizes rounded half to even; pixel column c samples minX + c*s."""
    min_x, max_x = A * math.radians(WEST), A * math.radians(WEST + SPAN)
    min_y, max_y = mercator_y(SOUTH), mercator_y(SOUTH + SPAN)
    s = mpp / math.cos(math.radians(mercator_lat((min_y + max_y) / 2)))
    width, height = round(abs(max_x - min_x) / s), round(abs(max_y - min_y) / s)
    return {"s": s, "width": width, "height": height, "minX": min_x, "maxY": max_y}


MERCATOR = "+proj=merc +lon_0=0 +k=1 +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs"


# --- running ------------------------------------------------------------------

def run(argv, log_path, env=None):
    """Runs argv with its output in log_path; returns (exit code, seconds,
    peak resident MiB, output text)."""
    with open(log_path, "wb") as log:
        started = time.monotonic()
        child = subprocess.Popen(argv, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env)
        _, status, usage = os.wait4(child.pid, 0)
        seconds = time.monotonic() - started
    child.returncode = os.waitstatus_to_exitcode(status)
    with open(log_path, errors="replace") as log:
        text = log.read()
    return child.returncode, seconds, usage.ru_maxrss / 1024.0, text


def cli_has_option(cli, option):
    help_text = subprocess.run([cli, "create", "--help"], capture_output=True, text=True).stdout
    return option in help_text


TIMES = re.compile(r"([A-Za-z][A-Za-z ]*?) (\d+\.\d+) s")


def our_create(cli_name, cli, folder, mpp, work, threads, keep, measure_tiles=False):
    out = os.path.join(work, "out", cli_name)
    temp = os.path.join(work, "temp")
    os.makedirs(out, exist_ok=True)
    os.makedirs(temp, exist_ok=True)
    target = os.path.join(out, "merged.qtx2")
    argv = [cli, "create", "--folder", folder, "-o", target, "--projection", "Mercator", "--datum", "WGS 84",
            "--mpp", repr(mpp), "--temp", temp, "--resize", "100", "--verbose"]
    if threads and cli_has_option(cli, "--threads"):
        argv += ["--threads", str(threads)]
    code, seconds, peak, text = run(argv, os.path.join(out, "create.log"))
    result = {"tool": cli_name, "exit": code, "seconds": seconds, "peak_MiB": peak}
    size = re.search(r"wrote .* \((\d+) x (\d+) pixels\)", text)
    if size:
        result["width"], result["height"] = int(size.group(1)), int(size.group(2))
    times = next((line for line in text.splitlines() if line.startswith("times: ")), None)
    if times:
        result["stages"] = {name: float(v) for name, v in TIMES.findall(times[len("times: "):])}
    if code == 0 and os.path.exists(target):
        result["file_MiB"] = os.path.getsize(target) / 1048576.0
        if measure_tiles:
            result["tiles_MiB"], result["zlib9_tiles_MiB"] = (
                n / 1048576.0 for n in tile_bytes_against_zlib_best(target))
    else:
        result["error"] = text.strip().splitlines()[-1] if text.strip() else "no output"
    if not keep:
        for f in (target, os.path.splitext(target)[0] + ".map"):
            if os.path.exists(f):
                os.remove(f)
    return result


def tile_bytes_against_zlib_best(path):
    """The deflated tile bytes of every level of a plain tiled file, and what
    zlib's best level makes of the same tiles, each on its own: the file must
    never come out larger than the second."""
    with open(path, "rb") as f:
        data = f.read()
    u32 = lambda at: struct.unpack_from("<I", data, at)[0]
    table = u32(len(data) - 4)
    written = best = 0
    for n in range((len(data) - 4 - table) // 4):
        at = u32(table + 4 * n)
        tiles = struct.unpack_from("<H", data, at + 8)[0] * struct.unpack_from("<H", data, at + 10)[0]
        offsets = at + 12 + 1024
        for t in range(tiles):
            start, end = u32(offsets + 4 * t), u32(offsets + 4 * t + 4)
            written += end - start
            best += len(zlib.compress(zlib.decompress(data[start:end]), 9))
    return written, best


def ensure_gdal():
    if shutil.which("gdalwarp") and shutil.which("gdaladdo"):
        return True
    print("installing gdal-bin (a peer of this benchmark only)", file=sys.stderr)
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(["apt-get", "update", "-q"], env=env, stdout=subprocess.DEVNULL)
    subprocess.run(["apt-get", "install", "-y", "-q", "--no-install-recommends", "gdal-bin"], env=env,
                   stdout=subprocess.DEVNULL)
    return bool(shutil.which("gdalwarp") and shutil.which("gdaladdo"))


def gdal_create(twins, grid, work, keep):
    """gdalwarp onto the create's grid, then gdaladdo's overviews."""
    out = os.path.join(work, "out", "gdal")
    os.makedirs(out, exist_ok=True)
    target = os.path.join(out, "merged.tif")
    if os.path.exists(target):
        os.remove(target)
    s = grid["s"]
    # The grid's pixel (c, r) samples (minX + c*s, maxY - r*s): its area
    # starts half a pixel before that.
    x0, y1 = grid["minX"] - s / 2, grid["maxY"] + s / 2
    x1, y0 = x0 + grid["width"] * s, y1 - grid["height"] * s
    sources = sorted(os.path.join(twins, f) for f in os.listdir(twins) if f.endswith(".tif"))
    list_file = os.path.join(out, "sources.txt")
    with open(list_file, "w") as f:
        f.write("\n".join(f'"{p}"' for p in sources))
    warp = ["gdalwarp", "-q", "-multi", "-wo", "NUM_THREADS=ALL_CPUS", "-r", "bilinear", "-srcalpha",
            "-t_srs", MERCATOR, "-te", repr(x0), repr(y0), repr(x1), repr(y1),
            "-ts", str(grid["width"]), str(grid["height"]), "-of", "GTiff", "--optfile", list_file, target]
    code, seconds, peak, text = run(warp, os.path.join(out, "warp.log"))
    result = {"tool": "gdal", "exit": code, "warp_seconds": seconds, "warp_peak_MiB": peak}
    if code == 0:
        code, seconds, peak, text = run(["gdaladdo", "-q", "-r", "average", target, "4", "10", "20", "40", "100"],
                                        os.path.join(out, "addo.log"))
        result.update({"exit": code, "overview_seconds": seconds, "overview_peak_MiB": peak})
    if code != 0:
        result["error"] = text.strip().splitlines()[-1] if text.strip() else "no output"
    else:
        size = os.path.getsize(target) + sum(os.path.getsize(target + ext) for ext in (".ovr",)
                                             if os.path.exists(target + ext))
        result["file_MiB"] = size / 1048576.0
    result["seconds"] = result["warp_seconds"] + result.get("overview_seconds", 0.0)
    result["peak_MiB"] = max(result["warp_peak_MiB"], result.get("overview_peak_MiB", 0.0))
    for f in os.listdir(out):
        if f.startswith("merged.tif") and not keep:
            os.remove(os.path.join(out, f))
    return result


# --- the suites -----------------------------------------------------------------

def megapixels(grid):
    return grid["width"] * grid["height"] / 1e6


def check_grid(result, grid):
    """The size the create reported against the grid computed here, which
    the peer is given."""
    if "width" in result and (result["width"], result["height"]) != (grid["width"], grid["height"]):
        print(f"warning: {result['tool']} wrote {result['width']} x {result['height']}, the grid here is "
              f"{grid['width']} x {grid['height']}", file=sys.stderr)


def read_through(folder):
    """Reads every file of the folder once, so that the first run of a case
    does not pay for a cold page cache alone."""
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            while f.read(1 << 20):
                pass


def create_case(args, catalogue, mpp, with_peer):
    folder, twins = make_catalogue(args.work, catalogue)
    read_through(folder)
    if with_peer:
        read_through(twins)
    grid = create_grid(mpp * args.shrink)
    case = {"catalogue": catalogue, "mpp": mpp * args.shrink, "width": grid["width"], "height": grid["height"],
            "MP": megapixels(grid), "runs": []}
    print(f"{catalogue} at {case['mpp']:g} m: {grid['width']} x {grid['height']} ({case['MP']:.1f} MP)",
          file=sys.stderr)
    for name, cli in args.cli:
        result = our_create(name, cli, folder, mpp * args.shrink, args.work, args.threads, args.keep, with_peer)
        check_grid(result, grid)
        case["runs"].append(result)
        print(f"  {name}: {result['seconds']:.2f} s, {result['peak_MiB']:.0f} MiB {result.get('error', '')}",
              file=sys.stderr)
    if with_peer:
        result = gdal_create(twins, grid, args.work, args.keep)
        case["runs"].append(result)
        print(f"  gdal: {result['seconds']:.2f} s, {result['peak_MiB']:.0f} MiB {result.get('error', '')}",
              file=sys.stderr)
    return case


def create_seconds(run):
    return run.get("stages", {}).get("create", run["seconds"])


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(str(c) for c in row) + " |" for row in rows]
    return "\n".join(lines)


def case_rows(case, header, cells):
    """One row per run of the case: its catalogue, size and tool, its wall
    time and that time over the first build's, then cells(run); a failed
    run says why instead."""
    first = case["runs"][0]
    rows = []
    for run in case["runs"]:
        row = [case["catalogue"], f"{case['width']} x {case['height']} ({case['MP']:.1f} MP)", run["tool"]]
        if run["exit"] != 0:
            rows.append(row + ["failed: " + run.get("error", "")] + [""] * (len(header) - 4))
            continue
        ratio = f"{run['seconds'] / first['seconds']:.2f}" if first["exit"] == 0 else ""
        rows.append(row + [f"{run['seconds']:.2f}", ratio] + cells(run))
    return rows


CASE_HEADER = ["catalogue", "destination", "tool", "wall s"]


def stage_cells(run):
    stages = run.get("stages", {})
    return [f"{stages.get(k, 0):.2f}" for k in ("scan", "Generating map", "Sharpening", "Saving image")]


def maps_suite(args):
    cases = [create_case(args, catalogue, mpp, False) for mpp in (1000, 500) for catalogue in CATALOGUES]
    header = CASE_HEADER + [f"vs {args.cli[0][0]}", "MP/s", "create MP/s", "vs 16 sheets", "peak MiB", "scan s"]
    rows = []
    for case in cases:
        few = next(c for c in cases if c["mpp"] == case["mpp"] and c["catalogue"] == "sheets-16")

        def cells(run):
            few_run = next(r for r in few["runs"] if r["tool"] == run["tool"])
            rate = case["MP"] / create_seconds(run)
            versus = f"{rate / (few['MP'] / create_seconds(few_run)):.2f}" if few_run["exit"] == 0 else ""
            return [f"{case['MP'] / run['seconds']:.2f}", f"{rate:.2f}", versus, f"{run['peak_MiB']:.0f}",
                    f"{run.get('stages', {}).get('scan', 0):.2f}"]
        rows += case_rows(case, header, cells)
    text = ("Many maps against few (Mercator). MP/s: destination megapixels per second of the whole process "
            "and of the create alone (after the scan); vs 16 sheets: the create's MP/s over the 16-sheet case's "
            "with the same build, goal at least 0.8\n\n" + table(header, rows))
    return cases, text


def peer_suite(args):
    if not ensure_gdal():
        return [], "Peer: gdal-bin could not be installed; skipped"
    cases = [create_case(args, catalogue, mpp, True) for catalogue in CATALOGUES for mpp in (900, 370)]
    header = CASE_HEADER + [f"vs {args.cli[0][0]}", "vs gdal", "MP/s", "scan s", "rows s", "sharpen s", "tiles s",
                            "peak MiB", "file MiB", "tiles / zlib 9"]
    rows = []
    for case in cases:
        gdal = case["runs"][-1]

        def cells(run):
            versus = f"{run['seconds'] / gdal['seconds']:.2f}" if gdal["exit"] == 0 else ""
            stages = stage_cells(run) if run["tool"] != "gdal" else [
                "", f"warp {run['warp_seconds']:.2f}", "", f"overviews {run['overview_seconds']:.2f}"]
            against = (f"{run['tiles_MiB'] / run['zlib9_tiles_MiB']:.4f}" if run.get("zlib9_tiles_MiB") else "")
            return ([versus, f"{case['MP'] / run['seconds']:.2f}"] + stages +
                    [f"{run['peak_MiB']:.0f}", f"{run.get('file_MiB', 0):.1f}", against])
        rows += case_rows(case, header, cells)
    text = ("Whole create against gdalwarp + gdaladdo (Mercator). vs gdal: wall time over gdal's, goal at most "
            "0.5; gdal's file is an uncompressed GeoTIFF with its overviews. tiles / zlib 9: the deflated tiles of the \".qtx2\" over what "
            "zlib's best level makes of each, at most 1\n\n" + table(header, rows))
    return cases, text


def wide_suite(args):
    case = create_case(args, "sheets-2500", 278.3, False)
    header = CASE_HEADER + [f"vs {args.cli[0][0]}", "MP/s", "peak MiB", "scan s", "rows s", "sharpen s", "tiles s",
                            "file MiB"]
    rows = case_rows(case, header, lambda run: [f"{case['MP'] / run['seconds']:.2f}", f"{run['peak_MiB']:.0f}"] +
                     stage_cells(run) + [f"{run.get('file_MiB', 0):.1f}"])
    text = ("A destination 20 000 pixels wide (Mercator). Goal: peak under 150 MiB for 2500 maps, under 300 MiB "
            "for 20 000 x 20 000\n\n" + table(header, rows))
    return [case], text


SUITES = {"maps": maps_suite, "peer": peer_suite, "wide": wide_suite}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", action="append", default=[], metavar="NAME=PATH",
                        help="a quiltor-cli to time (repeat for builds to compare; default build/src/cli/quiltor-cli)")
    parser.add_argument("--suite", action="append", choices=sorted(SUITES), help="what to run (default all)")
    parser.add_argument("--work", default=os.path.join("/tmp", "quiltor-sheet-bench"),
                        help="where the catalogues, outputs and results go")
    parser.add_argument("--shrink", type=float, default=1.0, help="multiply every pixel scale by this")
    parser.add_argument("--threads", type=int, default=0, help="--threads for the builds that have it")
    parser.add_argument("--keep", action="store_true", help="keep the outputs of the last case under WORK/out")
    args = parser.parse_args()
    clis = args.cli or ["after=" + os.path.join(ROOT, "build", "src", "cli", "quiltor-cli")]
    args.cli = []
    for item in clis:
        name, _, path = item.rpartition("=")
        path = os.path.abspath(path)
        if not os.access(path, os.X_OK):
            parser.error(f"no quiltor-cli at {path}")
        args.cli.append((name or os.path.basename(os.path.dirname(path)), path))
    os.makedirs(args.work, exist_ok=True)
    results, texts = {}, []
    for suite in args.suite or ["maps", "peer", "wide"]:
        results[suite], text = SUITES[suite](args)
        texts.append(text)
        print(text + "\n", flush=True)
    with open(os.path.join(args.work, time.strftime("results-%Y%m%d-%H%M%S.json", time.gmtime())), "w") as f:
        json.dump({"when": time.strftime("%Y-%m-%d %H:%M:%S UTC", time.gmtime()), "cpus": os.cpu_count(),
                   "results": results}, f, indent=1)


if __name__ == "__main__":
    main()
