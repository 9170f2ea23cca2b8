#!/usr/bin/env bash
# Builds the optimised configuration and runs the main job: for now maptool
# writes a map with random edits and checks it (exit code non-zero if invalid).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh release
mkdir -p build/maps
build/release/tools/maptool/maptool random build/maps/random.vxl 1 20000
build/release/tools/maptool/maptool check --strict build/maps/random.vxl
