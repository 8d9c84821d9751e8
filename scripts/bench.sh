#!/usr/bin/env bash
# Builds vtk290 and measures it: CPU while waiting, and the figures of the device exchanges
# (the live view's cycle time against its floor, and the read-out over a serial device server
# against the local port among them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$root/build-bench}"
build="$BUILD_DIR"

# ser2net, the serial device server, for the read-out over the network.
"$root/scripts/install-deps.sh" ser2net
BUILD_TYPE=Release "$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
"$build/bench/vtk290-bench" wait 10
"$build/bench/vtk290-bench" readout
"$build/bench/vtk290-bench" readout-network
"$build/bench/vtk290-bench" report
"$build/bench/vtk290-bench" live
"$build/bench/vtk290-bench" startup
"$build/bench/vtk290-bench" setupput
"$build/bench/vtk290-bench" history
