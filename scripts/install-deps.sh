#!/usr/bin/env bash
# Installs the Debian 12 packages Tindral builds, runs and tests with, when any of them is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libplist-dev libbenchmark-dev
    dbus xvfb xauth x11-utils fonts-dejavu-core
    # The desktop's own clock settings (GNOME's), which ClockSwitches reads through gsettings and its tests
    # change through dconf on their private bus.
    libglib2.0-bin gsettings-desktop-schemas dconf-gsettings-backend dconf-service
    # The install checks: the validators of the desktop entry and the AppStream file, the manual pages'
    # reader, readelf, and the completion's framework.
    desktop-file-utils appstream man-db binutils bash-completion
    # The windows' tests read them as a screen reader does, over AT-SPI, and photograph the X server's screen.
    at-spi2-core python3 python3-pyatspi imagemagick
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
