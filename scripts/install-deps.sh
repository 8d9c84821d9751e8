#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing vtk290 needs, when any is missing;
# further packages may be named as arguments.
set -euo pipefail

# Qt Charts for the live view's trend (its CMake files need the OpenGL development files), Qt's
# German texts (file dialogs, standard buttons, system reasons), Debian's default fonts, which the
# window tests measure the captions with, poppler-utils, whose pdftotext reads the service record
# back in the tests, dpkg-dev, which makes the package, and Qt's SQLite driver for the device
# history.
packages=(cmake g++ make dpkg-dev qt6-base-dev qt6-serialport-dev qt6-svg-dev qt6-charts-dev
          libqt6opengl6-dev libqt6sql6-sqlite qt6-translations-l10n fonts-dejavu-core desktop-file-utils poppler-utils
          "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installiere: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
