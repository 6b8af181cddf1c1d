#!/usr/bin/env python3
"""The info and scan commands run as a user runs them, on the fixture map
folder (tests/fixtures/catalogue/scan, made by make_fixtures.py there); the
thumbnail scan and the overview on a copy of the sample maps.

usage: cli_check.py QUILTOR_CLI SOURCE_DIR scan|info|refusals|thumbnails
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from png_file import read_png  # noqa: E402

CLI, SOURCE, GROUP = sys.argv[1], sys.argv[2], sys.argv[3]
FOLDER = os.path.join(SOURCE, "tests", "fixtures", "catalogue", "scan")


def run(*args, code=0, env=None):
    p = subprocess.run([CLI, *args], capture_output=True, text=True, env=env)
    assert p.returncode == code, f"{args}: exit {p.returncode}, wanted {code}\n{p.stdout}\n{p.stderr}"
    return p


def near(a, b, tolerance, what):
    assert abs(a - b) <= tolerance, f"{what}: {a} is not within {tolerance} of {b}"


def scan():
    text = run("scan", "--folder", FOLDER).stdout
    rows = [line for line in text.splitlines() if line.startswith("[")]
    assert [r[4:].split()[0] for r in rows] == ["utm-collar", "missing-image", "latlon"], text
    assert rows[0].startswith("[x]") and rows[1].startswith("[ ]") and rows[1].endswith("not found"), text
    assert "off-globe.map" in text and "not-a-map" not in text, text

    data = json.loads(run("scan", "--folder", FOLDER, "--json").stdout)
    maps = data["maps"]
    assert [m["title"] for m in maps] == ["utm-collar", "missing-image", "latlon"], maps
    scales = [m["metresPerPixel"] for m in maps]
    assert scales == sorted(scales), scales
    assert [m["status"] for m in maps] == ["ok", "not found", "ok"], maps
    assert [m["path"] for m in maps] == ["1", "1", "1"], maps
    assert [m["selected"] for m in maps] == [True, False, True], maps
    assert [os.path.basename(e) for e in data["mapErrors"]] == ["off-globe.map"], data["mapErrors"]
    assert data["folders"][0]["loaded"] and not data["aborted"], data

    # The same folder named twice (once with a trailing separator) is one row's maps once.
    twice = json.loads(run("scan", "--folder", FOLDER, "--folder", FOLDER + "/", "--json").stdout)
    assert len(twice["maps"]) == 3, twice["maps"]


def info():
    path = os.path.join(FOLDER, "utm-collar.map")
    data = json.loads(run("info", path, "--pixel", "4,3", "--latlon", "47.850000,9.140000", "--pixel=36,27",
                          "--json").stdout)
    assert data["projection"] == "(UTM) Universal Transverse Mercator" and data["centralMeridian"] == 9, data
    assert data["datum"] == "WGS 84" and data["method"] == "5" and data["status"] == 0, data
    assert (data["width"], data["height"]) == (40, 30), data
    near(data["metresPerPixel"], 25, 0.05, "scale")
    border = data["border"]
    assert [(b["x"], b["y"]) for b in border] == [(4, 3), (36, 3), (36, 27), (4, 27)], border
    assert len(data["corners"]) == 4, data
    points = data["points"]
    assert len(points) == 3 and all(p["found"] for p in points), points
    # Pixels of the border land on the border's own positions (GeoConvert's, in the fixture)
    # within half a metre: the grid references are read through the built-in UTM series.
    for p, b in ((points[0], border[0]), (points[2], border[2])):
        near(p["latitude"], b["latitude"], 5e-6, "latitude")
        near(p["longitude"], b["longitude"], 5e-6, "longitude")
    assert (points[1]["latitude"], points[1]["longitude"]) == (47.85, 9.14), points[1]
    # 47.85 N 9.14 E lies inside the map, between the border's rows and columns.
    assert 4 < points[1]["x"] < 36 and 3 < points[1]["y"] < 27, points[1]

    text = run("info", path, "--pixel", "4,3").stdout
    for expected in ("central meridian 9", "border:           4 points", "corners:", "pixel 4,3 -> latitude 47.85258"):
        assert expected in text, text

    missing = json.loads(run("info", os.path.join(FOLDER, "missing-image.map"), "--json").stdout)
    assert missing["status"] == -1 and missing["statusText"] == "not found" and missing["corners"] == [], missing


def refusals():
    for name, words in (("off-globe.map", "border point 1 is off the globe"), ("not-a-map.map", "not a map file"),
                        ("nothing-here.map", "cannot be opened")):
        err = run("info", os.path.join(FOLDER, name), code=1).stderr
        assert words in err, err
    run("info", code=2)
    run("info", os.path.join(FOLDER, "latlon.map"), "--pixel", "4", code=2)
    run("info", os.path.join(FOLDER, "latlon.map"), "--latlon", "north,east", code=2)
    run("scan", code=2)
    run("scan", "--folder", os.path.join(FOLDER, "no-such-folder"), code=2)


def thumbnails():
    work = tempfile.mkdtemp(prefix="quiltor-thumbnail-cli-")
    try:
        check_thumbnails(work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def check_thumbnails(work):
    maps = os.path.join(work, "maps")
    shutil.copytree(os.path.join(SOURCE, "samples"), maps)
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "cache"), XDG_CONFIG_HOME=os.path.join(work, "config"))
    utm32 = ("--projection", "utm", "--zone", "32")

    first = json.loads(run("scan", "--folder", maps, "--thumbnails", *utm32, "--json", env=env).stdout)
    usable = [m for m in first["maps"] if m["status"] == "ok"]
    assert len(usable) == 5 and all(m["thumbnail"] == "built" for m in usable), first["maps"]
    projected = os.path.join(work, "cache", "quiltor", "Image Thumbnails", "Projected")
    for m in usable:
        assert os.path.dirname(m["thumbnailFile"]) == projected and m["thumbnailFile"].endswith("_(UTM)32.mv3"), m
        assert os.path.isfile(m["thumbnailFile"]), m
    again = json.loads(run("scan", "--folder", maps, "--thumbnails", *utm32, "--json", env=env).stdout)
    assert all(m["thumbnail"] == "reused" for m in again["maps"] if m["status"] == "ok"), again["maps"]
    text = run("scan", "--folder", maps, "--thumbnails", *utm32, env=env).stdout
    assert "reused" in text, text

    # A cache that cannot be made: one note, the maps are still listed, without thumbnails.
    blocked = dict(env, XDG_CACHE_HOME=os.path.join(maps, "east-mercator.map"))
    p = run("scan", "--folder", maps, "--thumbnails", *utm32, "--json", env=blocked)
    assert "without thumbnails" in p.stderr, p.stderr
    assert all(m["thumbnail"] == "none" for m in json.loads(p.stdout)["maps"]), p.stdout

    out = os.path.join(work, "overview.png")
    data = json.loads(run("overview", "--folder", maps, *utm32, "-o", out, "--json", env=env).stdout)
    width, height, _, rows = read_png(out)
    assert (width, height) == (data["width"], data["height"]) == (1200, data["height"]), data
    assert [m["title"] for m in data["maps"]][0] == "lakeside-detail-utm32", data["maps"]
    grid = data["grid"]
    assert grid["width"] > 0 and grid["minX"] == data["minX"] and grid["maxY"] == data["maxY"], data
    # Each landmark of the samples lies where the destination projection puts it.
    for line in open(os.path.join(SOURCE, "samples", "landmarks.csv")):
        if line.startswith("#"):
            continue
        name, lat, lon, red, green, blue = line.strip().split(",")
        east, north = (float(v) for v in run("project", *utm32, lat, lon, env=env).stdout.split())
        c = (east - data["minX"]) / data["scale"]
        r = (data["maxY"] - north) / data["scale"]
        want = (int(red), int(green), int(blue))
        near_pixels = [rows[y][x] for y in range(int(r) - 2, int(r) + 3) for x in range(int(c) - 2, int(c) + 3)
                       if 0 <= x < width and 0 <= y < height]
        assert any(max(abs(a - b) for a, b in zip(p, want)) < 60 for p in near_pixels), (name, c, r, near_pixels)
    text = run("overview", "--folder", maps, *utm32, "--width", "400", "-o", out, env=env).stdout
    assert "Create grid: " in text and "lakeside-detail-utm32" in text, text
    run("overview", "--folder", maps, "-o", out, "--width", "0", env=env, code=2)


{"scan": scan, "info": info, "refusals": refusals, "thumbnails": thumbnails}[GROUP]()
