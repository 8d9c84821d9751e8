#!/usr/bin/env bash
# Installs the built tree into a temporary folder and checks what a Linux user gets: the program
# in its own folder with its manual, the commands (window and command line) linked into bin, the simulator, a valid desktop
# entry, the icon and the copyright file; every file installed is in the install manifest (which
# the package is made from), and an install with --strip leaves no debugging symbols. Then the
# same for the Debian package that cpack makes.
set -euo pipefail
build="$1"
dest="$(mktemp -d)"
trap 'rm -rf "$dest"' EXIT

DESTDIR="$dest" cmake --install "$build" --prefix /usr --strip >/dev/null
for f in usr/libexec/vtk290/vtk290 usr/libexec/vtk290/vtk290-cli \
         "usr/libexec/vtk290/KT290 Bedienungsanleitung.pdf" \
         usr/bin/vtk290-sim usr/share/applications/vtk290.desktop \
         usr/share/icons/hicolor/scalable/apps/vtk290.svg usr/share/doc/vtk290/copyright; do
    [ -e "$dest/$f" ] || { echo "missing: $f"; exit 1; }
done
for program in vtk290 vtk290-cli; do
    [ "$(readlink "$dest/usr/bin/$program")" = "../libexec/vtk290/$program" ] || { echo "bin/$program is no link to the program"; exit 1; }
done
manifest="$build/install_manifest.txt"
installed="$(cd "$dest" && find . ! -type d | sed "s|^\.||" | sort)"
listed="$(sed "s|^$dest||" "$manifest" | sort)"
[ "$installed" = "$listed" ] || { echo "install manifest differs:"; diff <(echo "$listed") <(echo "$installed"); exit 1; }
for f in usr/libexec/vtk290/vtk290 usr/libexec/vtk290/vtk290-cli usr/bin/vtk290-sim; do
    if readelf -S "$dest/$f" | grep -q '\.debug_info\|\.symtab'; then echo "not stripped: $f"; exit 1; fi
done
desktop-file-validate "$dest/usr/share/applications/vtk290.desktop"

package="$dest/package"
cpack --config "$build/CPackConfig.cmake" -B "$package" >/dev/null
deb="$(ls "$package"/vtk290_*.deb)"
contents="$(dpkg-deb -c "$deb")"
grep -q ' \./usr/share/doc/vtk290/copyright$' <<<"$contents" || { echo "package without copyright"; exit 1; }
for program in vtk290 vtk290-cli; do
    grep -q " \./usr/bin/$program -> \.\./libexec/vtk290/$program\$" <<<"$contents" || { echo "package without bin/$program"; exit 1; }
done
dpkg-deb -x "$deb" "$package/root"
for f in usr/libexec/vtk290/vtk290 usr/libexec/vtk290/vtk290-cli usr/bin/vtk290-sim; do
    if readelf -S "$package/root/$f" | grep -q '\.debug_info\|\.symtab'; then echo "not stripped in the package: $f"; exit 1; fi
done
echo "install layout ok"
