#!/usr/bin/env bash
# Installs what the project needs on a fresh Debian 12 machine, then configures and builds.
# Usage: scripts/setup.sh [--all] [preset ...]   (default preset: "default")
#   without --all: only the two programs, norvale-download and norvale-cli, and only the
#   packages they need;
#   with --all: also the tests and benchmarks, with GoogleTest, mbpoll, a virtual display and
#   the tools the package test uses.
set -euo pipefail
cd "$(dirname "$0")/.."

all=false
if [ "${1:-}" = "--all" ]; then
  all=true
  shift
fi

# Qt SQL finds its SQLite and PostgreSQL drivers as plugins at run time, so nothing links them.
packages=(cmake ninja-build g++ python3 qt6-base-dev qt6-serialport-dev qt6-charts-dev qt6-svg-dev
          libqt6sql6-sqlite libqt6sql6-psql)
# The tests also build the Debian package and check its manual pages and metadata; one bench
# compares the link with libmodbus; ser2net is the serial device server the network tests put
# in front of the simulated meter; the archive's tests start a throw-away PostgreSQL server.
$all && packages+=(googletest libgtest-dev mbpoll xvfb xauth
                   help2man dpkg-dev desktop-file-utils appstream lintian
                   libmodbus-dev pkg-config ser2net postgresql)
scripts/install_packages.sh "${packages[@]}"

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  if $all; then
    cmake --build --preset "$preset"
  else
    cmake --build --preset "$preset" --target norvale-download norvale-cli
  fi
done
