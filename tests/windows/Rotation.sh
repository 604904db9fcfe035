#!/bin/bash
# vorlane-wallpaper.exe's rotation under wine, as a Windows user starts it:
#  1. `rotate --every 300ms --at-login GALLERY` run from a program folder whose path holds blanks makes
#     the gallery's pictures the wallpaper one after another, each announced to a mascot stand-in on
#     127.0.0.1:9801; the user's "Run" key holds the same rotation's command line, the program's path
#     and the gallery's (blanks, a Japanese name) quoted;
#  2. `rotate --stop` ends it; a login (wineboot starts the commands of the "Run" key as Windows does at
#     login) starts it again from that command line, and it goes on from the picture it had reached;
#  3. a new rotation takes its place; `rotate --stop --at-login` ends that one and removes the "Run"
#     value.
# Each step waits for the mascot's announcements, with a deadline. The port is fixed, so it runs in a
# network namespace of its own, and the wine server with it.
#   tests/windows/Rotation.sh VORLANE-WALLPAPER.EXE VORLANE-GSK.EXE
# Runs with the caller's WINEPREFIX and a Japanese locale (code page 932).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
wallpaper="$(realpath "$1")"
gsk="$(realpath "$2")"
work="$(mktemp -d "${TMPDIR:-/tmp}/vorlane-rotation-XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"
. "$here/window_probe.sh" # windows_path, expect

program="$work/Program Files/Vor lane"
mkdir -p "$program" "$work/my galleries"
cp "$wallpaper" "$program/vorlane-wallpaper.exe"
# Three 2×2 pictures of 24 bits, one colour each.
pictures=(one.bmp two.bmp three.bmp)
colours=('\0\0\xff' '\0\xff\0' '\xff\0\0')
for i in 0 1 2; do
  c="${colours[$i]}"
  printf 'BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x10\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0' > "${pictures[$i]}"
  printf "$c$c\\0\\0$c$c\\0\\0" >> "${pictures[$i]}"
done
gallery="$work/my galleries/旅の 画集.gsk"
wine "$gsk" add "$(windows_path "$gallery")" "${pictures[@]}" >/dev/null

wineserver --wait # the prefix's server of the steps before, outside the namespace, is gone
namespace=(unshare --net)
if [ "$(id -u)" -ne 0 ]; then namespace=(unshare --user --map-root-user --net); fi
"${namespace[@]}" bash -c '
  set -euo pipefail
  mascot_script="$1" program="$2" gallery="$3"
  shift 3
  pictures=("$@")
  . "$(dirname "$mascot_script")/window_probe.sh"
  ip link set lo up
  mkfifo events
  perl "$mascot_script" received 240 20 > events &
  mascot=$!
  exec 3< events
  read -r -t 30 line <&3
  [ "$line" = ready ]
  trap "kill $mascot 2>/dev/null || true; wineserver --kill 2>/dev/null || true" EXIT

  # The picture the next announcement names.
  announced() {
    local line
    read -r -t 60 line <&3 || { echo "no announcement within 60 s" >&2; exit 1; }
    line="$(printf "%s" "$line" | iconv -f CP932 -t UTF-8)"
    line="${line#Script: 壁紙を}"
    printf "%s\n" "${line%に設定しました}"
  }
  # The picture after the one named, in the gallery.
  after() {
    local i
    for i in "${!pictures[@]}"; do
      [ "${pictures[$i]}" = "$1" ] && { printf "%s\n" "${pictures[$(((i + 1) % ${#pictures[@]}))]}"; return; }
    done
    echo "not a picture of the gallery: $1" >&2
    exit 1
  }
  run_value() {
    wine reg query "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run" /v "Vorlane wallpaper rotation" |
      tr -d "\r" | iconv -f CP932 -t UTF-8 | sed -n "s/^ *Vorlane wallpaper rotation *REG_SZ *//p"
  }
  tool="$program/vorlane-wallpaper.exe"

  echo "--- rotate --every 300ms --at-login"
  wine "$tool" rotate --every 300ms --at-login "$(windows_path "$gallery")" &
  rotation=$!
  expect "first change" "${pictures[0]}" "$(announced)"
  expect "second change" "${pictures[1]}" "$(announced)"
  expect "the Run value" "\"$(windows_path "$program/vorlane-wallpaper.exe")\" rotate --every 300ms \"$(windows_path "$gallery")\"" \
    "$(run_value)"
  timeout 60 wine "$tool" rotate --stop
  wait "$rotation"
  # Where it stood: the last change is complete once --stop returns.
  last="$(wine reg query "HKCU\\Control Panel\\Desktop" /v Wallpaper | tr -d "\r" | sed -n "s/^ *Wallpaper *REG_SZ *//p")"
  last="${last##*\\}"

  echo "--- a login starts it from the Run key"
  timeout 60 wine wineboot
  # Announcements of the first rotation may still be on their way; the next picture is the login one.
  expected="$(after "$last")"
  for _ in 1 2 3; do
    name="$(announced)"
    [ "$name" = "$expected" ] && break
  done
  expect "the login rotation'"'"'s first change" "$expected" "$name"
  expect "the login rotation goes on" "$(after "$expected")" "$(announced)"

  echo "--- a new rotation takes the place of the running one"
  wine "$tool" rotate --every 1h "$(windows_path "$gallery")" 2> replacing.err &
  replacing=$!
  for _ in $(seq 600); do
    grep -q "the rotation that ran is replaced" replacing.err && break
    sleep 0.1
  done
  grep -q "the rotation that ran is replaced" replacing.err ||
    { echo "the new rotation did not replace the running one: $(cat replacing.err)" >&2; exit 1; }

  echo "--- rotate --stop --at-login"
  timeout 60 wine "$tool" rotate --stop --at-login
  wait "$replacing"
  [ -z "$(run_value 2>/dev/null)" ] || { echo "the Run value is still there: $(run_value)" >&2; exit 1; }
  echo "rotation: changes announced in order, started at login from a Run value that is gone again"
' rotation "$here/Mascot.pl" "$program" "$gallery" "${pictures[@]}"
