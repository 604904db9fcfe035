#!/bin/bash
# Vorlane16.exe under wine, on the virtual X display DISPLAY names (run it under with-xvfb), driven from
# outside by vorlane-window-probe.exe as a user would:
#  1. first start in an empty program folder: the caption ends in "画集"; closing writes "画集.gsk" into
#     the program folder and "Vorlane.ini" (section "Initial", key "Manager") into the Windows directory;
#  2. a gallery of a bitmap and a JPEG picture: the window's wallpaper command makes each the desktop
#     wallpaper (the registry's "Control Panel\Desktop" values and the desktop call's answer), the JPEG
#     through "Temp.bmp" in the program folder, and announces it to a mascot on 127.0.0.1:9801 (run it
#     in a network namespace of its own: the port is fixed); a picture gone since gives the error box;
#  3. the dialogs: the picture dialog opens in the gallery's folder, its panel gives the size of the
#     selected picture and opens the preview window (Escape closes it), and the chosen files are added; the gallery-name dialog starts a new gallery and
#     the gallery dialog loads the first one again; dragging an item onto another shows the insertion
#     mark before it while over it and reorders the gallery on the drop, which leaves no mark; the
#     gallery is renamed and named for the screen saver;
#     the list shows the thumbnails on the screen;
#  4. a desktop setting of the wrong type: the start-up error box, then the exit code 1 and no gallery.
#   MainWindow.sh VORLANE16.EXE PROBE.EXE VORLANE-GSK.EXE LINUX-VORLANE-GSK
# WINEPREFIX and a Japanese LANG are set by the caller.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
vorlane="$(realpath "$1")"
probe="$(realpath "$2")"
windows_gsk="$(realpath "$3")"
linux_gsk="$(realpath "$4")"
. "$(dirname "$0")/window_probe.sh"
fresh_wine_server
scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorlane-window-XXXXXX")"
windir="$WINEPREFIX/drive_c/windows"
# wine's desktop process goes before the display does.
trap 'rm -rf "$scratch"; rm -f "$windir/Vorlane.ini"; wineserver --kill 2>/dev/null || true' EXIT

# The picture panel's preview button (app/win32/PicturePreview.cpp).
PreviewButton=$((0x4C01))

reg_value() { # the data of one value of HKCU\Control Panel\Desktop
  wine reg query 'HKCU\Control Panel\Desktop' /v "$1" | tr -d '\r' | iconv -f CP932 -t UTF-8 |
    sed -n "s/^ *$1 *REG_SZ *//p"
}

echo "=== First start ==="
program="$scratch/program"
mkdir -p "$program"
cp "$vorlane" "$program/Vorlane16.exe"
rm -f "$windir/Vorlane.ini"
mapfile -t answers < <(drive "$probe" "$program" caption items close)
printf '  %s\n' "${answers[@]}"
expect "caption" "Quorvel Vorlane  Ver1.6 画集" "${answers[0]}"
expect "items" 0 "${answers[1]}"
expect "exit code" 0 "${answers[2]}"
[ -f "$program/画集.gsk" ] || { echo "no 画集.gsk in the program folder" >&2; ls -la "$program" >&2; exit 1; }
"$linux_gsk" check "$program/画集.gsk" >/dev/null
shown="$("$linux_gsk" show --json "$program/画集.gsk")"
for field in '"formLeft":0,"formTop":0,"formWidth":600,"formHeight":400' '"entries":[]' \
    "\"managerName\":\"$(windows_path "$program/画集" | sed 's/\\/\\\\/g')\""; do
  grep -qF "$field" <<<"$shown" || { echo "the gallery lacks $field: $shown" >&2; exit 1; }
done
[ -f "$windir/Vorlane.ini" ] || { echo "no Vorlane.ini in the Windows directory" >&2; exit 1; }
printf '[Initial]\r\nManager=%s\r\n' "$(windows_path "$program/画集")" | iconv -f UTF-8 -t CP932 >"$scratch/expected.ini"
expect_ini "$scratch/expected.ini"
echo "ok: caption, 画集.gsk and Vorlane.ini"

echo "=== The wallpaper command ==="
program="$scratch/wallpaper"
mkdir -p "$program/pics"
cp "$vorlane" "$program/Vorlane16.exe"
cp "$root/tests/data/fuzz/fuzz_bmp/info_24_bottom_up.bmp" "$program/pics/写真.bmp"
tail -c +2 "$root/tests/data/fuzz/fuzz_jpeg_thumbnail/progressive-420-40x64" >"$program/pics/表ソ.jpg"
(cd "$program" && wine "$windows_gsk" add 画集.gsk "$(windows_path "$program/pics/写真.bmp")" \
   "$(windows_path "$program/pics/表ソ.jpg")" >/dev/null)
rm -f "$windir/Vorlane.ini"
# The prefix's desktop is shared with earlier runs: start centred.
wine reg add 'HKCU\Control Panel\Desktop' /v TileWallPaper /t REG_SZ /d 0 /f >/dev/null
# Each probe is a process of its own: wine keeps a process's first reading of the desktop's settings.
mapfile -t answers < <(drive "$probe" "$program" items select-first announced "$cmX1" wallpaper close)
printf '  %s\n' "${answers[@]}"
expect "items" 2 "${answers[0]}"
expect "selected" 0 "${answers[1]}"
expect "announcement" "SEND SSTP/1.0|Sender: Vorlane|CharSet: Shift_JIS|Script: 壁紙を写真.bmpに設定しました|Option: nodescript|." \
  "$(IFS='|'; echo "${answers[*]:2:6}")"
expect "the bitmap's wallpaper" "$(windows_path "$program/pics/写真.bmp")" "${answers[8]}"
expect "exit code" 0 "${answers[9]}"
expect "registry Wallpaper" "$(windows_path "$program/pics/写真.bmp")" "$(reg_value Wallpaper)"
expect "registry TileWallPaper" 0 "$(reg_value TileWallPaper)"

mapfile -t answers < <(drive "$probe" "$program" command "$cmTileV" select-last announced "$cmX1" wallpaper close)
printf '  %s\n' "${answers[@]}"
expect "selected" 1 "${answers[0]}"
expect "announcement" "Script: 壁紙を表ソ.jpgに設定しました" "${answers[4]}"
expect "the JPEG's wallpaper" "$(windows_path "$program/Temp.bmp")" "${answers[7]}"
expect "exit code" 0 "${answers[8]}"
expect "registry Wallpaper" "$(windows_path "$program/Temp.bmp")" "$(reg_value Wallpaper)"
expect "registry TileWallPaper" 1 "$(reg_value TileWallPaper)"
[ "$(head -c 2 "$program/Temp.bmp")" = BM ] || { echo "Temp.bmp is not a bitmap file" >&2; exit 1; }

# A picture gone since it was added: the command ends with the error box, and the window goes on.
mv "$program/pics/写真.bmp" "$scratch/写真.bmp"
mapfile -t answers < <(drive "$probe" "$program" select-first post "$cmX1" dialog "#32770" text ok items close)
mv "$scratch/写真.bmp" "$program/pics/写真.bmp"
printf '  %s\n' "${answers[@]}"
expect "error box" "0|Vorlane16|ファイル $(windows_path "$program/pics/写真.bmp") は開けません.|2|0" "$(IFS='|'; echo "${answers[*]}")"
echo "ok: wallpaper set and announced from a bitmap and from a JPEG, then tiled; a missing picture's error box"

echo "=== The dialogs ==="
program="$scratch/dialogs"
mkdir -p "$program"
cp -r "$scratch/wallpaper/pics" "$program/"
cp "$vorlane" "$program/Vorlane16.exe"
# A gallery of one picture, whose folder the picture dialog opens in.
(cd "$program" && wine "$windows_gsk" add 画集.gsk "$(windows_path "$program/pics/写真.bmp")" >/dev/null)
rm -f "$windir/Vorlane.ini"
mapfile -t answers < <(drive "$probe" "$program" capture "$(windows_path "$scratch/shown.bmp")" \
  post "$cmG1" dialog "#32770" select-file press "$PreviewButton" dialog TPreviewForm escape \
  dialog "#32770" type '"表ソ.jpg" "写真.bmp"' ok items \
  post "$cmN1" dialog TGskForm type 新しい ok caption items \
  post "$cmL1" dialog "#32770" type 画集.gsk ok caption items \
  drag-marked 1 0 "$(windows_path "$scratch/dragging.bmp")" capture "$(windows_path "$scratch/dropped.bmp")" \
  post "$cmR1" dialog TGskForm type 改名 ok caption command "$cmA1" close)
printf '  %s\n' "${answers[@]}"
mark="${answers[11]}"
answers=("${answers[@]:0:11}" "${answers[@]:12}")
expect "answers" "開く| (7x4)|プレビュー|開く|3|GskForm|Quorvel Vorlane  Ver1.6 新しい|0|開く|Quorvel Vorlane  Ver1.6 画集.gsk|3|none|GskForm|Quorvel Vorlane  Ver1.6 改名|0" \
  "$(IFS='|'; echo "${answers[*]}")"
# While over item 0 the drag shows where the item goes, before item 0: a bar of the window-text colour
# (black), gone after the drop.
[[ "$mark" =~ ^before\ 0\ ([0-9]+x[0-9]+\+[0-9]+\+[0-9]+)$ ]] || { echo "no insertion mark before item 0: $mark" >&2; exit 1; }
for shot in dragging dropped; do
  convert "$scratch/$shot.bmp" -crop "${BASH_REMATCH[1]}" +repage -unique-colors -depth 8 txt:- | tail -n +2 |
    awk '{ print $3 }' | paste -sd' ' >"$scratch/$shot.colours"
done
expect "the mark's pixels while dragging" "#000000" "$(cat "$scratch/dragging.colours")"
[ "$(cat "$scratch/dropped.colours")" != "#000000" ] || { echo "the insertion mark stayed after the drop" >&2; exit 1; }
# Renamed, the gallery is saved under its new name on closing, and named for the screen saver.
printf '[Initial]\r\nSaver=%s\r\nManager=%s\r\n' "$(windows_path "$program/改名")" "$(windows_path "$program/改名")" |
  iconv -f UTF-8 -t CP932 >"$scratch/expected.ini"
expect_ini "$scratch/expected.ini"
shown="$("$linux_gsk" show --json "$program/改名.gsk")"
expect "entries" "\"entries\":[$(for p in 表ソ.jpg 写真.bmp 写真.bmp; do
  printf '"%s",' "$(windows_path "$program/pics/$p" | sed 's/\\/\\\\/g')"; done | sed 's/,$//')]" \
  "$(grep -o '"entries":.*]' <<<"$shown")"
[ -f "$program/新しい.gsk" ] || { echo "no 新しい.gsk" >&2; exit 1; }
# The bitmap's thumbnail (image 2 after the drag), as the gallery holds it, was on the screen in the list.
"$linux_gsk" thumbs "$program/改名.gsk" "$scratch/thumbs.png" >/dev/null
convert "$scratch/thumbs.png" -crop 32x32+64+0 +repage "$scratch/thumb.png"
convert "$scratch/shown.bmp" -crop 200x120+0+60 +repage "$scratch/list.png"
found="$(compare -metric AE -subimage-search "$scratch/list.png" "$scratch/thumb.png" null: 2>&1 || true)"
[ "${found%% *}" = 0 ] || { echo "the thumbnail is not on the screen: $found" >&2; exit 1; }
echo "ok: picture dialog with its panel, gallery-name dialog (new, rename), gallery dialog, reordering by dragging, the screen saver's gallery; thumbnails shown"

echo "=== An error while the window is created ==="
program="$scratch/startup"
mkdir -p "$program"
cp "$vorlane" "$program/Vorlane16.exe"
wine reg add 'HKCU\Control Panel\Desktop' /v Wallpaper /t REG_DWORD /d 1 /f >/dev/null
mapfile -t answers < <(cd "$program" && wine "$probe" "$(windows_path "$program/Vorlane16.exe")" startup-error |
  tr -d '\r' | iconv -f CP932 -t UTF-8)
printf '  %s\n' "${answers[@]}"
expect "error box" "アプリケーション エラー|例外 ERegistryException: 'Wallpaper' のデータ型が不正です.|1" \
  "$(IFS='|'; echo "${answers[*]}")"
[ ! -e "$program/画集.gsk" ] || { echo "a gallery was written although no window was shown" >&2; exit 1; }
echo "ok: start-up error box, exit code 1"
