#!/usr/bin/env bash
# Builds the optimised configuration and runs the main job: the dedicated
# server in its ready-to-run folder build/release/dist, on a freshly
# generated map (dist/server_config.ini names no map). It prints its start-up
# lines and waits for players; type "quit" to stop it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh release
cd build/release/dist
exec ./server "$@"
