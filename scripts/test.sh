#!/usr/bin/env bash
# Installs, builds and runs the whole test suite twice: a normal build, then one under
# AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --all default sanitize
for preset in default sanitize; do
  echo "== tests: $preset build"
  ctest --preset "$preset" -j2 --no-tests=error
done
