#!/usr/bin/env bash
# Configures and builds one configuration: release (default), asan, or tsan
# (the thread sanitizer), all targets or the ones named.
# Usage: scripts/build.sh [release|asan|tsan] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
cfg=${1:-release}
shift || true
jobs=${BKM_JOBS:-$(nproc)}
case "$cfg" in
  release) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) flags=(-DCMAKE_BUILD_TYPE=Debug -DBKM_SANITIZE=ON) ;;
  tsan) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBKM_TSAN=ON) ;;
  *) echo "unknown configuration: $cfg" >&2; exit 2 ;;
esac
cmake -S . -B "build/$cfg" -G Ninja "${flags[@]}" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "build/$cfg" -j "$jobs" "${targets[@]}"
