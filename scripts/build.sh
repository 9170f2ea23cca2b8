#!/usr/bin/env bash
# Configures and builds one configuration: release (default) or asan.
# Usage: scripts/build.sh [release|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
cfg=${1:-release}
jobs=${BKM_JOBS:-$(nproc)}
case "$cfg" in
  release) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) flags=(-DCMAKE_BUILD_TYPE=Debug -DBKM_SANITIZE=ON) ;;
  *) echo "unknown configuration: $cfg" >&2; exit 2 ;;
esac
cmake -S . -B "build/$cfg" -G Ninja "${flags[@]}" >/dev/null
cmake --build "build/$cfg" -j "$jobs"
