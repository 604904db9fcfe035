#!/bin/bash
# The Windows build, cross-compiled here and tested under wine with a Japanese locale (ANSI code page
# 932): the unit suites (test_commands among them: the window's commands behind a front end of no
# toolkit, as the Linux build runs them); the ZIP and the installer, each program's icon and version
# information; then, in a fresh prefix the installer was run in silently, the installed programs: an
# announcement of vorlane-wallpaper received by a mascot stand-in, the picture formats checked against
# other decoders, the rotation (started at login too), the gallery written by both builds' vorlane-gsk and
# by Vorlane16.exe compared, Vorlane16.exe's window driven on a virtual X display (at 96 and at 144 DPI
# too), what the user types and chooses there, the screen saver vorlane-saver.scr run there as the
# system runs it, the window started from the Start menu's shortcut, and the uninstaller.
#   tests/windows/run-under-wine.sh [windows-build-folder] [linux-build-folder]
# The Linux build folder must hold a built tools/vorlane-gsk and tests/wallpaper/with-xvfb
# (scripts/test.sh makes them).
# wine is not Windows: what passes here has not met a real Windows system.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(realpath -m "${1:-$root/build-windows}")"
linux_build="$(realpath -m "${2:-$root/build}")"

"$root/scripts/windows-deps.sh" "$build"

# wine takes its ANSI code page from the locale, which must exist.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
  $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1
  wineserver --wait
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DVORLANE_WINDOWS_PREFIX="$build/deps/prefix" -DVORLANE_WERROR=ON
cmake --build "$build"

# The window's commands run here as on Linux; a build that lost them must not pass.
(cd "$build" && ctest -N -R '^test_commands$' | grep -q 'Total Tests: 1') || { echo "test_commands is not built" >&2; exit 1; }
(cd "$build" && ctest --output-on-failure -j2 --timeout 600)

echo "=== The Windows ZIP ==="
rm -f "$build"/packages/Vorlane-*.zip
(cd "$build" && cpack -G ZIP >/dev/null)
zip="$(ls "$build"/packages/Vorlane-*-win64.zip)"
unzip -l "$zip"
unpacked="$(mktemp -d "${TMPDIR:-/tmp}/vorlane-zip-XXXXXX")"
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$zip" -d "$unpacked"
program="$(ls "$unpacked"/Vorlane-*/vorlane-gsk.exe)"
wallpaper_program="$(ls "$unpacked"/Vorlane-*/vorlane-wallpaper.exe)"
window_program="$(ls "$unpacked"/Vorlane-*/Vorlane16.exe)"
saver_program="$(ls "$unpacked"/Vorlane-*/vorlane-saver.scr)"
# Linked statically: they need no library but the system's own.
for exe in "$program" "$wallpaper_program" "$window_program" "$saver_program"; do
  foreign="$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' |
    grep -viE '^(kernel32|msvcrt|user32|advapi32|shell32|ws2_32|gdi32|comctl32|comdlg32|ole32)\.dll$' || true)"
  if [ -n "$foreign" ]; then
    echo "$(basename "$exe") needs libraries the ZIP lacks: $foreign" >&2
    exit 1
  fi
done
for exe in "$program" "$wallpaper_program"; do
  (cd "$unpacked" && wine "$exe" --version)
done
echo "=== Each program's icon and version information ==="
# Every program of the ZIP: all it holds but the read-me.
mapfile -t programs < <(find "$unpacked"/Vorlane-*/ -type f ! -name ReadMe.txt | sort)
"$root/tests/windows/Resources.sh" "$(sed -n 's/^project(Vorlane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")" \
  "${programs[@]}"
wineserver --kill || true

echo "=== The installer, in a fresh prefix ==="
cmake --build "$build" --target installer
setup="$(ls "$build"/packages/Vorlane-*-win64-setup.exe)"
export WINEPREFIX="$build/wine-installed"
rm -rf "$WINEPREFIX"
wineboot --init >/dev/null 2>&1
wineserver --wait
window_program="$("$root/tests/windows/Installer.sh" install "$setup")"
installed="$(dirname "$window_program")"
echo "installed in $installed"
# The ZIP's programs are the same files but for the time stamp and check sum that stripping writes into
# the PE header: what runs below stands for both.
same_program() {
  python3 - "$1" "$2" <<'PYTHON'
import struct, sys
def body(name):
    data = bytearray(open(name, "rb").read())
    header = struct.unpack_from("<I", data, 0x3C)[0]
    data[header + 8:header + 12] = bytes(4)   # TimeDateStamp
    data[header + 88:header + 92] = bytes(4)  # CheckSum
    return data
sys.exit(body(sys.argv[1]) != body(sys.argv[2]))
PYTHON
}
for exe in "$program" "$wallpaper_program" "$unpacked"/Vorlane-*/Vorlane16.exe; do
  same_program "$exe" "$installed/$(basename "$exe")" ||
    { echo "the ZIP and the installer differ in $(basename "$exe")" >&2; exit 1; }
done
program="$installed/vorlane-gsk.exe"
wallpaper_program="$installed/vorlane-wallpaper.exe"

echo "=== An announcement from the Windows build reaches the mascot ==="
"$root/tests/windows/Announcement.sh" "$wallpaper_program"

echo "=== PNG, WebP and GIF: thumbnails, Temp.bmp, the placements as Windows records them ==="
/usr/bin/python3 "$root/tests/tools/scripts/PictureFormats.py" --windows "$program" "$wallpaper_program"

echo "=== The wallpaper's rotation, and its start at login ==="
"$root/tests/windows/Rotation.sh" "$wallpaper_program" "$program"

with_xvfb="$linux_build/tests/wallpaper/with-xvfb"
vorlane="$window_program" # as the installer put it, the Start menu's shortcut's target
probe="$build/tests/windows/vorlane-window-probe.exe"
echo "=== The same gallery from the Linux and the Windows build ==="
"$with_xvfb" 1024x768x24 "$root/tests/windows/SameGallery.sh" "$linux_build/tools/vorlane-gsk" \
  "$program" "$vorlane" "$probe"

echo "=== The main window ==="
# In a network namespace of its own, where the test is the mascot on the fixed SSTP port.
unshare --net sh -c 'ip link set lo up && exec "$@"' sh \
  "$with_xvfb" 1024x768x24 "$root/tests/windows/MainWindow.sh" "$vorlane" "$probe" "$program" \
  "$linux_build/tools/vorlane-gsk"

echo "=== What the user types and chooses, and the announcement under an open menu ==="
unshare --net sh -c 'ip link set lo up && exec "$@"' sh \
  "$with_xvfb" 1024x768x24 "$root/tests/windows/WindowInput.sh" "$vorlane" "$probe" "$program" "$wallpaper_program" \
  "$linux_build/tools/vorlane-gsk"

echo "=== The screen saver ==="
"$with_xvfb" 1024x768x24 "$root/tests/windows/Saver.sh" "$saver_program" "$probe" "$program"

echo "=== The main window at 96 and 144 DPI ==="
"$with_xvfb" 1024x768x24 "$root/tests/windows/HighDpi.sh" "$vorlane" "$probe" "$program" "$linux_build/tools/vorlane-gsk"

echo "=== Started from the Start menu, then uninstalled ==="
"$with_xvfb" 1024x768x24 "$root/tests/windows/Installer.sh" uninstall "$probe"
wineserver --kill || true
