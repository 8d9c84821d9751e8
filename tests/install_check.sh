#!/usr/bin/env bash
# Installs the built tree into a temporary folder and checks what a Linux user gets: the program
# in its own folder with its manual, the commands (window and command line) linked into bin, the simulator, a valid desktop
# entry and the icon.
set -euo pipefail
build="$1"
dest="$(mktemp -d)"
trap 'rm -rf "$dest"' EXIT

DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
for f in usr/libexec/vtk290/vtk290 usr/libexec/vtk290/vtk290-cli "usr/libexec/vtk290/KT290 Bedienungsanleitung.pdf" \
         usr/bin/vtk290-sim usr/share/applications/vtk290.desktop \
         usr/share/icons/hicolor/scalable/apps/vtk290.svg; do
    [ -e "$dest/$f" ] || { echo "missing: $f"; exit 1; }
done
[ "$(readlink "$dest/usr/bin/vtk290")" = "../libexec/vtk290/vtk290" ] || { echo "bin/vtk290 is no link to the program"; exit 1; }
[ "$(readlink "$dest/usr/bin/vtk290-cli")" = "../libexec/vtk290/vtk290-cli" ] || { echo "bin/vtk290-cli is no link to the program"; exit 1; }
desktop-file-validate "$dest/usr/share/applications/vtk290.desktop"
echo "install layout ok"
