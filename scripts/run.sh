#!/usr/bin/env bash
# Builds and starts vtk290. With no USB serial adapter (ttyUSB*, ttyACM*) and no VTK290_PORTS it
# starts the device simulator and points the program at it as COM1; a device on an on-board port
# (ttyS*) is then not used: name that port in VTK290_PORTS, e.g. VTK290_PORTS=/dev/ttyS0.
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
    echo "Kein USB-Adapter angeschlossen: der Simulator spielt einen KT 290 an COM1 ($link)."
    echo "Für ein Gerät an einer eingebauten Schnittstelle: VTK290_PORTS=/dev/ttyS0 $0"
    export VTK290_PORTS="$link"
fi
"$build/src/vtk290" "$@"
