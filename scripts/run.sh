#!/usr/bin/env bash
# Builds the optimised configuration and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh release
echo "build finished; the programs are in build/release"
