#!/bin/bash
# The window's place is its frame's, under a real window manager and without one: Vorlane16 runs on the
# virtual X display DISPLAY names (run under with-xvfb), is closed as the window manager closes it, and
# starts again. The first start shows the frame's top-left corner at (0, 0) and the frame 600x400 (as
# `xwininfo` reports the frame); the place stored after each of five sessions is the same, and the
# window is shown there; a place stored above and left of the screen comes back with the frame, title
# bar and all, on the screen.
#   window_place.sh WINDOW-MANAGER|none PATH-TO-Vorlane16 PATH-TO-x-close-window PATH-TO-vorlane-gsk
#                   PATH-TO-store-window-place
set -euo pipefail
manager="$1"
program="$2"
closer="$3"
gsk="$4"
placer="$5"
. "$(dirname "$0")/scratch_program.sh" "$program"

if [ "$manager" != none ]; then
  if ! command -v "$manager" >/dev/null; then
    echo "$manager is not installed (scripts/setup-debian.sh installs it)"
    [ -n "${CI:-}" ] && exit 1
    exit 77
  fi
  # Bounded, so that a test ended from outside leaves no window manager behind.
  HOME="$work/home" timeout 300 "$manager" >"$work/manager.log" 2>&1 &
  background+=($!)
  deadline=$((SECONDS + 30))
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    [ "$SECONDS" -lt "$deadline" ] || { echo "$manager did not start"; cat "$work/manager.log"; exit 1; }
    sleep 0.1
  done
fi

gallery="$work/program/画集.gsk"
# The stored place: "left top width height".
stored() {
  "$gsk" show --json "$gallery" |
    sed -E 's/.*"formLeft":(-?[0-9]+),"formTop":(-?[0-9]+),"formWidth":([0-9]+),"formHeight":([0-9]+).*/\1 \2 \3 \4/'
}

# The window's frame as "left top width height": the outermost window under the root that holds it
# (the window itself without a window manager), border included.
frame_of() {
  local window="$1" parent root
  root="$(xwininfo -root | sed -n 's/^xwininfo: Window id: \(0x[0-9a-f]*\).*/\1/p')"
  while parent="$(xwininfo -tree -id "$window" | sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p')" &&
    [ -n "$parent" ] && [ "$parent" != 0x0 ] && [ "$parent" != "$root" ]; do
    window="$parent"
  done
  xwininfo -id "$window" | awk '
    /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF } /Border width/ { b = $NF }
    END { print x, y, w + 2 * b, h + 2 * b }'
}

# One session: the window's frame must come to `expected` ("left top width height"); then it is closed.
session() {
  local expected="$1" window="" frame="" deadline
  env -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR HOME="$work/home" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb \
    timeout 60 "$work/program/Vorlane16" 2>"$work/stderr" &
  local pid=$!
  deadline=$((SECONDS + 30))
  until [ -n "$window" ] && [ "$frame" = "$expected" ]; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "under $manager the window's frame is '$frame', expected '$expected'"
      kill "$pid" 2>/dev/null || true
      exit 1
    fi
    sleep 0.1
    window="$(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "Quorvel Vorlane  Ver1\.6 .*/\1/p' | head -n 1)"
    [ -z "$window" ] || frame="$(frame_of "$window")"
  done
  "$closer" "Quorvel Vorlane  Ver1.6 " 30 >/dev/null || { echo "the window could not be closed"; exit 1; }
  wait "$pid" || { echo "Vorlane16 failed"; cat "$work/stderr"; exit 1; }
}

for n in 1 2 3 4 5; do
  session "0 0 600 400"
  place="$(stored)"
  echo "session $n: frame and stored place $place"
  [ "$place" = "0 0 600 400" ] || { echo "under $manager session $n stored '$place'"; exit 1; }
done

# Above and left of every monitor: brought back with the whole title bar on the screen.
"$placer" "$gallery" -5000 -5000 600 400
session "0 0 600 400"
echo "ok: under $manager the frame stays at 0 0 600 400, and comes back onto the screen"
