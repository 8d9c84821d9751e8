#!/usr/bin/env bash
# Builds and starts vtk290. With no device attached (no USB serial adapter and no VTK290_PORTS)
# it starts the device simulator and points the program at it as COM1.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"

"$root/scripts/build.sh"

if [ -z "${VTK290_PORTS:-}" ] && ! compgen -G "/dev/ttyUSB*" >/dev/null && ! compgen -G "/dev/ttyACM*" >/dev/null; then
    link="$(mktemp -u /tmp/vtk290-sim.XXXXXX)"
    "$build/simulator/vtk290-sim" --no-stdin --link "$link" --type "${VTK290_SIM_TYPE:-X1}" >/dev/null &
    sim=$!
    trap 'kill $sim 2>/dev/null || true' EXIT
    for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
    echo "Kein Gerät angeschlossen: der Simulator spielt einen KT 290 an COM1 ($link)."
    export VTK290_PORTS="$link"
fi
"$build/src/vtk290" "$@"
