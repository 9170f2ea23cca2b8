#!/usr/bin/env bash
# Installs what is missing, builds both configurations (optimised, and with
# address and undefined-behaviour sanitizers) and runs every test in each;
# then builds with the thread sanitizer what runs on more than one thread --
# the server's map-compression worker and joins (label "join") and the
# renderer's drawing threads (label "threads") -- and runs those tests.
# Usage: scripts/test.sh [release|asan|tsan]...   (all three by default)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cfgs=("$@")
[ ${#cfgs[@]} -gt 0 ] || cfgs=(release asan tsan)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
# Programs started by tests never ask a public service for their address.
export BKM_IP_SERVICE_HOST=${BKM_IP_SERVICE_HOST-off}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
for cfg in "${cfgs[@]}"; do
  targets=()
  select=()
  if [ "$cfg" = tsan ]; then
    # Only the server's join worker and the renderer's pool run threads.
    targets=(server test_server_join test_renderer)
    select=(-L 'join|threads')
  fi
  echo "== $cfg: build"
  scripts/build.sh "$cfg" "${targets[@]}"
  echo "== $cfg: test"
  ctest --test-dir "build/$cfg" --output-on-failure -j "${BKM_JOBS:-$(nproc)}" --timeout 600 "${select[@]}"
done
