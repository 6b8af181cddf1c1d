#!/usr/bin/env python3
"""Maps on images decoded by outside libraries, as a user meets them: with
the stand-in libraries on QUILTOR_PLUGIN_DIR, rasterinfo and preview read
".ecw", ".sid", ".rml" and ".hdr" images, and a create merges an ".ecw" image
and an ".rml" chart with the sample maps exactly as it merges the same
pixels from PNG files; without the libraries, scan lists such maps as
"unsupported" and names each missing library once.

usage: plugin_cli_check.py QUILTOR_CLI SOURCE_DIR STANDIN_DIR present|missing
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from png_file import read_png, write_png  # noqa: E402

CLI, SOURCE, STANDINS, GROUP = sys.argv[1:5]
SAMPLES = os.path.join(SOURCE, "samples")
WORK = tempfile.mkdtemp(prefix="quiltor-plugin-cli-")


def run(*args, code=0, plugins=STANDINS):
    env = dict(os.environ, QUILTOR_PLUGIN_DIR=plugins)
    p = subprocess.run([CLI, *args], capture_output=True, text=True, env=env)
    assert p.returncode == code, f"{args}: exit {p.returncode}, wanted {code}\n{p.stdout}\n{p.stderr}"
    return p


def work(*parts):
    return os.path.join(WORK, *parts)


# The stand-ins' pixels (tests/raster/formats/standins/standin_image.h).
def pattern(x, y):
    return ((x ^ y) & 255, (x + y * 5) & 255, (x * 3 + y) & 255)  # red, green, blue


def chart_colour(i):
    return (i * 16 & 255, (255 - i * 16) & 255, (i * 8 + 1) & 255)


def chart_index(x, y):
    return (x // 7 + y // 5) & 15


def standin(path, width, height):
    with open(path, "w") as f:
        f.write(f"STANDIN {width} {height}\n")


def hdr_tile(path, column, row):
    header = bytearray(68)
    for i in range(16):
        header[16 + i * 3:19 + i * 3] = bytes(chart_colour(i))
    header[66], header[67] = column, row
    with open(path, "wb") as f:
        f.write(header)


def dms(value, positive, negative):
    hemisphere = positive if value >= 0 else negative
    value = abs(value)
    degrees = int(value)
    return f"{degrees:4d},{(value - degrees) * 60:8.4f},{hemisphere}"


def write_map(path, image, width, height, west, east, north, south):
    """A Mercator map whose image corners lie on the given meridians and parallels."""
    corners = [(0, 0, north, west), (width - 1, 0, north, east), (width - 1, height - 1, south, east),
               (0, height - 1, south, west)]
    lines = ["Tervane Map Data File Version 2.2", os.path.splitext(os.path.basename(path))[0], image,
             "1 ,Map Code,", "WGS 84,,0.0000,0.0000,", "Reserved 1", "Reserved 2", "Magnetic Variation,,,E",
             "Map Projection,Mercator,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No"]
    for n in range(1, 31):
        if n <= 4:
            x, y, lat, lon = corners[n - 1]
            lines.append(f"Point{n:02d},xy,{x:5d},{y:5d},in, deg,{dms(lat, 'N', 'S')},{dms(lon, 'E', 'W')}, grid,"
                         "   ,           ,           ,N")
        else:
            lines.append(f"Point{n:02d},xy,     ,     ,in, deg,    ,        ,N,    ,        ,E, grid,   ,"
                         "           ,           ,N")
    lines += ["Projection Setup,,,,,,,,,,", "Map Feature = MF ; Map Comment = MC     These follow if they exist",
              "Track File = TF      These follow if they exist",
              "Moving Map Parameters = MM?    These follow if they exist", "MM0,Yes", "MMPNUM,4"]
    lines += [f"MMPXY,{i + 1},{x},{y}" for i, (x, y, _, _) in enumerate(corners)]
    lines += [f"MMPLL,{i + 1},{lon:11.6f},{lat:11.6f}" for i, (_, _, lat, lon) in enumerate(corners)]
    lines += [f"IWH,Map Image Width/Height,{width},{height}"]
    with open(path, "w", encoding="latin-1", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


# An ".ecw" image and an ".rml" chart east of the sample "east-mercator".
ECW_SIZE = (360, 420)
RML_TILES = (1, 1)
ECW_BOX = (7.32, 7.60, 46.352161, 46.132828)
RML_BOX = (7.62, 7.95, 46.352161, 46.132828)


def plugin_folder(name, plugin_images):
    """The sample maps plus the two maps east of them; their images are the
    plug-in kinds or PNG files of the same pixels."""
    folder = work(name)
    shutil.copytree(SAMPLES, folder)
    if plugin_images:
        standin(os.path.join(folder, "east-ecw.ecw"), *ECW_SIZE)
        standin(os.path.join(folder, "east-chart.rml"), *RML_TILES)
        ecw, rml = "east-ecw.ecw", "east-chart.rml"
    else:
        w, h = ECW_SIZE
        write_png(os.path.join(folder, "east-ecw.png"), [[pattern(x, y) for x in range(w)] for y in range(h)])
        w, h = RML_TILES[0] * 640, RML_TILES[1] * 480
        write_png(os.path.join(folder, "east-chart.png"),
                  [[chart_colour(chart_index(x, y)) for x in range(w)] for y in range(h)])
        ecw, rml = "east-ecw.png", "east-chart.png"
    write_map(os.path.join(folder, "east-ecw.map"), ecw, *ECW_SIZE, *ECW_BOX)
    write_map(os.path.join(folder, "east-chart.map"), rml, RML_TILES[0] * 640, RML_TILES[1] * 480, *RML_BOX)
    return folder


def images_read():
    standin(work("a.ecw"), 300, 200)
    standin(work("a.sid"), 300, 200)
    standin(work("a.rml"), 2, 1)
    standin(work("b.hdr"), 1, 1)
    hdr_tile(work("b.A01"), 0, 0)
    for name, size, mode in (("a.ecw", (300, 200), 3), ("a.sid", (300, 200), 3), ("a.rml", (1280, 480), 1),
                             ("b.hdr", (640, 480), 1)):
        info = json.loads(run("rasterinfo", work(name), "--json").stdout)
        assert (info["width"], info["height"], info["pixelMode"], info["mapImage"]) == (*size, mode, "ok"), info
        run("preview", work(name), "-o", work(name + ".png"))
        width, height, _, rows = read_png(work(name + ".png"))
        assert (width, height) == size, (name, width, height)
        for x, y in ((0, 0), (size[0] - 1, size[1] - 1), (131, 77), (299, 130)):
            want = pattern(x, y) if mode == 3 else chart_colour(chart_index(x, y))
            assert tuple(rows[y][x][:3]) == want, (name, x, y, rows[y][x], want)


def create(folder, plugins=STANDINS):
    temp = work(os.path.basename(folder) + "-temp")
    os.makedirs(temp)
    image = work(os.path.basename(folder) + ".qtx2")
    data = json.loads(run("create", "--folder", folder, "-o", image, "--mpp", "80", "--temp", temp,
                          "--projection", "utm", "--zone", "32", "--json", plugins=plugins).stdout)
    assert data["written"], data
    run("preview", image, "-o", image + ".png")
    return data, read_png(image + ".png")


def present():
    images_read()
    merged, merged_png = create(plugin_folder("plugins", True))
    as_png, png_png = create(plugin_folder("pngs", False))
    assert merged["maps"] == as_png["maps"] == 7, (merged["maps"], as_png["maps"])
    assert (merged["width"], merged["height"]) == (as_png["width"], as_png["height"]), (merged, as_png)
    assert merged_png == png_png, "the plug-in images merge differently from the same pixels in PNG files"


def missing():
    empty = work("no-plugins")
    os.makedirs(empty)
    folder = plugin_folder("plugins", True)
    write_map(os.path.join(folder, "east-sid.map"), "east-sid.sid", 300, 200, 7.96, 8.1, 46.35, 46.2)
    standin(os.path.join(folder, "east-sid.sid"), 300, 200)
    result = run("scan", "--folder", folder, "--json", plugins=empty)
    maps = {m["title"]: m["status"] for m in json.loads(result.stdout)["maps"]}
    assert [maps[t] for t in ("east-ecw", "east-chart", "east-sid")] == ["unsupported"] * 3, maps
    assert maps["east-mercator"] == "ok", maps
    for library in ("libNCSEcw.so", "TrvMrSid.so", "TrvPCX.so"):
        assert result.stderr.count(library) == 1, (library, result.stderr)
    # The stand-ins found beside nothing but QUILTOR_PLUGIN_DIR: the same folder reads.
    maps = {m["title"]: m["status"] for m in json.loads(run("scan", "--folder", folder, "--json").stdout)["maps"]}
    assert [maps[t] for t in ("east-ecw", "east-chart", "east-sid")] == ["ok"] * 3, maps
    err = run("rasterinfo", os.path.join(folder, "east-ecw.ecw"), code=1, plugins=empty).stderr
    assert "libNCSEcw.so" in err, err


try:
    {"present": present, "missing": missing}[GROUP]()
finally:
    shutil.rmtree(WORK, ignore_errors=True)
print(f"plugin cli check {GROUP}: passed")
