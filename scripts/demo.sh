#!/usr/bin/env bash
# The demo: a short run of the command line on built-in data.
set -euo pipefail
build=${1:-build}
cli="$build/src/cli/quiltor-cli"
echo "== quiltor-cli $(basename "$cli") demo =="
"$cli" version
