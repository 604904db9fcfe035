#!/bin/bash
# vorlane-saver.scr under wine, on the virtual X display DISPLAY names (run it under with-xvfb), where the
# system's screen-saver settings look for it (the system folder), run as the system runs screen savers:
#  1. /s shows the "Saver" gallery's pictures in turn on the whole screen (the X root's pixels), fitted
#     as the recorded placement says; a trembling mouse leaves it running, a moved one ends it;
#  2. /s with a centred picture larger than the screen shows the picture's middle; a key ends it;
#  3. /p HWND makes its preview a child of a window of the probe's, filling it, and ends with that
#     window (wine shows no pixels of a child of another process's window);
#  4. /c:HWND opens the settings dialog owned by that window, which stores how long each picture shows
#     and the random order in "Vorlane.ini"; with no argument the dialog opens too, and Cancel stores
#     nothing.
#   Saver.sh VORLANE-SAVER.SCR PROBE.EXE VORLANE-GSK.EXE
# WINEPREFIX and a Japanese LANG are set by the caller.
set -euo pipefail
saver="$(realpath "$1")"
probe="$(realpath "$2")"
windows_gsk="$(realpath "$3")"
. "$(dirname "$0")/window_probe.sh"
fresh_wine_server
scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorlane-saver-XXXXXX")"
windir="$WINEPREFIX/drive_c/windows"
scr="$windir/system32/vorlane-saver.scr"
trap 'rm -rf "$scratch"; rm -f "$windir/Vorlane.ini" "$scr"; wineserver --kill 2>/dev/null || true' EXIT
cp "$saver" "$scr"

# Pictures of known colours; names and the gallery's name with Shift_JIS second bytes 0x5C (表, ソ).
pics="$scratch/写真"
mkdir -p "$pics"
convert -size 32x24 xc:red xc:lime +append \( -size 32x24 xc:blue xc:white +append \) -append BMP3:"$pics/四色ソ.bmp"
convert -size 40x30 xc:yellow -quality 95 "$pics/黄.jpg"
convert -size 1024x768 xc:red xc:lime +append \( -size 1024x768 xc:blue xc:white +append \) -append \
  BMP3:"$pics/大きい.bmp"
(cd "$scratch" && wine "$windows_gsk" add 表示.gsk "$(windows_path "$pics/四色ソ.bmp")" "$(windows_path "$pics/黄.jpg")" \
  >/dev/null && wine "$windows_gsk" add 大表.gsk "$(windows_path "$pics/大きい.bmp")" >/dev/null)

# The settings file names the gallery; the placement is the desktop's record.
settings() { # GALLERY DELAY
  printf '[Initial]\r\nSaver=%s\r\n[ScreenSaver]\r\nDelay=%s\r\n' "$(windows_path "$scratch/$1")" "$2" |
    iconv -f UTF-8 -t CP932 >"$windir/Vorlane.ini"
}
placement() { # WALLPAPERSTYLE
  wine reg add 'HKCU\Control Panel\Desktop' /v Wallpaper /t REG_SZ /d '' /f >/dev/null
  wine reg add 'HKCU\Control Panel\Desktop' /v TileWallPaper /t REG_SZ /d 0 /f >/dev/null
  wine reg add 'HKCU\Control Panel\Desktop' /v WallpaperStyle /t REG_SZ /d "$1" /f >/dev/null
}
# The colour of one pixel of a picture file: "#RRGGBB".
pixel() { # FILE X Y
  convert "$1" -format "%[hex:p{$2,$3}]" info: | sed 's/^/#/; s/^\(#......\).*/\1/'
}
# Whether the screen shows the four colours at the quarters' middles (or yellow everywhere).
screen_shows() { # four|yellow
  xwd -root -silent >"$scratch/screen.xwd"
  convert "$scratch/screen.xwd" "$scratch/screen.png"
  local found
  found="$(pixel "$scratch/screen.png" 256 192) $(pixel "$scratch/screen.png" 768 192) $(pixel "$scratch/screen.png" 256 576) $(pixel "$scratch/screen.png" 768 576)"
  case "$1" in
    four) [ "$found" = "#FF0000 #00FF00 #0000FF #FFFFFF" ] ;;
    yellow) [[ "$found" =~ ^(#F[C-F]F[C-F]0[0-3] ?){4}$ ]] ;;
  esac
}
wait_for_screen() { # four|yellow
  local start=$SECONDS
  until screen_shows "$1"; do
    if ((SECONDS - start > 60)); then
      echo "the screen does not show the $1 picture: $found" >&2
      exit 1
    fi
  done
}

# Starts "/s" in the background as $running, from the system folder as the system does.
start_full_screen() { # GALLERY DELAY WALLPAPERSTYLE
  settings "$1" "$2"
  placement "$3"
  (cd "$windir/system32" && exec wine "$scr" /s) &
  running=$!
}

echo "=== /s: the gallery's pictures in turn, fitted ==="
start_full_screen 表示 3 6
wait_for_screen four
wait_for_screen yellow
wait_for_screen four
mapfile -t answers < <(wine "$probe" saver-end | tr -d '\r')
printf '  %s\n' "${answers[@]}"
expect "a trembling hand, then a moved mouse" "running|0" "$(IFS='|'; echo "${answers[*]}")"
wait "$running"
echo "ok: both pictures in turn on the screen, fitted; ended by the mouse"

echo "=== /s: a centred picture larger than the screen ==="
start_full_screen 大表 10 0
wait_for_screen four
# Its middle is the screen's: the quarters meet there.
for at in "511 383 #FF0000" "512 383 #00FF00" "511 384 #0000FF" "512 384 #FFFFFF"; do
  read -r x y colour <<<"$at"
  expect "the pixel at $x,$y" "$colour" "$(pixel "$scratch/screen.png" "$x" "$y")"
done
mapfile -t answers < <(wine "$probe" saver-end key | tr -d '\r')
expect "a trembling hand, then a key" "running|0" "$(IFS='|'; echo "${answers[*]}")"
wait "$running"
echo "ok: the picture's middle in the screen's; ended by a key"

echo "=== /p HWND: the preview ==="
# wine draws nothing of a window whose top-level window belongs to another process, so the preview's
# pixels (drawn as /s draws, the screen in small) cannot be looked at here: it is the window the system
# asks for, of the preview area's size, living as long as that area.
settings 表示 3
placement 6
mapfile -t answers < <(wine "$probe" saver-preview "$(windows_path "$scr")" | tr -d '\r')
printf '  %s\n' "${answers[@]}"
expect "preview" "152x112 shown by the screen saver|0" "$(IFS='|'; echo "${answers[*]}")"
echo "ok: the preview is a window in the probe's, ending with it"

echo "=== /c: the settings ==="
mapfile -t answers < <(wine "$probe" saver-settings "$(windows_path "$scr")" owned 2.5 | tr -d '\r' | iconv -f CP932 -t UTF-8)
printf '  %s\n' "${answers[@]}"
expect "settings dialog" "Vorlane スクリーンセーバーの設定|表示する画集: 表示|(画集は Vorlane16 の「ｽｸﾘｰﾝｾｰﾊﾞ」メニューで選びます)|owned by the probe|0" \
  "$(IFS='|'; echo "${answers[*]}")"
printf '[Initial]\r\nSaver=%s\r\n[ScreenSaver]\r\nDelay=2.5\r\nRandom=1\r\n' "$(windows_path "$scratch/表示")" |
  iconv -f UTF-8 -t CP932 >"$scratch/expected.ini"
expect_ini "$scratch/expected.ini"
cp "$windir/Vorlane.ini" "$scratch/before.ini"
mapfile -t answers < <(wine "$probe" saver-settings "$(windows_path "$scr")" none cancel | tr -d '\r' | iconv -f CP932 -t UTF-8)
printf '  %s\n' "${answers[@]}"
expect "cancelled settings" "Vorlane スクリーンセーバーの設定|not owned by the probe|0" "$(IFS='|'; echo "${answers[0]}|${answers[3]}|${answers[4]}")"
cmp "$scratch/before.ini" "$windir/Vorlane.ini" || { echo "Cancel changed Vorlane.ini" >&2; exit 1; }
echo "ok: the settings dialog, owned as asked, stores what was confirmed only"
