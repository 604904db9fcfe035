#!/bin/bash
# What reaches Vorlane16.exe from the user under wine on Xvfb, driven by vorlane-window-probe.exe (run it
# under with-xvfb, in a network namespace of its own: the test is the mascot on the fixed SSTP port):
#  1. Japanese typed into the gallery-name dialog, as the keyboard (WM_CHAR) and as an input method
#     (WM_IME_CHAR) hand it on, among it characters whose Shift_JIS form ends in the byte of "\", is the
#     caption and, in Shift_JIS, the names in "Vorlane.ini"; a typed name the code page lacks is refused;
#  2. a picture whose name the code page lacks (café, 한국) is refused with a message, never added under
#     a look-alike name;
#  3. a path of 410 characters, which exists, is refused with a message by vorlane-gsk.exe add and
#     vorlane-wallpaper.exe set, and nothing is recorded (the window's dialogs are not tried with it:
#     wine's open dialog was seen to crash on a typed path that long; test_commands has the window's
#     commands refuse one);
#  4. the announcement's time-out ends the connection while a menu stays open.
#   WindowInput.sh VORLANE16.EXE PROBE.EXE VORLANE-GSK.EXE VORLANE-WALLPAPER.EXE LINUX-VORLANE-GSK
# WINEPREFIX and a Japanese LANG are set by the caller.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
vorlane="$(realpath "$1")"
probe="$(realpath "$2")"
windows_gsk="$(realpath "$3")"
windows_wallpaper="$(realpath "$4")"
linux_gsk="$(realpath "$5")"
. "$(dirname "$0")/window_probe.sh"
fresh_wine_server
scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorlane-input-XXXXXX")"
windir="$WINEPREFIX/drive_c/windows"
trap 'rm -rf "$scratch"; rm -f "$windir/Vorlane.ini"; wineserver --kill 2>/dev/null || true' EXIT

picture="$root/tests/data/fuzz/fuzz_bmp/info_24_bottom_up.bmp"

program="$scratch/program"
mkdir -p "$program/pics"
cp "$vorlane" "$program/Vorlane16.exe"
for name in café 한국; do cp "$picture" "$program/pics/$name.bmp"; done
# A bitmap whose Windows path is 410 characters long: folders of 100 characters, then the file's name.
long="$program/pics"
while [ $(( ${#long} + 2 + 101 )) -lt 400 ]; do long="$long/$(printf 'd%.0s' $(seq 100))"; done
mkdir -p "$long"
long="$long/$(printf 'p%.0s' $(seq $(( 410 - 2 - ${#long} - 1 - 4 )))).bmp"
cp "$picture" "$long"
long_windows="$(windows_path "$long")"
expect "the long path's length" 410 "${#long_windows}"
too_long="パス名 $long_windows は長すぎます (259 文字まで)."

echo "=== Names typed and chosen in the window ==="
rm -f "$windir/Vorlane.ini"
mapfile -t answers < <(drive "$probe" "$program" \
  post "$cmN1" dialog TGskForm chars 旅旅abc ok caption command "$cmA1" \
  post "$cmR1" dialog TGskForm type "" ime 表ソ能 ok caption \
  post "$cmR1" dialog TGskForm type 한국 ok dialog "#32770" text ok caption \
  post "$cmG1" dialog "#32770" type "$(windows_path "$program/pics/café.bmp")" ok dialog "#32770" text ok \
  post "$cmG1" dialog "#32770" type "$(windows_path "$program/pics/한국.bmp")" ok dialog "#32770" text ok items close)
printf '  %s\n' "${answers[@]}"
not_in_code_page() { echo "\"$(windows_path "$1")\" cannot be expressed in the system code page."; }
expect "answers" "$(IFS='|'; echo "GskForm|Quorvel Vorlane  Ver1.6 旅旅abc|GskForm|Quorvel Vorlane  Ver1.6 表ソ能|GskForm|Vorlane16|\"??\" cannot be expressed in the system code page.|Quorvel Vorlane  Ver1.6 表ソ能|開く|Vorlane16|$(not_in_code_page "$program/pics/caf?.bmp")|開く|Vorlane16|$(not_in_code_page "$program/pics/??.bmp")|0|0")" \
  "$(IFS='|'; echo "${answers[*]}")"
# The names in Shift_JIS: the screen saver's gallery named while it was 旅旅abc, then renamed.
printf '[Initial]\r\nSaver=%s\r\nManager=%s\r\n' "$(windows_path "$program/旅旅abc")" "$(windows_path "$program/表ソ能")" |
  iconv -f UTF-8 -t CP932 >"$scratch/expected.ini"
expect_ini "$scratch/expected.ini"
shown="$("$linux_gsk" show --json "$program/表ソ能.gsk")"
grep -qF '"entries":[]' <<<"$shown" || { echo "a refused picture was added: $shown" >&2; exit 1; }
echo "ok: typed Japanese in the caption and in Vorlane.ini; names outside the code page refused"

echo "=== A path too long for the tools ==="
status=0
(cd "$program" && wine "$windows_gsk" add long.gsk "$long_windows" 2>"$scratch/gsk.err" >/dev/null) || status=$?
expect "vorlane-gsk.exe add's status" 1 "$status"
expect "vorlane-gsk.exe add's message" "vorlane-gsk: $too_long" "$(tr -d '\r' <"$scratch/gsk.err" | iconv -f CP932 -t UTF-8 | sed 's/\.$//;s/$/./')"
[ ! -e "$program/long.gsk" ] || { echo "vorlane-gsk.exe wrote a gallery of the long path" >&2; exit 1; }
wine reg add 'HKCU\Control Panel\Desktop' /v Wallpaper /t REG_SZ /d before.bmp /f >/dev/null
status=0
(cd "$program" && wine "$windows_wallpaper" set "$long_windows" 2>"$scratch/wallpaper.err" >/dev/null) || status=$?
expect "vorlane-wallpaper.exe set's status" 1 "$status"
grep -qF "$too_long" <(tr -d '\r' <"$scratch/wallpaper.err" | iconv -f CP932 -t UTF-8 | sed 's/\.$//;s/$/./') ||
  { echo "vorlane-wallpaper.exe set gave another message:" >&2; cat "$scratch/wallpaper.err" >&2; exit 1; }
expect "registry Wallpaper" before.bmp \
  "$(wine reg query 'HKCU\Control Panel\Desktop' /v Wallpaper | tr -d '\r' | sed -n 's/^ *Wallpaper *REG_SZ *//p')"
echo "ok: vorlane-gsk.exe add and vorlane-wallpaper.exe set refuse the long path; nothing recorded"

echo "=== The announcement's time-out under an open menu ==="
# The mascot takes the request and never answers; the program's first menu is opened inside its wait
# for the reply and left open. Unmended, the connection stood for as long as the menu did.
program="$scratch/menu"
mkdir -p "$program/pics"
cp "$vorlane" "$program/Vorlane16.exe"
cp "$picture" "$program/pics/写真.bmp"
(cd "$program" && wine "$windows_gsk" add 画集.gsk "$(windows_path "$program/pics/写真.bmp")" >/dev/null)
rm -f "$windir/Vorlane.ini"
mapfile -t answers < <(drive "$probe" "$program" select-first unanswered "$cmX1" items close)
printf '  %s\n' "${answers[@]}"
expect "answers" "0|closed, menu open|1|0" "$(IFS='|'; echo "${answers[*]}")"
echo "ok: the connection ended at the time-out while the menu stayed open"
