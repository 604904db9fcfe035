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
  usr/share/applications/vorlane.desktop
  usr/share/icons/hicolor/scalable/apps/vorlane.svg
  usr/share/man/man1/vorlane-gsk.1.gz
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
# Nothing outside /usr, and no build-folder paths.
if find "$scratch" -mindepth 1 -maxdepth 1 ! -name usr | grep -q .; then
  echo "the package installs outside /usr:" >&2
  find "$scratch" -mindepth 1 -maxdepth 1 ! -name usr >&2
  missing=1
fi
"$scratch/usr/bin/vorlane-gsk" --help >/dev/null || { echo "the packaged vorlane-gsk does not run" >&2; missing=1; }
desktop-file-validate "$scratch/usr/share/applications/vorlane.desktop" || missing=1

echo "=== lintian ==="
lintian --fail-on error "$deb" || { echo "lintian finds errors in the package" >&2; missing=1; }

if [ "$missing" -ne 0 ]; then
  echo "The package is not complete." >&2
  exit 1
fi
echo "Package complete: $deb"
