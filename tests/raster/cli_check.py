#!/usr/bin/env python3
"""The rasterinfo and preview commands run as a user runs them: on the
reader fixtures (tests/fixtures/raster, made by make-fixtures.sh there from
the PPM/PGM patterns beside them), on a tiled file made by the tile command
from an image written here, and on damaged and refused images.

The PNG files the preview writes are read back with zlib and struct only, and
their pixels compared with what the encoders were given.

usage: cli_check.py QUILTOR_CLI SOURCE_DIR kinds|tiled|huge|refusals
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from png_file import read_png, write_png  # noqa: E402

CLI, SOURCE, GROUP = sys.argv[1], sys.argv[2], sys.argv[3]
FIXTURES = os.path.join(SOURCE, "tests", "fixtures", "raster")
WORK = tempfile.mkdtemp(prefix="quiltor-raster-cli-")


def run(*args, code=0):
    p = subprocess.run([CLI, *args], capture_output=True, text=True)
    assert p.returncode == code, f"{args}: exit {p.returncode}, wanted {code}\n{p.stdout}\n{p.stderr}"
    return p


def work(name):
    return os.path.join(WORK, name)


# --- images as rows of (red, green, blue) -----------------------------------

def read_pattern(name):
    """A plain-text PPM (P3) or PGM (P2) pattern."""
    words = open(os.path.join(FIXTURES, name)).read().split()
    kind, width, height = words[0], int(words[1]), int(words[2])
    values = [int(v) for v in words[4:]]
    if kind == "P2":
        pixels = [(v, v, v) for v in values]
    else:
        pixels = [tuple(values[i:i + 3]) for i in range(0, len(values), 3)]
    return width, height, [pixels[y * width:(y + 1) * width] for y in range(height)]


def worst_difference(rows, want, points=None):
    points = points or [(x, y) for y in range(len(want)) for x in range(len(want[0]))]
    return max(abs(a - b) for x, y in points for a, b in zip(rows[y][x], want[y][x]))


# --- the groups -------------------------------------------------------------

# One fixture of every kind and layout the dispatch tells apart: whole-image
# decoders (palette and true colour, RLE, top-down, interlaced, 16-bit
# samples) and the streamed TIFF reader (tiles, strips, palette, 1-bit).
# JPEG goes through the two-pass palette quantiser: close, not exact.
KINDS = [
    # file, pattern, pixel mode, decoded whole, worst channel error
    ("bmp-4bit.bmp", "pal16.ppm", 1, True, 0),
    ("bmp-rle8.bmp", "pal37.ppm", 1, True, 0),
    ("bmp-24bit-topdown.bmp", "rgb.ppm", 3, True, 0),
    ("png-palette8.png", "pal37.ppm", 1, True, 0),
    ("png-grey16.png", "grey8.pgm", 1, True, 0),
    ("png-rgb-interlaced.png", "rgb.ppm", 3, True, 0),
    ("gif-interlaced.gif", "pal37.ppm", 1, True, 0),
    ("jpeg-colour.jpg", "blocks.ppm", 1, True, 12),
    ("tiff-rgb-tiles-deflate.tif", "rgb.ppm", 3, False, 0),
    ("tiff-palette-lzw.tif", "pal37.ppm", 1, False, 0),
    ("tiff-bw-miniswhite.tif", "bw.pgm", 1, False, 0),
]


def kinds():
    for name, pattern, mode, whole, tolerance in KINDS:
        path = os.path.join(FIXTURES, name)
        width, height, want = read_pattern(pattern)
        info = json.loads(run("rasterinfo", path, "--json").stdout)
        assert (info["width"], info["height"], info["pixelMode"]) == (width, height, mode), (name, info)
        assert info["decodedWhole"] == whole and info["mapImage"] == "ok", (name, info)
        assert info["paletteSize"] == (256 if mode == 1 else 0) and "levels" not in info, (name, info)

        out = work(name + ".png")
        printed = run("preview", path, "-o", out).stdout
        assert f"({width} x {height} pixels)" in printed, printed
        got_width, got_height, colour, rows = read_png(out)
        assert (got_width, got_height) == (width, height), (name, got_width, got_height)
        assert colour == (3 if mode == 1 else 2), (name, colour)
        worst = worst_difference(rows, want)
        assert worst <= tolerance, f"{name}: a channel is {worst} away from the pattern"

    text = run("rasterinfo", os.path.join(FIXTURES, "tiff-rgb-strips.tif")).stdout
    for expected in ("size:           40 x 30", "pixel mode:     3 (blue, green, red)", "read row by row"):
        assert expected in text, text


# Six flat colours in 50-pixel squares: few enough colours that the full-size
# level keeps them exactly, squares large enough that their middles keep
# their colour through every reduced level.
COLOURS = [(200, 30, 30), (30, 200, 30), (30, 30, 200), (220, 220, 40), (250, 250, 250), (10, 10, 10)]
BLOCK, WIDTH, HEIGHT = 50, 600, 400


def square_colour(x, y):
    return COLOURS[(x // BLOCK + y // BLOCK) % len(COLOURS)]


# Levels of a 600 x 400 image: 100 %, 25 %, the 130-pixel thumbnail and the
# 300-pixel overview; 64-pixel tiles, one more column and row than fit.
LEVELS = [(600, 400, 10, 7), (150, 100, 3, 2), (130, 87, 3, 2), (300, 200, 5, 4)]


def square_middles(width, height):
    """Pixels of a level at the middle of each square of the base image."""
    sx, sy = width / WIDTH, height / HEIGHT
    for by in range(HEIGHT // BLOCK):
        for bx in range(WIDTH // BLOCK):
            x, y = bx * BLOCK + BLOCK // 2, by * BLOCK + BLOCK // 2
            yield int(x * sx), int(y * sy), square_colour(x, y)


def check_levels(tiled, scheme):
    info = json.loads(run("rasterinfo", tiled, "--json").stdout)
    assert (info["width"], info["height"], info["pixelMode"]) == (WIDTH, HEIGHT, 1), info
    assert info["schemeVersion"] == scheme and info["scrambled"] == (scheme != -1), info
    assert not info["decodedWhole"] and info["mapImage"] == "ok", info
    assert [(l["width"], l["height"], l["tilesX"], l["tilesY"]) for l in info["levels"]] == LEVELS, info["levels"]

    previews = []
    for level, (width, height, _, _) in enumerate(LEVELS):
        out = work(f"{os.path.basename(tiled)}-level{level}.png")
        run("preview", tiled, "--level", str(level), "-o", out)
        got_width, got_height, colour, rows = read_png(out)
        assert (got_width, got_height, colour) == (width, height, 3), (level, got_width, got_height, colour)
        for x, y, want in square_middles(width, height):
            worst = max(abs(a - b) for a, b in zip(rows[y][x], want))
            assert worst <= 24, f"level {level} pixel {x},{y}: {rows[y][x]} is not near {want}"
        previews.append(rows)
    # Level 0 is the source itself, every pixel, and so is the whole image
    # read row by row through the tile cache.
    assert previews[0] == [[square_colour(x, y) for x in range(WIDTH)] for y in range(HEIGHT)], "level 0 differs"
    run("preview", tiled, "-o", work("whole.png"))
    assert read_png(work("whole.png"))[3] == previews[0], "the whole image differs from level 0"
    return previews


def tiled():
    source = work("squares.png")
    write_png(source, [[square_colour(x, y) for x in range(WIDTH)] for y in range(HEIGHT)])
    plain, scrambled = work("squares.qtx2"), work("squares.qtxx3")
    run("tile", source, "-o", plain, "--temp", WORK)
    run("tile", source, "-o", scrambled, "--scrambled", "--temp", WORK)
    plain_levels = check_levels(plain, -1)
    # The scrambled variant holds the same pixels behind this program's own tables.
    assert check_levels(scrambled, 1) == plain_levels, "the scrambled file decodes differently"

    # The older extension holds the same layout but is decoded whole at open.
    older = work("squares.qtx")
    shutil.copyfile(plain, older)
    info = json.loads(run("rasterinfo", older, "--json").stdout)
    assert info["decodedWhole"] and len(info["levels"]) == len(LEVELS), info
    run("preview", older, "-o", work("older.png"))
    run("preview", older, "--level", "3", "-o", work("older-overview.png"))
    assert read_png(work("older.png"))[3] == plain_levels[0], "the older extension decodes differently"
    assert read_png(work("older-overview.png"))[3] == plain_levels[3], "the older extension's overview differs"

    text = run("rasterinfo", plain).stdout
    for expected in ("scheme version: -1 (plain)", "zoom levels:    4", "level 3: 300 x 200, 5 x 4 tiles"):
        assert expected in text, text

    # A level the file does not have is a bad argument that names the levels it has.
    err = run("preview", plain, "--level", "4", "-o", work("none.png"), code=2).stderr
    assert "zoom levels 0 to 3" in err and not os.path.exists(work("none.png")), err


OVERVIEW_COLOURS = [(250, 250, 250), (200, 30, 30), (30, 200, 30), (30, 30, 200)]


def write_huge_tiled(path, side):
    """A plain tiled file, written from the layout, whose full-size level
    claims side x side pixels (one real tile, every other tile empty) and
    whose second level is a 300 x 300 overview of uniform tiles coloured by
    tile index."""
    def level(width, height, tiles):
        across, down = width // 64 + 1, height // 64 + 1
        body, offsets, position = b"\x77" * 4, [], start + len(out) + 4
        for i in range(across * down):
            offsets.append(position + len(body) - 4)
            if i < len(tiles):
                body += tiles[i]
        offsets.append(position + len(body) - 4)
        header = struct.pack("<iihh", width, height, across, down)
        header += b"".join(bytes((b, g, r, 0)) for r, g, b in OVERVIEW_COLOURS) + bytes(4 * (256 - len(OVERVIEW_COLOURS)))
        header += struct.pack(f"<{len(offsets)}I", *offsets)
        return body, header

    start = 14 + 40 + 4 + 2 + 8
    out = b""
    tile = zlib.compress(bytes(4096))
    body, header0 = level(side, side, [tile])
    out += body
    level0_position = start + len(out)
    out += header0
    overview_tiles = [zlib.compress(bytes([i % len(OVERVIEW_COLOURS)]) * 4096) for i in range(25)]
    body, header1 = level(300, 300, overview_tiles)
    out += body
    level1_position = start + len(out)
    out += header1
    table = start + len(out)
    out += struct.pack("<III", level0_position, level1_position, table)
    prefix = struct.pack("<HIHHI", 0x7778, 0, 64, 1, 1078)
    prefix += struct.pack("<IiiHHIIiiII", 40, side, side, 1, 8, 0, (side * side) & 0xFFFFFFFF, 0, 0, 256, 256)
    prefix += bytes(4) + struct.pack("<hff", 0, 100.0, 300 * 100.0 / side)
    assert len(prefix) == start
    with open(path, "wb") as f:
        f.write(prefix + out)


def huge():
    # Far more pixels than memory holds: described, and previewed only at a
    # level that fits, never allocated.
    path = work("huge.qtx2")
    write_huge_tiled(path, 100000)
    info = json.loads(run("rasterinfo", path, "--json").stdout)
    assert (info["width"], info["height"]) == (100000, 100000), info
    assert [(l["width"], l["tilesX"]) for l in info["levels"]] == [(100000, 1563), (300, 5)], info["levels"]
    err = run("preview", path, "-o", work("huge.png"), code=1).stderr
    assert "too many to hold in memory" in err and "--level" in err, err
    err = run("preview", path, "--level", "0", "-o", work("huge.png"), code=1).stderr
    assert "too large" in err and not os.path.exists(work("huge.png")), err

    run("preview", path, "--level", "1", "-o", work("overview.png"))
    width, height, _, rows = read_png(work("overview.png"))
    assert (width, height) == (300, 300), (width, height)
    for x, y in ((0, 0), (63, 63), (64, 0), (299, 10), (10, 64), (299, 299), (130, 200)):
        want = OVERVIEW_COLOURS[(x // 64 + (y // 64) * 5) % len(OVERVIEW_COLOURS)]
        assert rows[y][x] == want, (x, y, rows[y][x], want)


def damaged_copy(name, data):
    path = work(name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def refusals():
    png = open(os.path.join(FIXTURES, "png-rgb.png"), "rb").read()
    source = work("squares.png")
    write_png(source, [[square_colour(x, y) for x in range(WIDTH)] for y in range(HEIGHT)])
    run("tile", source, "-o", work("good.qtxx3"), "--scrambled", "--temp", WORK)
    tiled = open(work("good.qtxx3"), "rb").read()
    # The scheme marker follows the file header, the filler length byte and the filler.
    marker = 14 + 1 + tiled[14]
    unknown_scheme = tiled[:marker] + bytes(b ^ 0x5A for b in tiled[marker:marker + 4]) + tiled[marker + 4:]

    cases = [
        # image, words expected in the reason
        (work("missing.png"), "no such file"),
        (os.path.join(FIXTURES, "rgb.ppm"), "not an image kind"),
        (damaged_copy("truncated.png", png[:len(png) // 2]), ""),
        (damaged_copy("not-bm.bmp", b"XX" + open(os.path.join(FIXTURES, "bmp-24bit.bmp"), "rb").read()[2:]),
         "could not be decoded"),
        (damaged_copy("planar.tif", open(os.path.join(FIXTURES, "tiff-rgb-planar.tif"), "rb").read()),
         "This TIF format is not supported"),
        (damaged_copy("cut.qtxx3", tiled[:len(tiled) - 6]), ""),
        (damaged_copy("wrong-magic.qtx2", b"\x00\x00" + tiled[2:]), "not recognised"),
        (damaged_copy("unknown-scheme.qtxx3", unknown_scheme), "Protected Map Image"),
        (damaged_copy("empty.gif", b""), ""),
    ]
    kept = work("kept.png")
    for image, words in cases:
        for args in (["rasterinfo", image], ["preview", image, "-o", kept]):
            with open(kept, "w") as f:
                f.write("an earlier preview")
            err = run(*args, code=1).stderr
            assert os.path.basename(image) in err and words in err, (args, err)
            # A refused image never leaves a partial preview, nor removes the one that was there.
            assert open(kept).read() == "an earlier preview", args
    assert [n for n in os.listdir(WORK) if ".part" in n] == [], os.listdir(WORK)

    good = os.path.join(FIXTURES, "png-rgb.png")
    run("preview", good, "-o", os.path.join(WORK, "no-such-folder", "x.png"), code=1)
    for args in (["rasterinfo"], ["rasterinfo", good, good], ["preview", good], ["preview", "-o", kept],
                 ["preview", good, "--level", "1", "-o", kept], ["preview", work("good.qtxx3"), "--level", "-1",
                                                                  "-o", kept],
                 ["preview", work("good.qtxx3"), "--level", "one", "-o", kept], ["rasterinfo", good, "--colour"]):
        run(*args, code=2)


try:
    {"kinds": kinds, "tiled": tiled, "huge": huge, "refusals": refusals}[GROUP]()
finally:
    shutil.rmtree(WORK, ignore_errors=True)
