#!/bin/bash
# The Windows installer under wine, as a user without administrator rights meets it, in two steps around
# the other window tests (run-under-wine.sh):
#   Installer.sh install SETUP.EXE
#     runs the installer silently (/S, with the screen saver chosen: /SCREENSAVER) in WINEPREFIX (a fresh
#     prefix) and checks what it leaves: the programs and the read-me (CR LF) in
#     %LOCALAPPDATA%\Programs\Vorlane, the Start-menu shortcut, the uninstaller registered under the
#     user's "Uninstall" key, the account's screen saver, a manifest that asks for no elevation;
#     prints the shortcut's target (the installed Vorlane16.exe) as a path of this machine.
#   Installer.sh uninstall PROBE.EXE
#     (on a virtual X display) starts Vorlane16.exe from the shortcut's target, which makes the first
#     gallery "画集.gsk" in the program folder and "Vorlane.ini"; makes a gallery elsewhere with the
#     installed vorlane-gsk.exe; runs the uninstaller silently; then no program file, shortcut,
#     "Uninstall" key or screen-saver choice is left, and both galleries and "Vorlane.ini" are.
# WINEPREFIX and a Japanese LANG are set by the caller.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
. "$(dirname "$0")/window_probe.sh"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorlane'

registry_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | iconv -f CP932 -t UTF-8 |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
uninstall_value() { registry_value "$key" "$1"; }
screen_saver() { registry_value 'HKCU\Control Panel\Desktop' SCRNSAVE.EXE; }
shortcut() { find "$WINEPREFIX/drive_c/users" -path '*/Start Menu/Programs/Vorlane.lnk' -print -quit; }
fail() { echo "$*" >&2; exit 1; }

case "$1" in
install)
  setup="$(realpath "$2")"
  wrestool -x --raw --type=24 "$setup" | grep -q 'level="asInvoker"' ||
    fail "the installer asks for more rights than the user's"
  wine "$setup" /S /SCREENSAVER
  wineserver --wait
  link="$(shortcut)"
  [ -n "$link" ] || fail "no Vorlane shortcut on the user's Start menu"
  target="$("$root/tests/windows/ShortcutTarget.py" "$link")"
  local_appdata="$(wine cmd /c echo '%LOCALAPPDATA%' | tr -d '\r' | iconv -f CP932 -t UTF-8)"
  expect "shortcut target" "$local_appdata\\Programs\\Vorlane\\Vorlane16.exe" "$target"
  program="$(realpath "$(winepath -u "$target" 2>/dev/null)")"
  folder="$(dirname "$program")"
  for file in Vorlane16.exe vorlane-gsk.exe vorlane-wallpaper.exe vorlane-saver.scr ReadMe.txt Uninstall.exe; do
    [ -s "$folder/$file" ] || fail "the installer left no $file in $folder"
  done
  readme="$folder/ReadMe.txt"
  [ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ] || fail "ReadMe.txt has lines without CR LF"
  grep -q 'wine' "$readme" && grep -q '画集' "$readme" || fail "ReadMe.txt lacks its Japanese or English part"
  expect "DisplayName" Vorlane "$(uninstall_value DisplayName)"
  expect "UninstallString" "\"${target%\\*}\\Uninstall.exe\"" "$(uninstall_value UninstallString)"
  expect "InstallLocation" "${target%\\*}" "$(uninstall_value InstallLocation)"
  saver="$(screen_saver)"
  [ -n "$saver" ] && [ "$(realpath "$(winepath -u "$saver" 2>/dev/null)")" = "$folder/vorlane-saver.scr" ] ||
    fail "the account's screen saver is \"$saver\", not the installed vorlane-saver.scr"
  echo "$program"
  ;;
uninstall)
  probe="$(realpath "$2")"
  link="$(shortcut)"
  program="$(realpath "$(winepath -u "$("$root/tests/windows/ShortcutTarget.py" "$link")" 2>/dev/null)")"
  folder="$(dirname "$program")"
  windir="$WINEPREFIX/drive_c/windows"
  fresh_wine_server
  mapfile -t answers < <(drive "$probe" "$folder" caption close)
  expect "first start from the Start menu" "Quorvel Vorlane  Ver1.6 画集|0" "$(IFS='|'; echo "${answers[*]}")"
  [ -f "$folder/画集.gsk" ] || fail "the first start made no 画集.gsk in $folder"
  [ -f "$windir/Vorlane.ini" ] || fail "the first start wrote no Vorlane.ini"
  elsewhere="$WINEPREFIX/drive_c/users/Public/旅行.gsk"
  (cd "$folder" && wine "$folder/vorlane-gsk.exe" add "$(windows_path "$elsewhere")" \
     "$(windows_path "$root/tests/data/fuzz/fuzz_bmp/info_24_bottom_up.bmp")" >/dev/null)
  wine "$folder/Uninstall.exe" /S
  wineserver --wait # the uninstaller runs on as a copy of itself
  left="$(cd "$folder" && ls -A)"
  expect "what the uninstaller leaves in the program folder" "画集.gsk" "$left"
  [ -f "$elsewhere" ] || fail "the uninstaller removed a gallery outside the program folder"
  [ -f "$windir/Vorlane.ini" ] || fail "the uninstaller removed Vorlane.ini"
  [ -z "$(shortcut)" ] || fail "the Start-menu shortcut is still there"
  [ -z "$(screen_saver)" ] || fail "the account's screen saver still names $(screen_saver)"
  if wine reg query "$key" >/dev/null 2>&1; then fail "the Uninstall key is still there"; fi
  echo "ok: started from the Start menu; uninstalled, galleries and Vorlane.ini kept"
  ;;
*)
  fail "usage: Installer.sh install SETUP.EXE | uninstall PROBE.EXE"
  ;;
esac
