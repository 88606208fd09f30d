#!/usr/bin/env bash
# Takes a picture of the window as a first start shows it (factory settings) into
# docs/window.png, running the program on a virtual X display. Builds it first if needed.
# BUILD_DIR picks the build folder (default build/default).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/default}
title="Norvale Download Revision 1.25"

scripts/install_packages.sh imagemagick x11-utils xvfb xauth
if [ -z "${BUILD_DIR:-}" ]; then
  scripts/setup.sh default
else
  cmake --build "$build" --target norvale-download
fi

# A private portable copy of the program keeps its settings file away from the build folder's
# one and from the user's own.
run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
cp "$build/norvale-download" "$build/portable" "$run/"
mkdir -p docs

QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1/norvale-download" &
  program=$!
  for _ in $(seq 100); do
    xwininfo -name "$2" >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 1
  import -window "$2" "$3"
  kill "$program"
  wait "$program" 2>/dev/null || true
' _ "$run" "$title" docs/window.png
echo "wrote docs/window.png"
