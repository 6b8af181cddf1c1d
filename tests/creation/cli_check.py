#!/usr/bin/env python3
"""quiltor-cli create on the sample maps (samples/, made by
scripts/make-samples.py) into a UTM, a Transverse Mercator and a
Latitude/Longitude destination, as a user runs it: the exit code, the
projection, datum and parameters of the written ".map", no temporary file left
behind, and the landmarks of samples/landmarks.csv found, through the new
map's own calibration ("info --latlon"), on pixels of their colour in the
preview of the new image. A small pixel scale keeps every run short.

usage: cli_check.py QUILTOR_CLI SOURCE_DIR utm|tm|latlon|refusal|keeps|resized|sweep|threads
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from png_file import read_png  # noqa: E402

CLI, SOURCE, GROUP = sys.argv[1], sys.argv[2], sys.argv[3]
SAMPLES = os.path.join(SOURCE, "samples")
WORK = tempfile.mkdtemp(prefix="quiltor-create-cli-")
MPP = "80"


def run(*args, code=0):
    p = subprocess.run([CLI, *args], capture_output=True, text=True)
    assert p.returncode == code, f"{args}: exit {p.returncode}, wanted {code}\n{p.stdout}\n{p.stderr}"
    return p


def landmarks():
    """Name, latitude, longitude and colour of the landmark squares."""
    marks = []
    for line in open(os.path.join(SAMPLES, "landmarks.csv")):
        if line.startswith("#"):
            continue
        name, lat, lon, r, g, b = line.strip().split(",")
        marks.append((name, lat, lon, (int(r), int(g), int(b))))
    return marks


# The red landmark lies on the most detailed sheet, where its 5-pixel square
# is smaller than one pixel of these destinations; the others are larger.
CHECKED_MARKS = ("green", "cyan", "orange")

# destination options, projection name written, datum written, the Projection
# Setup fields (latitude of origin, central meridian, scale factor, false
# easting) or None when the projection has none.
CASES = {
    "utm": (["--projection", "utm", "--zone", "32"], "(UTM) Universal Transverse Mercator", "WGS 84",
            (0.0, 9.0, 0.9996, 0.0)),
    "tm": (["--projection", "Transverse Mercator", "--central-meridian", "7", "--scale-factor", "0.9996",
            "--false-easting", "500000", "--datum", "European 1950"], "Transverse Mercator", "European 1950",
           (0.0, 7.0, 0.9996, 500000.0)),
    "latlon": (["--projection", "Latitude/Longitude"], "Latitude/Longitude", "WGS 84", None),
}


def map_line(lines, start):
    found = [line for line in lines if line.startswith(start)]
    assert found, f"no line starting {start!r}"
    return found[0]


def create(name):
    options, projection, datum, setup = CASES[name]
    temp = os.path.join(WORK, "temp")
    os.makedirs(temp, exist_ok=True)
    image = os.path.join(WORK, name + ".qtx2")
    result = run("create", "--folder", SAMPLES, "-o", image, "--mpp", MPP, "--temp", temp, *options)
    assert "Creating map ... complete" in result.stdout, result.stdout
    assert os.listdir(temp) == [], f"left in the temporary folder: {os.listdir(temp)}"

    lines = open(os.path.join(WORK, name + ".map"), encoding="latin-1").read().splitlines()
    assert map_line(lines, "Map Projection,").split(",")[1] == projection, map_line(lines, "Map Projection,")
    assert lines[4].split(",")[0] == datum, lines[4]
    fields = [f.strip() for f in map_line(lines, "Projection Setup,").split(",")[1:]]
    if setup is None:
        assert all(f == "" for f in fields), fields
    else:
        got = tuple(float(f) for f in fields[:4])
        assert all(abs(a - b) < 1e-6 for a, b in zip(got, setup)), (got, setup)

    info = json.loads(run("info", os.path.join(WORK, name + ".map"), "--json",
                          *[a for _, lat, lon, _ in landmarks() for a in ("--latlon", f"{lat},{lon}")]).stdout)
    assert info["projection"] == projection and info["datum"] == datum and info["status"] == 0, info

    preview = os.path.join(WORK, name + ".png")
    run("preview", image, "-o", preview)
    width, height, colour, rows = read_png(preview)
    assert colour == 3, f"{preview} is not a palette PNG"
    assert (width, height) == (info["width"], info["height"]), (width, height, info["width"], info["height"])
    for (mark, _, _, colour), point in zip(landmarks(), info["points"]):
        if mark not in CHECKED_MARKS:
            continue
        assert point["found"], (mark, point)
        x, y = round(point["x"]), round(point["y"])
        # Within one pixel of where the new map's calibration puts it; the
        # palette reduction may move its colour a little.
        near = [rows[y + dy][x + dx] for dy in (-1, 0, 1) for dx in (-1, 0, 1)
                if 0 <= x + dx < width and 0 <= y + dy < height]
        closest = min(max(abs(a - b) for a, b in zip(p, colour)) for p in near)
        assert closest <= 60, f"{name}: {mark} landmark not at {x},{y}: {near}"


def refusal():
    # A pixel scale that leaves the new image too small: a failure, not a
    # complete create, and nothing written.
    temp = os.path.join(WORK, "temp")
    os.makedirs(temp)
    image = os.path.join(WORK, "coarse.qtx2")
    err = run("create", "--folder", SAMPLES, "-o", image, "--mpp", "5000", "--temp", temp, "--projection", "utm",
              "--zone", "32", code=1).stderr
    assert "too small" in err, err
    assert not os.path.exists(image) and not os.path.exists(os.path.join(WORK, "coarse.map")), os.listdir(WORK)
    assert os.listdir(temp) == [], os.listdir(temp)


def resized():
    # With --resize the image written is smaller than the grid it was sampled
    # on: the report, in JSON and in text, gives the size of the image written.
    temp = os.path.join(WORK, "temp")
    os.makedirs(temp)
    image = os.path.join(WORK, "half.qtx2")
    options = ["create", "--folder", SAMPLES, "-o", image, "--mpp", MPP, "--temp", temp, "--resize", "50",
               "--projection", "utm", "--zone", "32"]
    report = json.loads(run(*options, "--json").stdout)
    preview = os.path.join(WORK, "half.png")
    run("preview", image, "-o", preview)
    width, height, _, _ = read_png(preview)
    assert (report["width"], report["height"]) == (width, height), (report["width"], report["height"], width, height)
    lines = open(os.path.join(WORK, "half.map"), encoding="latin-1").read().splitlines()
    assert map_line(lines, "IWH,").endswith(f",{width},{height}"), map_line(lines, "IWH,")
    text = run(*options).stdout
    assert f"({width} x {height} pixels)" in text, text


def snapshot(*folders):
    """Every file and folder under the folders: its bytes, or None for a folder."""
    seen = {}
    for folder in folders:
        for root, dirs, files in os.walk(folder):
            for d in dirs:
                seen[os.path.join(root, d)] = None
            for f in files:
                with open(os.path.join(root, f), "rb") as handle:
                    seen[os.path.join(root, f)] = handle.read()
    return seen


def keeps():
    # A create whose calibration file cannot be written fails and leaves an
    # earlier image and map file of that name exactly as they were.
    temp = os.path.join(WORK, "temp")
    os.makedirs(temp)
    out = os.path.join(WORK, "out")
    os.makedirs(out)
    image = os.path.join(out, "merged.qtx2")
    for blocker in ("read-only", "folder"):
        with open(image, "wb") as f:
            f.write(b"yesterday's image")
        mapfile = os.path.join(out, "merged.map")
        if blocker == "folder":
            os.chmod(mapfile, 0o644)
            os.remove(mapfile)
            os.makedirs(mapfile)
        else:
            with open(mapfile, "wb") as f:
                f.write(b"yesterday's calibration")
            os.chmod(mapfile, 0o444)
        before = snapshot(out, SAMPLES)
        result = run("create", "--folder", SAMPLES, "-o", image, "--mpp", MPP, "--temp", temp, "--projection", "utm",
                     "--zone", "32", code=1)
        assert "Creating map ... failed" in result.stdout + result.stderr, (blocker, result.stdout, result.stderr)
        assert "merged.map" in result.stdout + result.stderr, (blocker, result.stdout, result.stderr)
        assert snapshot(out, SAMPLES) == before, (blocker, sorted(snapshot(out, SAMPLES)))
        assert os.listdir(temp) == [], os.listdir(temp)


def work_folders(temp):
    return sorted(n for n in os.listdir(temp) if n.startswith("quiltor-create-") and n != "quiltor-create-mine")


def start_slow_create(temp, name):
    """A create at a fine pixel scale, running, once its work folder holds rows."""
    earlier = set(work_folders(temp))
    image = os.path.join(WORK, name + ".qtx2")
    process = subprocess.Popen([CLI, "create", "--folder", SAMPLES, "-o", image, "--mpp", "15", "--temp", temp,
                                "--projection", "utm", "--zone", "32"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    deadline = time.time() + 60
    while time.time() < deadline and process.poll() is None:
        folders = [f for f in work_folders(temp) if f not in earlier]
        try:
            if folders and any(os.path.getsize(os.path.join(temp, folders[0], f)) > 0
                               for f in os.listdir(os.path.join(temp, folders[0])) if f.endswith(".qtxx0")):
                return process, os.path.join(temp, folders[0])
        except FileNotFoundError:
            pass  # a file of the create came or went meanwhile
        time.sleep(0.02)
    process.kill()
    raise AssertionError("the slow create made no rows: " + process.communicate()[1].decode())


def sweep():
    # A create killed hard leaves its work folder; the next create removes
    # it, but not the folder of a create still running beside it, nor a
    # user's folder named like ours.
    temp = os.path.join(WORK, "temp")
    mine = os.path.join(temp, "quiltor-create-mine")
    os.makedirs(mine)
    with open(os.path.join(mine, "notes.txt"), "w") as f:
        f.write("mine")

    killed, abandoned = start_slow_create(temp, "killed")
    killed.send_signal(signal.SIGKILL)
    killed.wait()
    assert os.path.isdir(abandoned), "a killed create cannot remove its own folder"

    running, live = start_slow_create(temp, "running")
    run("create", "--folder", SAMPLES, "-o", os.path.join(WORK, "quick.qtx2"), "--mpp", "160", "--temp", temp,
        "--projection", "utm", "--zone", "32")
    assert not os.path.exists(abandoned), f"the killed create's folder stays: {os.listdir(temp)}"
    out, err = running.communicate()
    assert running.returncode == 0, (out.decode(), err.decode())
    assert b"Creating map ... complete" in out, out.decode()
    assert not os.path.exists(live)
    assert os.listdir(temp) == ["quiltor-create-mine"], os.listdir(temp)
    assert open(os.path.join(mine, "notes.txt")).read() == "mine"


def threads():
    # The same create on 1, 2 and 3 threads writes the same bytes; a thread
    # count below 1 or not a number is a usage error.
    temp = os.path.join(WORK, "temp")
    os.makedirs(temp)
    written = {}
    for count in ("1", "2", "3"):
        image = os.path.join(WORK, f"t{count}.qtx2")
        run("create", "--folder", SAMPLES, "-o", image, "--mpp", MPP, "--temp", temp, "--projection", "Mercator",
            "--threads", count)
        written[count] = open(image, "rb").read()
    assert written["1"] == written["2"] == written["3"], [len(b) for b in written.values()]
    for bad in ("0", "-2", "many"):
        err = run("create", "--folder", SAMPLES, "-o", os.path.join(WORK, "bad.qtx2"), "--threads", bad,
                  code=2).stderr
        assert "--threads" in err, err


try:
    if GROUP == "threads":
        threads()
    elif GROUP == "sweep":
        sweep()
    elif GROUP == "refusal":
        refusal()
    elif GROUP == "keeps":
        keeps()
    elif GROUP == "resized":
        resized()
    else:
        create(GROUP)
finally:
    shutil.rmtree(WORK, ignore_errors=True)
