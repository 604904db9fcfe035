#!/bin/bash
# Takes the README's screenshot, docs/screenshot.png: the real Vorlane16 on a virtual X display (Xvfb),
# showing a prepared gallery of five pictures.
#   scripts/screenshot.sh [build-folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="$root/docs/screenshot.png"

if [ ! -f "$build/CMakeCache.txt" ]; then
  "$root/scripts/configure.sh" "$build"
fi
cmake --build "$build" --target Vorlane16 vorlane-gsk

work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A copy of the program in a folder of its own: that folder is its program folder, where it finds its
# default gallery 画集.gsk. Settings go to a scratch configuration folder, not the user's.
mkdir -p "$work/program" "$work/pictures" "$work/config" "$work/data"
cp "$build/app/Vorlane16" "$work/program/"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" HOME="$work"

# Five pictures drawn here, so the screenshot needs nothing from outside.
cd "$work/pictures"
convert -size 320x240 gradient:'#ff8a3d'-'#3b1c5a' -fill '#ffd27a' -draw 'circle 160,170 160,130' 夕焼け.jpg
convert -size 320x240 gradient:'#8fd3ff'-'#0b4f8a' -fill '#ffffff' -draw 'rectangle 0,180 320,186' 海.jpg
convert -size 320x240 xc:'#d8f0d0' -fill '#2f7a3a' -draw 'polygon 20,230 90,60 160,230' \
  -draw 'polygon 140,230 210,40 290,230' BMP3:森.bmp
convert -size 320x240 gradient:'#eaf4ff'-'#a9c4e0' -fill '#6d7f94' -draw 'polygon 0,240 120,70 200,170 250,110 320,240' \
  -fill white -draw 'polygon 120,70 95,110 145,110' 雪山.jpg
convert -size 320x240 xc:'#fff6e8' -fill '#e0457b' -draw 'circle 160,110 160,60' -fill '#ffd23f' \
  -draw 'circle 160,110 160,90' -fill '#3a8f3a' -draw 'rectangle 156,160 164,240' 花.jpg
"$build/tools/vorlane-gsk" add "$work/program/画集.gsk" 夕焼け.jpg 海.jpg 森.bmp 雪山.jpg 花.jpg >/dev/null

# A display of its own; -noreset keeps it as it is between clients.
display_number=99
while [ -e "/tmp/.X11-unix/X$display_number" ] || [ -e "/tmp/.X$display_number-lock" ]; do
  display_number=$((display_number + 1))
done
export DISPLAY=":$display_number"
Xvfb "$DISPLAY" -screen 0 800x560x24 -noreset -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
deadline=$((SECONDS + 20))
until xdpyinfo >/dev/null 2>&1; do
  [ "$SECONDS" -lt "$deadline" ] || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.2
done

"$work/program/Vorlane16" &
app_pid=$!

# The first top-level window of at least 300x200 pixels: the main window (Qt's helper windows are tiny).
main_window() {
  xwininfo -root -children | grep -E '^ +0x[0-9a-f]+ ' | while read -r id rest; do
    size="$(grep -oE ' [0-9]+x[0-9]+\+' <<<"$rest" | tail -1 | tr -d ' +')"
    if [ -n "$size" ] && [ "${size%x*}" -ge 300 ] && [ "${size#*x}" -ge 200 ]; then
      echo "$id"
      break
    fi
  done
}

# Wait until the main window is mapped and has drawn its items, then grab it.
window=""
deadline=$((SECONDS + 30))
while [ -z "$window" ]; do
  kill -0 "$app_pid" 2>/dev/null || { echo "Vorlane16 ended before showing its window" >&2; exit 1; }
  [ "$SECONDS" -lt "$deadline" ] || { echo "Vorlane16 showed no window" >&2; exit 1; }
  sleep 0.5
  window="$(main_window)"
  if [ -n "$window" ] && ! xwininfo -id "$window" | grep -q "IsViewable"; then
    window=""
  fi
done
sleep 1 # the list view paints its icons after the window is mapped
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "Wrote $out ($(identify -format '%wx%h' "$out"))"
