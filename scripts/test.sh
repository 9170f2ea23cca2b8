#!/usr/bin/env bash
# Installs what is missing, builds both configurations (optimised, and with
# address and undefined-behaviour sanitizers) and runs every test in each.
# Usage: scripts/test.sh [release|asan]...   (both by default)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cfgs=("$@")
[ ${#cfgs[@]} -gt 0 ] || cfgs=(release asan)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
# Programs started by tests never ask a public service for their address.
export BKM_IP_SERVICE_HOST=${BKM_IP_SERVICE_HOST-off}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for cfg in "${cfgs[@]}"; do
  echo "== $cfg: build"
  scripts/build.sh "$cfg"
  echo "== $cfg: test"
  ctest --test-dir "build/$cfg" --output-on-failure -j "${BKM_JOBS:-$(nproc)}" --timeout 600
done
