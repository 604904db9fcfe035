#!/bin/bash
# Starts the real Vorlane16 on the virtual X display DISPLAY names (run under with-xvfb) with an empty
# program folder and settings folder, waits for its window, checks the title, closes it as a window
# manager would, and checks the gallery file and the settings file it leaves, and that it said nothing
# of a missing XDG_RUNTIME_DIR. Then starts it with a desktop setting it cannot read: the start-up
# error box must appear and, once closed, the program must end with status 1.
#   smoke.sh PATH-TO-Vorlane16 PATH-TO-x-close-window PATH-TO-damage-registry
set -euo pipefail
program="$1"
closer="$2"
damage="$3"
. "$(dirname "$0")/scratch_program.sh" "$program"

prefix="Quorvel Vorlane  Ver1.6 "
"$closer" "$prefix" 60 >"$work/title" &
closer_pid=$!
status=0
env -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR HOME="$work/home" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb \
  timeout 60 "$work/program/Vorlane16" 2>"$work/stderr" || status=$?
wait "$closer_pid" || { echo "the window was not found"; cat "$work/stderr"; exit 1; }
[ "$status" -eq 0 ] || { echo "Vorlane16 ended with status $status"; cat "$work/stderr"; exit 1; }
# A session without XDG_RUNTIME_DIR (a plain login, su, a container) starts quietly.
if grep -q XDG_RUNTIME_DIR "$work/stderr"; then echo "the start was not quiet:"; cat "$work/stderr"; exit 1; fi

title="$(cat "$work/title")"
[ "$title" = "${prefix}画集" ] || { echo "unexpected title: '$title'"; exit 1; }
gallery="$work/program/画集.gsk"
[ -f "$gallery" ] || { echo "no gallery file"; ls -la "$work/program"; exit 1; }
[ "$(head -c 4 "$gallery")" = "TPF0" ] || { echo "the gallery file is not a component stream"; exit 1; }
expected="$(printf '[Initial]\nManager=%s\n' "$work/program/画集")"
[ "$(cat "$work/config/Vorlane.ini")" = "$expected" ] || { echo "unexpected Vorlane.ini:"; cat "$work/config/Vorlane.ini"; exit 1; }
echo "ok: $title"

# An error while the windows are created.
mkdir -p "$work/program2" "$work/config2"
cp "$program" "$work/program2/Vorlane16"
XDG_CONFIG_HOME="$work/config2" "$damage"
"$closer" "アプリケーション エラー" 60 >"$work/title2" &
closer_pid=$!
status=0
env -u WAYLAND_DISPLAY HOME="$work/home" XDG_CONFIG_HOME="$work/config2" QT_QPA_PLATFORM=xcb \
  timeout 60 "$work/program2/Vorlane16" || status=$?
wait "$closer_pid" || { echo "the start-up error box was not found"; exit 1; }
[ "$status" -eq 1 ] || { echo "Vorlane16 ended with status $status after a start-up error"; exit 1; }
[ ! -e "$work/program2/画集.gsk" ] || { echo "a gallery was written although no window was shown"; exit 1; }
echo "ok: start-up error, status 1"
