#!/usr/bin/env bash
# Installs what the project needs on a fresh Debian 12 machine, then configures and builds.
# Usage: scripts/setup.sh [preset ...]   (default preset: "default")
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_packages.sh cmake ninja-build g++ python3 qt6-base-dev libqt6serialport6-dev \
  googletest libgtest-dev mbpoll xvfb xauth

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
