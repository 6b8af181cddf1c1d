#!/usr/bin/env bash
# The demo: a short run of the command line on built-in data. One point in
# London (latitude 51.5, longitude -0.1 on WGS 84) is carried between WGS 84,
# the British National Grid and UTM, and back.
set -euo pipefail
build=${1:-build}
cli="$build/src/cli/quiltor-cli"
say() { printf '\n%s\n' "$*"; }
line() { printf '%s\n' "$*"; }
quote() { case $1 in *[\ \(\)]*) printf ' "%s"' "$1" ;; *) printf ' %s' "$1" ;; esac; }
run() {
  printf '  $ quiltor-cli'
  for a in "$@"; do quote "$a"; done
  printf '\n'
  "$cli" "$@" | sed 's/^/    /'
}
has() { "$cli" --help | grep -q "^  $1 "; }

echo "== quiltor-cli demo =="
"$cli" version

say "The London point on WGS 84 as seen by a Latitude/Longitude map (easting = longitude):"
run project --projection "Latitude/Longitude" 51.5 -0.1

osgb_lat=51.5 osgb_lon=-0.1
if has datum; then
  say "British maps are drawn on the Ordnance Survey datum; the same place there:"
  run datum --from "WGS 84" --to "Ord Srvy Grt Britn" 51.5 -0.1
  read -r osgb_lat osgb_lon < <("$cli" datum --from "WGS 84" --to "Ord Srvy Grt Britn" 51.5 -0.1)
fi

say "British National Grid easting/northing of it (TQ 31... 79... in grid letters):"
run project --projection "(BNG) British National Grid" --datum "Ord Srvy Grt Britn" "$osgb_lat" "$osgb_lon"
read -r bng_e bng_n < <("$cli" project --projection "(BNG) British National Grid" --datum "Ord Srvy Grt Britn" "$osgb_lat" "$osgb_lon")

say "...and back from the grid to latitude/longitude:"
run project --projection "(BNG) British National Grid" --datum "Ord Srvy Grt Britn" --inverse "$bng_e" "$bng_n"

say "A UTM destination map in zone 30 measures from the zone's central meridian (3 W) and the equator:"
run project --projection "(UTM) Universal Transverse Mercator" --zone 30 51.5 -0.1
read -r utm_e utm_n < <("$cli" project --projection "(UTM) Universal Transverse Mercator" --zone 30 51.5 -0.1)
run project --projection "(UTM) Universal Transverse Mercator" --zone 30 --inverse "$utm_e" "$utm_n"

if has grid; then
  say "The UTM grid reference of the point (false easting 500000 m added, band letter U):"
  run grid utm --from-latlon 51.5 -0.1
  if has datum; then
    say "The British grid reference TQ 31866 79661 read back to latitude/longitude on the Ordnance Survey datum:"
    run grid bng TQ 31866 79661 --datum "Ord Srvy Grt Britn"
  fi
fi

say "What this showed: one point through three coordinate systems; every conversion returns to its start."

if has create; then
  say "== Merging the sample maps =="
  say "samples/ holds five calibrated maps of one landscape: two detailed UTM sheets (zones 31 and 32),"
  line "a Transverse Mercator sheet on European 1950, a Mercator sheet and a latitude/longitude overview,"
  line "each with a white collar and a magenta legend that the merge must cut away."
  mkdir -p out
  rm -f out/demo.qtx2 out/demo.map out/demo-preview.png
  run create --folder samples -o out/demo.qtx2 --projection "(UTM) Universal Transverse Mercator" --zone 32 \
    --mpp 40 --colors 128 --temp out
  if has rasterinfo; then
    say "Its zoom levels (level 0 is the full size, the last one the overview):"
    run rasterinfo out/demo.qtx2
  fi
  if has preview; then
    say "A preview of zoom level 1 (a quarter of the full size), a PNG any viewer opens:"
    run preview out/demo.qtx2 --level 1 -o out/demo-preview.png
  fi
  say "The merged map is out/demo.qtx2 with its calibration file out/demo.map."
  if [ -f out/demo-preview.png ]; then say "Its preview is out/demo-preview.png."; fi
  say "The calibration file written for it:"
  sed -n '1,13p;40p;45,56p' out/demo.map | sed 's/^/    /'
  if has info; then
    say "Read back, it is a map like any other:"
    run info out/demo.map
  fi
fi
