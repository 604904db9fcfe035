#!/bin/bash
# Vorlane16.exe at 96 and at 144 DPI (wine's "LogPixels"), on the virtual X display DISPLAY names (run it
# under with-xvfb): a gallery of twenty pictures fills three rows of the list at both. At 96 DPI the
# window's layout is exactly the one of the layout tables (as before the program declared itself aware
# of the DPI); at 144 DPI the window, tool bar, status bar and icon spacing grow by half, the list shows
# no scroll bar, the list's labels on the screen are half as high again, and the gallery keeps the
# window's size in 96-DPI pixels.
#   HighDpi.sh VORLANE16.EXE PROBE.EXE VORLANE-GSK.EXE LINUX-VORLANE-GSK
# WINEPREFIX and a Japanese LANG are set by the caller.
set -euo pipefail
vorlane="$(realpath "$1")"
probe="$(realpath "$2")"
windows_gsk="$(realpath "$3")"
linux_gsk="$(realpath "$4")"
. "$(dirname "$0")/window_probe.sh"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorlane-dpi-XXXXXX")"
windir="$WINEPREFIX/drive_c/windows"
set_dpi() {
  fresh_wine_server # a running server keeps the DPI it started with
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
  fresh_wine_server
}
trap 'set_dpi 96; rm -rf "$scratch"; rm -f "$windir/Vorlane.ini"; wineserver --kill 2>/dev/null || true' EXIT

# The height of the first line of text in a bitmap's area (left, top, width, height): rows with any pixel
# darker than light grey (smoothed glyph edges count) on the list's white.
text_height() {
  /usr/bin/python3 - "$@" <<'PYTHON' # Debian's, with python3-pil
import sys
from PIL import Image
name, left, top, width, height = sys.argv[1], *map(int, sys.argv[2:6])
area = Image.open(name).convert("L").crop((left, top, left + width, top + height))
rows = [y for y in range(area.height) if any(area.getpixel((x, y)) < 192 for x in range(area.width))]
if not rows:
    sys.exit("no text in the list")
end = rows[0]
while end + 1 in rows:
    end += 1
print(end - rows[0] + 1)
PYTHON
}

mkdir -p "$scratch/pics"
convert -size 40x30 xc:white "BMP3:$scratch/pics/white.bmp" # white thumbnails: only the labels are dark
pictures=()
for i in $(seq 1 20); do
  cp "$scratch/pics/white.bmp" "$scratch/pics/写真$i.bmp"
  pictures+=("$(windows_path "$scratch/pics/写真$i.bmp")")
done

declare -A layout heights
for dpi in 96 144; do
  program="$scratch/$dpi"
  mkdir -p "$program"
  cp "$vorlane" "$program/Vorlane16.exe"
  (cd "$program" && wine "$windows_gsk" add 画集.gsk "${pictures[@]}" >/dev/null)
  set_dpi "$dpi"
  rm -f "$windir/Vorlane.ini"
  mapfile -t answers < <(drive "$probe" "$program" layout capture "$(windows_path "$program/shown.bmp")" close)
  echo "  $dpi DPI: ${answers[0]}"
  expect "exit code at $dpi DPI" 0 "${answers[1]}"
  layout[$dpi]="${answers[0]}"
  read -r left top width height < <(sed -E 's/.* list ([0-9]+),([0-9]+) ([0-9]+)x([0-9]+) .*/\1 \2 \3 \4/' <<<"${answers[0]}")
  heights[$dpi]="$(text_height "$program/shown.bmp" "$left" "$top" "$width" "$height")"
  grep -qF '"formLeft":0,"formTop":0,"formWidth":600,"formHeight":400' <<<"$("$linux_gsk" show --json "$program/画集.gsk")" ||
    { echo "the gallery saved at $dpi DPI holds another window size" >&2; exit 1; }
done
expect "layout at 96 DPI" "window 600x400 toolbar 58 status 21 list 6,102 588x271 spacing 75x75 scroll 0,0" "${layout[96]}"
expect "layout at 144 DPI" "window 900x600 toolbar 81 status 31 list 7,144 886x418 spacing 113x113 scroll 0,0" "${layout[144]}"
echo "  the labels' text: ${heights[96]} pixels high at 96 DPI, ${heights[144]} at 144 DPI"
# Half as high again, within a pixel of rounding either way.
(( 2 * heights[144] >= 3 * heights[96] - 3 && 2 * heights[144] <= 3 * heights[96] + 3 )) ||
  { echo "the text did not grow by half: ${heights[96]} -> ${heights[144]}" >&2; exit 1; }
echo "ok: the same layout at 96 DPI; at 144 DPI everything half as large again, no scroll bar"
