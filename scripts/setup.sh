#!/usr/bin/env bash
# Installs what the project needs on a fresh Debian 12 machine, then configures and builds.
# Usage: scripts/setup.sh [preset ...]   (default preset: "default")
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ python3 qt6-base-dev libqt6serialport6-dev googletest
          libgtest-dev mbpoll xvfb xauth)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
