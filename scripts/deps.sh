#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, when any is missing.
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config clang
      libenet-dev libiniparser-dev zlib1g-dev libsdl2-dev libx11-dev libpng-dev
      libgtest-dev libgmock-dev googletest libbenchmark-dev
      libopenal-dev libfreetype-dev fonts-dejavu-core xvfb xdotool x11-utils x11-apps)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
