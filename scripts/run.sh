#!/usr/bin/env bash
# Builds what the game needs (the server, the client and their data files, in
# the optimised configuration) and runs it from its ready-to-run folder
# build/release/dist: the dedicated server on a freshly generated map
# (dist/server_config.ini names no map) and, when a display is available
# ($DISPLAY or $WAYLAND_DISPLAY), the client connected to it once the server
# listens. Without a display the server runs alone. The server keeps the
# terminal: closing the client leaves it running until you type "quit"; a
# server that quits first ends the client with its "connection lost" box.
# Usage: scripts/run.sh [server settings file]
#   A relative settings path is taken from the folder run.sh is called in.
#   BKM_JOBS=N builds with N jobs (default: every core).
set -euo pipefail

config=
if [ $# -gt 0 ]; then
  config=$1
  case "$config" in /*) ;; *) config=$PWD/$config ;; esac
  if [ ! -f "$config" ] || [ ! -r "$config" ]; then
    echo "run.sh: the settings file $1 does not exist or cannot be read." >&2
    exit 1
  fi
  if [ ${#config} -gt 259 ]; then
    echo "run.sh: the settings file's path is longer than 259 characters: $config" >&2
    exit 1
  fi
fi

cd "$(dirname "$0")/.."
scripts/deps.sh
# The tests, tools and benchmarks are scripts/test.sh's to build.
scripts/build.sh release server client client_assets
cd build/release/dist
config=${config:-$PWD/server_config.ini}

port=$(sed -n 's/^[[:space:]]*port[[:space:]]*=[[:space:]]*\([0-9][0-9]*\).*/\1/p' "$config" 2>/dev/null | head -n 1 || true)
port=${port:-32887}

# 1 once something listens on the UDP port (the server has started).
listening() {
  if command -v ss >/dev/null 2>&1; then
    ss -Hlun "sport = :$port" 2>/dev/null | grep -q .
  else
    sleep 3 # no ss: give the server time to generate its map
  fi
}

# The server replaces this shell below, so it keeps this shell's process id:
# the loop that starts the client ends as soon as the server has ended.
server_pid=$$
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: starting the server, then the client against 127.0.0.1:$port."
  (
    for _ in $(seq 1 300); do
      if listening && kill -0 "$server_pid" 2>/dev/null; then
        # 16777343 is 127.0.0.1 as the one number the client takes.
        exec ./client "\"bkm://16777343:$port\""
      fi
      kill -0 "$server_pid" 2>/dev/null || exit 0
      sleep 0.2
    done
    echo "run.sh: the server is not listening on port $port; no client started." >&2
  ) &
else
  echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): starting the server alone."
fi
exec ./server "$config"
