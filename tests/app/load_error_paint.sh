#!/bin/bash
# While the error box of a gallery that fails to load at start-up is up, the main window behind it is
# drawn, not left black: Vorlane16 starts on the virtual X display DISPLAY names (run under with-xvfb)
# with a damaged default gallery, and the main window's pixels are read from the screen while the box is
# shown.
#   load_error_paint.sh PATH-TO-Vorlane16 PATH-TO-x-close-window
set -euo pipefail
program="$1"
closer="$2"
. "$(dirname "$0")/scratch_program.sh" "$program"
printf 'TPF0\010TVorlane\000\005Broken' >"$work/program/画集.gsk"

env -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR HOME="$work/home" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb \
  "$work/program/Vorlane16" 2>"$work/stderr" &
app_pid=$!
background+=("$app_pid")

window_id() { xwininfo -root -children 2>/dev/null | awk -v t="\"$1\"" 'index($0, t) { print $1; exit }'; }
# The main window's share of black pixels, in percent, as the screen shows it.
black_share() {
  xwd -silent -id "$1" >"$work/main.xwd" 2>/dev/null || { echo 100; return; }
  convert "$work/main.xwd" -fill white +opaque black -fill black -opaque black -format '%[fx:int(100*(1-mean))]' info:
}

deadline=$((SECONDS + 60))
painted=""
while [ "$SECONDS" -lt "$deadline" ]; do
  kill -0 "$app_pid" 2>/dev/null || { echo "Vorlane16 ended early"; cat "$work/stderr"; exit 1; }
  box="$(window_id "Vorlane16")"
  main="$(window_id "Quorvel Vorlane  Ver1.6")"
  if [ -n "$box" ] && [ -n "$main" ]; then
    share="$(black_share "$main")"
    if [ "$share" -lt 50 ]; then painted="$share"; break; fi
  fi
  sleep 0.1
done
[ -n "$box" ] || { echo "no error box appeared"; exit 1; }
[ -n "$painted" ] || { echo "the main window stayed black (${share:-?}% black) while the error box was up"; exit 1; }
"$closer" "Vorlane16" 30 >/dev/null
"$closer" "Quorvel Vorlane  Ver1.6" 30 >/dev/null
wait "$app_pid"
background=()
echo "ok: the main window was drawn ($painted% black) behind the error box"
