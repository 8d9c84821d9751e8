#!/usr/bin/env bash
# Builds vtk290 and runs all its tests, windows offscreen, against the device simulator.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"

"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
# The end-to-end tests mostly wait for the paced serial line: four run side by side.
ctest --test-dir "$build" --output-on-failure -j4 --timeout 300
