#!/bin/bash
# The window keeps its place under a real window manager: Vorlane16 runs on the virtual X display
# DISPLAY names (run under with-xvfb) with openbox, is closed as the window manager closes it, and starts
# again four times. The place stored in the gallery after each session is the same as after the first,
# and the window is shown there.
#   window_place.sh PATH-TO-Vorlane16 PATH-TO-x-close-window PATH-TO-vorlane-gsk
set -euo pipefail
program="$1"
closer="$2"
gsk="$3"
. "$(dirname "$0")/scratch_program.sh" "$program"

HOME="$work/home" openbox --sm-disable >"$work/openbox.log" 2>&1 &
background+=($!)
deadline=$((SECONDS + 30))
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
  [ "$SECONDS" -lt "$deadline" ] || { echo "openbox did not start"; cat "$work/openbox.log"; exit 1; }
  sleep 0.1
done

# The stored place: "left top width height".
stored() {
  "$gsk" show --json "$work/program/画集.gsk" |
    sed -E 's/.*"formLeft":(-?[0-9]+),"formTop":(-?[0-9]+),"formWidth":([0-9]+),"formHeight":([0-9]+).*/\1 \2 \3 \4/'
}

first=""
for session in 1 2 3 4 5; do
  "$closer" "Quorvel Vorlane  Ver1.6 " 60 >/dev/null &
  closer_pid=$!
  env -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR HOME="$work/home" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb \
    timeout 60 "$work/program/Vorlane16" 2>"$work/stderr" || { echo "session $session failed"; cat "$work/stderr"; exit 1; }
  wait "$closer_pid" || { echo "the window of session $session was not found"; exit 1; }
  place="$(stored)"
  echo "session $session: $place"
  if [ -z "$first" ]; then
    first="$place"
  elif [ "$place" != "$first" ]; then
    echo "the window moved: first stored at '$first', after session $session at '$place'"
    exit 1
  fi
done
read -r left top _ _ <<<"$first"
if [ "$top" -lt 0 ] || [ "$left" -lt 0 ]; then
  echo "the window was stored off the screen: $first"
  exit 1
fi
echo "ok: the window stays at $first"
