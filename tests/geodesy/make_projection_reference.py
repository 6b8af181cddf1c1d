#!/usr/bin/env python3
"""Writes projection_reference.inc: for every row of the built-in projection
list, a few points inside the projection's area of use projected forward and
inverse by PROJ's own command-line tool `cct`, on the same definition string
the engine gives PROJ. The engine test compares against this table, so the
test never runs PROJ's tools itself.

The definition strings are built here from the list text by the documented
rule (row pstr, one parameter per keyword with 7 decimals, then +a and +b of
the datum's ellipsoid with 5 decimals, "+towgs84=" and "+pm=" dropped, a
Bonne standard parallel taken from its latitude of origin), independently of
the C++ code, and the test checks that the engine builds the same string.

Run from the repository root:  tests/geodesy/make_projection_reference.py
"""
import math
import os
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
LIST = os.path.join(ROOT, "data", "projections.txt")
OUT = os.path.join(ROOT, "tests", "geodesy", "projection_reference.inc")

NOT_SET = 777.0

# Ellipsoids (a, 1/f) of the datums used below, as the datum table holds them.
DATUMS = {
    "WGS 84": (6378137.0, 298.257223563),
    "Ord Srvy Grt Britn": (6377563.396, 299.3249646),
    "Ireland 1965": (6377340.189, 299.3249646),
    "NZGD1949": (6378388.0, 297.0),
    "RT 90": (6377397.155, 299.1528128),
    "CH-1903": (6377397.155, 299.1528128),
    "NTF France": (6378249.2, 293.466021),
    "NAD83": (6378137.0, 298.257222101),
    "Rome 1940": (6378388.0, 297.0),
    "Australian Geocentric 1994 (GDA94)": (6378137.0, 298.257222101),
}

SETUP_FIELDS = ["reserved", "utmlon0", "lat0", "lon0", "k0", "x0", "y0", "lat1", "lat2", "height", "spareA", "spareB"]


def setup(**fields):
    values = {name: NOT_SET for name in SETUP_FIELDS}
    values["reserved"] = 0.0
    values.update(fields)
    return [values[name] for name in SETUP_FIELDS]


# Row display name -> (datum, setup, points as (latitude, longitude)).
CASES = {
    "Latitude/Longitude": ("WGS 84", setup(), [(45, 7), (-33.9, 151.2), (60, -120)]),
    "Mercator": ("WGS 84", setup(), [(51.5, -0.1), (-33.9, 151.2), (10, 100)]),
    "Transverse Mercator": ("WGS 84", setup(lon0=9, lat0=0, k0=0.9996, x0=500000, y0=0),
                            [(47, 8), (52, 10), (60, 12)]),
    "(UTM) Universal Transverse Mercator": ("WGS 84", setup(utmlon0=153), [(-33.9, 151.2), (-27.5, 153), (-20, 155)]),
    "(BNG) British National Grid": ("Ord Srvy Grt Britn", setup(), [(51.5, -0.1), (55.95, -3.19), (50.1, -5.5)]),
    "(IG) Irish Grid": ("Ireland 1965", setup(), [(53.35, -6.26), (54.6, -5.93), (51.9, -8.47)]),
    "(NZG) New Zealand Grid": ("NZGD1949", setup(), [(-41.29, 174.78), (-36.85, 174.76), (-45.87, 170.5)]),
    "(NZTM2) New Zealand TM 2000": ("WGS 84", setup(), [(-41.29, 174.78), (-36.85, 174.76), (-45.87, 170.5)]),
    "(SG) Swedish Grid": ("RT 90", setup(), [(59.33, 18.06), (57.7, 11.97), (65.58, 22.15)]),
    "(SUI) Swiss Grid": ("CH-1903", setup(), [(47, 8), (46.2, 6.15), (47.37, 8.54)]),
    "(I) France Zone I": ("NTF France", setup(), [(49.5, 2.5), (50.6, 3.06), (48.8, 2.35)]),
    "(II) France Zone II": ("NTF France", setup(), [(46.9, 2.5), (45.76, 4.84), (47.2, -1.55)]),
    "(III) France Zone III": ("NTF France", setup(), [(44.1, 2.5), (43.6, 1.44), (43.3, 5.37)]),
    "(IV) France Zone IV": ("NTF France", setup(), [(42.2, 9.0), (41.9, 8.74), (42.7, 9.45)]),
    "Lambert Conformal Conic": ("WGS 84", setup(lon0=10, lat1=45, lat2=55), [(50, 10), (48, 2), (54, 15)]),
    "(A)Lambert Azimuthual Equal Area": ("WGS 84", setup(lon0=10, lat0=52), [(52, 10), (40, -5), (60, 30)]),
    "(EQC) Equidistant Conic": ("WGS 84", setup(lon0=-96, lat1=29.5, lat2=45.5), [(40, -100), (30, -80), (48, -120)]),
    "Sinusoidal": ("WGS 84", setup(lon0=0), [(10, 20), (-30, 40), (50, -60)]),
    "Polyconic (American)": ("WGS 84", setup(lon0=-96), [(40, -100), (30, -80), (48, -120)]),
    "Albers Equal Area": ("WGS 84", setup(lon0=-96, lat0=23, lat1=29.5, lat2=45.5), [(40, -100), (30, -80), (48, -120)]),
    "Van Der Grinten": ("WGS 84", setup(lon0=0), [(10, 20), (-30, 40), (50, -60)]),
    "Vertical Near-Sided Perspective": ("WGS 84", setup(lon0=10, lat0=50, height=35786000), []),
    "(WIV) Wagner IV": ("WGS 84", setup(lon0=0), [(10, 20), (-30, 40), (50, -60)]),
    "Bonne": ("WGS 84", setup(lon0=2, lat0=45), [(46, 3), (40, -3), (50, 10)]),
    "(MT0) Montana State Plane Zone 2500": ("NAD83", setup(), [(46.6, -112.0), (45.8, -108.5), (48.5, -109.7)]),
    "(ITA1) Italy Grid Zone 1": ("Rome 1940", setup(), [(41.9, 12.5), (45.46, 9.19), (40.85, 14.27)]),
    "(ITA2) Italy Grid Zone 2": ("Rome 1940", setup(), [(41.9, 12.5), (45.46, 9.19), (40.85, 14.27)]),
    "(VICMAP-TM) Victoria Aust.(pseudo AMG)": ("WGS 84", setup(), [(-37.8, 144.96), (-36.76, 144.28), (-38.15, 145.0)]),
    "(VICGRID) Victoria Australia": ("Australian Geocentric 1994 (GDA94)", setup(),
                                     [(-37.8, 144.96), (-36.76, 144.28), (-38.15, 145.0)]),
    "(VG94) VICGRID94 Victoria Australia": ("WGS 84", setup(), [(-37.8, 144.96), (-36.76, 144.28), (-38.15, 145.0)]),
}


def read_rows():
    rows = []
    with open(LIST, newline="") as f:
        for line in f.read().splitlines():
            fields = [x.strip(" ") for x in line.split(",")]
            if not line.lstrip(" ") or fields[0] != "pg1":
                continue
            fields += [""] * (7 - len(fields))
            rows.append({"ProjCode": fields[4], "ppars": fields[5], "pstr": fields[6]})
    return rows


def fixed(value, decimals):
    return "%.*f" % (decimals, value)


def definition(row, values, datum):
    s = dict(zip(SETUP_FIELDS, values))
    words = {
        "utmlon0": " +lon_0=" + fixed(s["utmlon0"], 7),
        "lon0": " +lon_0=" + fixed(s["lon0"], 7),
        "lat0": " +lat_0=" + fixed(0.0 if s["lat0"] == NOT_SET else s["lat0"], 7),
        "latts0": " +lat_ts=0",
        "utmlat0": " +lat_0=" + fixed(0.0, 7),
        "lat1": " +lat_1=" + fixed(s["lat1"], 7),
        "lat2": " +lat_2=" + fixed(s["lat2"], 7),
        "k0": " +k_0=" + fixed(s["k0"], 7),
        "utmk0": " +k_0=" + fixed(0.9996, 7),
        "x0": " +x_0=" + fixed(s["x0"], 7),
        "y0": " +y_0=" + fixed(s["y0"], 7),
    }
    text = row["pstr"]
    for word in row["ppars"].split(" "):
        if not word:
            break
        text += words.get(word, "")
    a, rf = DATUMS[datum]
    f = 1.0 / rf
    e2 = 2 * f - f * f
    text += " +a=" + fixed(a, 5) + " +b=" + fixed(a * math.sqrt(1.0 - e2), 5)
    tokens = [t for t in text.split() if not (t.startswith("+towgs84") or t.startswith("+pm="))]
    if "+proj=bonne" in tokens and not any(t.startswith("+lat_1=") for t in tokens):
        lat0 = next((t[len("+lat_0="):] for t in tokens if t.startswith("+lat_0=")), "0")
        tokens.append("+lat_1=" + lat0)
    return " ".join(tokens)


def cct(args, given, lines):
    proc = subprocess.run(["cct", "-d", "12"] + args + given.split(), input="".join(lines),
                          capture_output=True, text=True, check=True)
    out = [line.split() for line in proc.stdout.splitlines() if line.strip() and not line.startswith("#")]
    if len(out) != len(lines):
        sys.exit("cct gave %d lines for %d points with %s:\n%s" % (len(out), len(lines), given, proc.stdout))
    return [(float(x[0]), float(x[1])) for x in out]


def cpp_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def main():
    rows = read_rows()
    version = subprocess.run(["cct", "--version"], capture_output=True, text=True).stdout.strip()
    out = ["// Generated by tests/geodesy/make_projection_reference.py with " + (version or "cct") + ".",
           "// Columns: display name, datum, setup (12 values), definition given to PROJ,",
           "// latitude, longitude, PROJ easting, northing, and PROJ's inverse of that",
           "// easting/northing (latitude, longitude). No points: PROJ refuses the row.", ""]
    for row in rows:
        name = row["ProjCode"]
        datum, values, points = CASES[name]
        given = definition(row, values, datum)
        setup_text = "{" + ", ".join(repr(float(v)) for v in values) + "}"
        head = "{%s, %s, %s,\n   %s,\n   {" % (cpp_string(name), cpp_string(datum), setup_text, cpp_string(given))
        cells = []
        if points:
            fwd = cct([], given, ["%r %r 0 0\n" % (lon, lat) for lat, lon in points])
            inv = cct(["-I"], given, ["%.12f %.12f 0 0\n" % (e, n) for e, n in fwd])
            for (lat, lon), (e, n), (ilon, ilat) in zip(points, fwd, inv):
                cells.append("{%r, %r, %.6f, %.6f, %.12f, %.12f}" % (lat, lon, e, n, ilat, ilon))
        out.append(head + ",\n    ".join(cells) + "}},")
    with open(OUT, "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
