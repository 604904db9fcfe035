#!/bin/bash
# Builds the Debian package vorlane_<version>_<arch>.deb with CPack, shows its control data (with the
# dependencies), checks its file list by unpacking it into a scratch root, and checks it with lintian,
# failing on any error lintian finds.
#   scripts/package.sh [build-folder]        (the package lands in <build-folder>/packages/)
# Install it with `apt install ./vorlane_*.deb`; remove it with `apt remove vorlane`.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"

"$root/scripts/setup-debian.sh" lintian
if [ ! -f "$build/CMakeCache.txt" ]; then
  "$root/scripts/configure.sh" "$build"
fi
cmake --build "$build"

rm -f "$build"/packages/vorlane_*.deb
(cd "$build" && cpack -G DEB)
deb="$(ls "$build"/packages/vorlane_*.deb)"

echo "=== $(basename "$deb") ==="
dpkg-deb -I "$deb"
echo "=== Contents ==="
dpkg-deb -c "$deb"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"

expected=(
  usr/bin/vorlane-gsk
  usr/bin/vorlane-wallpaper
  usr/share/applications/vorlane.desktop
  usr/share/applications/vorlane-set-wallpaper.desktop
  etc/xdg/autostart/vorlane-wallpaper.desktop
  usr/share/icons/hicolor/scalable/apps/vorlane.svg
  usr/share/man/man1/vorlane-gsk.1.gz
  usr/share/man/man1/vorlane-wallpaper.1.gz
  usr/share/doc/vorlane/README.md
  usr/share/doc/vorlane/docs/screenshot.png
  usr/share/doc/vorlane/copyright
  usr/share/doc/vorlane/changelog.gz
)
for size in 16 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/vorlane.png")
done
depends="$(dpkg-deb -f "$deb" Depends)"
required_depends=(fonts-ipafont-gothic libjpeg62-turbo)
if [ -x "$build/saver/vorlane-saver" ]; then
  # The screen saver, and the links and entries through which XScreenSaver, MATE and xsecurelock find it.
  expected+=(usr/bin/vorlane-saver usr/libexec/xscreensaver/vorlane-saver usr/libexec/xsecurelock/saver_vorlane
             usr/lib/mate-screensaver/mate-screensaver/vorlane-saver
             usr/share/xscreensaver/config/vorlane-saver.xml
             usr/share/applications/screensavers/vorlane-saver.desktop usr/share/man/man1/vorlane-saver.1.gz)
fi
if [ -x "$build/app/Vorlane16" ]; then
  expected+=(usr/bin/Vorlane16 usr/share/man/man1/Vorlane16.1.gz)
  required_depends+=(libqt6widgets6 libqt6gui6)
fi

missing=0
for file in "${expected[@]}"; do
  if [ ! -e "$scratch/$file" ]; then
    echo "missing from the package: /$file" >&2
    missing=1
  fi
done
for package in "${required_depends[@]}"; do
  if ! grep -Eq "(^|[ ,])$package( |,|$)" <<<"$depends"; then
    echo "the package does not depend on $package (Depends: $depends)" >&2
    missing=1
  fi
done
# Nothing outside /usr but the files that start the restore at login, where sessions look for them
# (the autostart entry, sway's snippet, IceWM's startup), and the rotation's autostart entry (off until
# the user turns it on), each a configuration file of the package.
login_files=(/etc/X11/icewm/startup /etc/sway/config.d/vorlane-wallpaper.conf
  /etc/xdg/autostart/vorlane-wallpaper.desktop /etc/xdg/autostart/vorlane-wallpaper-rotate.desktop)
outside="$(cd "$scratch" && find . -path ./usr -prune -o -type f -print | sed 's/^\.//' | LC_ALL=C sort)"
if [ "$outside" != "$(printf '%s\n' "${login_files[@]}" | LC_ALL=C sort)" ]; then
  echo "the package installs outside /usr:" >&2
  echo "$outside" >&2
  missing=1
fi
conffiles="$(mktemp -d)"
dpkg-deb -e "$deb" "$conffiles"
for file in "${login_files[@]}"; do
  grep -qx "$file" "$conffiles/conffiles" ||
    { echo "$file is not a configuration file of the package" >&2; missing=1; }
done
rm -rf "$conffiles"
tools=(vorlane-gsk vorlane-wallpaper)
[ -x "$build/saver/vorlane-saver" ] && tools+=(vorlane-saver)
for tool in "${tools[@]}"; do
  "$scratch/usr/bin/$tool" --help >/dev/null || { echo "the packaged $tool does not run" >&2; missing=1; }
done
desktop-file-validate "$scratch/usr/share/applications/vorlane.desktop" || missing=1
desktop-file-validate "$scratch/usr/share/applications/vorlane-set-wallpaper.desktop" || missing=1
desktop-file-validate "$scratch/etc/xdg/autostart/vorlane-wallpaper.desktop" || missing=1
desktop-file-validate "$scratch/etc/xdg/autostart/vorlane-wallpaper-rotate.desktop" || missing=1

echo "=== lintian ==="
lintian --fail-on error "$deb" || { echo "lintian finds errors in the package" >&2; missing=1; }

if [ "$missing" -ne 0 ]; then
  echo "The package is not complete." >&2
  exit 1
fi
echo "Package complete: $deb"
