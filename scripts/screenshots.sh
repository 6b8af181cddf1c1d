#!/usr/bin/env bash
# Pictures of the desktop program for people to look at: the window on the
# sample maps (scanned, thumbnails on, a UTM zone 32 destination), its three
# tabs, the create progress window and the create log, as PNG files in
# out/screenshots/. Runs on a virtual X display (Xvfb); needs a build.
#
# usage: scripts/screenshots.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tour="$build/tests/ui/screenshot_tour"
[ -x "$tour" ] || { echo "screenshots: build first (make build): $tour is missing" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "screenshots: xvfb-run is missing (scripts/install-deps)" >&2; exit 1; }

out=out/screenshots
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
# A settings and thumbnail folder of its own: the user's are left alone.
XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
  xvfb-run -a -s "-screen 0 1000x680x24" "$tour" "$PWD/$out" "$PWD/samples" "$work"
echo "screenshots: written to $out/"
