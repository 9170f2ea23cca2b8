#!/usr/bin/env bash
# Builds the optimised configuration and runs the game from its ready-to-run
# folder build/release/dist: the dedicated server on a freshly generated map
# (dist/server_config.ini names no map) and, when a display is available
# ($DISPLAY or $WAYLAND_DISPLAY), the client connected to it once the server
# listens. Without a display the server runs alone. The server keeps the
# terminal: closing the client leaves it running until you type "quit"; a
# server that quits first ends the client with its "connection lost" box.
# Usage: scripts/run.sh [server settings file]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh release
cd build/release/dist

config=${1:-server_config.ini}
port=$(sed -n 's/^[[:space:]]*port[[:space:]]*=[[:space:]]*\([0-9][0-9]*\).*/\1/p' "$config" 2>/dev/null | head -n 1)
port=${port:-32887}

# 1 once something listens on the UDP port (the server has started).
listening() {
  if command -v ss >/dev/null 2>&1; then
    ss -Hlun "sport = :$port" 2>/dev/null | grep -q .
  else
    sleep 3 # no ss: give the server time to generate its map
  fi
}

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: starting the server, then the client against 127.0.0.1:$port."
  (
    for _ in $(seq 1 300); do
      if listening; then
        # 16777343 is 127.0.0.1 as the one number the client takes.
        exec ./client "\"bkm://16777343:$port\""
      fi
      sleep 0.2
    done
    echo "run.sh: the server is not listening on port $port; no client started." >&2
  ) &
else
  echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): starting the server alone."
fi
# The server runs as this shell's child, so the client's end is reaped.
./server "$@"
