#!/bin/bash
# The Linux and the Windows vorlane-gsk write the same gallery for the same pictures, byte for byte apart
# from the names (UTF-8 paths here, Shift_JIS Windows paths there), and each reads the other's. Given
# Vorlane16.exe and the probe that drives it, the window then loads the Windows gallery and saves it on
# closing: still the same bytes.
#   tests/windows/SameGallery.sh LINUX-VORLANE-GSK WINDOWS-VORLANE-GSK.EXE [VORLANE16.EXE PROBE.EXE]
# Runs the Windows programs under wine, with WINEPREFIX and a Japanese LANG already set by the caller,
# the window on the X display DISPLAY names.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
linux_gsk="$(realpath "$1")"
windows_gsk="$(realpath "$2")"
vorlane="${3:+$(realpath "$3")}"
probe="${4:+$(realpath "$4")}"
. "$(dirname "$0")/window_probe.sh"
fresh_wine_server
scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorlane-same-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

# Japanese names; 表 and ソ end in 0x5C in Shift_JIS, the byte of "\".
mkdir -p "$scratch/pics" "$scratch/linux" "$scratch/windows"
cp "$root/tests/data/fuzz/fuzz_bmp/info_24_bottom_up.bmp" "$scratch/pics/写真.bmp"
tail -c +2 "$root/tests/data/fuzz/fuzz_jpeg_thumbnail/progressive-420-40x64" >"$scratch/pics/表ソ.jpg"
pictures=(写真.bmp 表ソ.jpg)

wine_gsk() { (cd "$1" && shift && wine "$windows_gsk" "$@"); }

linux_args=() windows_args=()
for p in "${pictures[@]}"; do
  linux_args+=("$scratch/pics/$p")
  windows_args+=("$(windows_path "$scratch/pics/$p")")
done
(cd "$scratch/linux" && "$linux_gsk" add 画集.gsk "${linux_args[@]}" >/dev/null)
wine_gsk "$scratch/windows" add 画集.gsk "${windows_args[@]}" >/dev/null
[ -f "$scratch/windows/画集.gsk" ] || { echo "the Windows program did not write 画集.gsk" >&2; exit 1; }

# Every name the Linux gallery holds, with the one the Windows gallery holds in its place.
pairs=("$scratch/linux/画集.gsk" "$(windows_path "$scratch/windows/画集.gsk")"
       "$scratch/pics" "$(windows_path "$scratch/pics")")
for i in "${!pictures[@]}"; do
  pairs+=("${linux_args[$i]}" "${windows_args[$i]}")
done
sjis_pairs=()
for ((i = 0; i < ${#pairs[@]}; i += 2)); do
  sjis_pairs+=("${pairs[$i]}" "$(printf '%s' "${pairs[$((i + 1))]}" | iconv -f UTF-8 -t CP932)")
done
# A name is a string value: tag 06, a length byte, the bytes.
perl -e '
  binmode STDIN; binmode STDOUT; local $/; my $bytes = <STDIN>;
  while (@ARGV) {
    my ($from, $to) = splice(@ARGV, 0, 2);
    my $count = ($bytes =~ s/\x06\Q@{[chr(length $from)]}$from\E/"\x06" . chr(length $to) . $to/ge);
    die "name not found once: $from\n" unless $count == 1;
  }
  print $bytes;' "${sjis_pairs[@]}" <"$scratch/linux/画集.gsk" >"$scratch/expected.gsk"
if ! cmp "$scratch/expected.gsk" "$scratch/windows/画集.gsk"; then
  echo "the galleries differ in more than their names" >&2
  exit 1
fi

# Each build reads the other's gallery and draws the same thumbnails.
"$linux_gsk" check "$scratch/windows/画集.gsk" >/dev/null
wine_gsk "$scratch" check "$(windows_path "$scratch/linux/画集.gsk")" >/dev/null
"$linux_gsk" thumbs "$scratch/windows/画集.gsk" "$scratch/linux-of-windows.png" >/dev/null
wine_gsk "$scratch" thumbs "$(windows_path "$scratch/linux/画集.gsk")" windows-of-linux.png >/dev/null
"$linux_gsk" thumbs "$scratch/linux/画集.gsk" "$scratch/linux-of-linux.png" >/dev/null
cmp "$scratch/linux-of-linux.png" "$scratch/linux-of-windows.png"
cmp "$scratch/linux-of-linux.png" "$scratch/windows-of-linux.png"
linux_names="$("$linux_gsk" show --json "$scratch/windows/画集.gsk")"
for p in "${pictures[@]}"; do
  grep -qF "pics\\\\$p\"" <<<"$linux_names" || { echo "the Linux build does not show $p: $linux_names" >&2; exit 1; }
done
echo "Same gallery from both builds apart from the names' encoding; each reads the other's."

[ -n "$vorlane" ] || exit 0
# The window's own gallery, which it loads at start and saves on closing, is the Windows program's.
cp "$vorlane" "$scratch/windows/Vorlane16.exe"
ini="$WINEPREFIX/drive_c/windows/Vorlane.ini"
rm -f "$ini"
touch -d 2000-01-01 "$scratch/windows/画集.gsk" # so that its saving shows
mapfile -t answers < <(drive "$probe" "$scratch/windows" items close)
rm -f "$ini"
wineserver --kill 2>/dev/null || true # wine's desktop process goes before the display does
expect "items in the window" 2 "${answers[0]}"
expect "exit code" 0 "${answers[1]}"
[ "$scratch/windows/画集.gsk" -nt "$scratch/expected.gsk" ] || { echo "Vorlane16.exe did not save the gallery" >&2; exit 1; }
if ! cmp "$scratch/expected.gsk" "$scratch/windows/画集.gsk"; then
  echo "the gallery Vorlane16.exe saved differs from the Linux build's in more than its names" >&2
  exit 1
fi
"$linux_gsk" check "$scratch/windows/画集.gsk" >/dev/null
echo "Vorlane16.exe loads and saves the same gallery."
