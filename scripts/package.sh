#!/usr/bin/env bash
# Builds the Debian packages build/package/norvale-cli_<version>-1_<arch>.deb (the headless
# program) and norvale-download_<version>-1_<arch>.deb (the window, which depends on the first),
# with their dependencies worked out from the programs' shared libraries. Install them with
#   sudo apt-get install ./build/package/norvale-cli_*.deb ./build/package/norvale-download_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_packages.sh cmake ninja-build g++ python3 qt6-base-dev qt6-serialport-dev \
  qt6-charts-dev qt6-svg-dev help2man dpkg-dev
cmake --preset default >/dev/null
cmake --build --preset default --target norvale-download norvale-cli norvale-plot norvale_manual_pages \
  norvale_changelog
rm -f build/package/norvale-*.deb
(cd build/default && cpack -G DEB -B "$PWD/../package" >/dev/null)
ls build/package/norvale-*.deb
