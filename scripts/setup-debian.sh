#!/bin/bash
# Installs what building, running and testing Vorlane needs on Debian 12, and the packages named as
# arguments; does nothing when all is there. Installing needs root, or a user who may use sudo.
#   scripts/setup-debian.sh [package...]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libjpeg62-turbo-dev libx11-dev libxrandr-dev libglib2.0-dev
  libxdamage-dev libxres-dev libpixman-1-dev libjson-glib-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils x11-apps x11-xserver-utils imagemagick python3-pil dbus libglib2.0-bin desktop-file-utils
  openbox strace python3-xdg icewm fluxbox libwayland-dev weston
  caja xfdesktop4 xfconf pcmanfm pcmanfm-qt sway swaybg grim dconf-service dconf-gsettings-backend
  fonts-ipafont-gothic qt6-translations-l10n
  zlib1g-dev
  libpng-dev libwebp-dev libgif-dev libavif-dev webp libavif-bin giflib-tools python3-pil
  gsettings-desktop-schemas cinnamon-desktop-data
  libxft-dev xscreensaver xsecurelock
  plasma-workspace plasma-desktop kwin-x11 gnome-shell cinnamon cinnamon-session
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "Installing needs root: run as root  apt-get install ${missing[*]}" >&2
      exit 1
    fi
    SUDO=(sudo)
  fi
  "${SUDO[@]}" apt-get update -qq
  "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
