#!/bin/bash
# The announcement from the Windows build, end to end: vorlane-wallpaper.exe under wine sets a picture
# with a Japanese name as the wallpaper, and a mascot stand-in listening on 127.0.0.1:9801 must receive
# exactly the request the mascot expects: Shift_JIS, CR LF line ends, the extra CR LF after the empty
# line. wine's sockets are this machine's, so the port is taken in a network namespace of its own; the
# wine server makes the sockets of its programs, so it runs in that namespace too.
#   tests/windows/Announcement.sh path/to/vorlane-wallpaper.exe
# Runs with the caller's WINEPREFIX and a Japanese locale (code page 932).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "$1")"
work="$(mktemp -d "${TMPDIR:-/tmp}/vorlane-announcement-XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"

# A 2×2 picture of 24 bits: the header, then two rows of two blue-green-red pixels and two bytes of
# padding each.
picture="海の写真.bmp"
printf 'BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x10\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0' > "$picture"
printf '\xff\0\0\0\xff\0\0\0\0\0\xff\xff\xff\xff\0\0' >> "$picture"

printf 'SEND SSTP/1.0\r\nSender: Vorlane\r\nCharSet: Shift_JIS\r\nScript: 壁紙を%sに設定しました\r\nOption: nodescript\r\n\r\n\r\n' \
  "$picture" | iconv -f UTF-8 -t CP932 > expected

wineserver --wait # the prefix's server of the steps before, outside the namespace, is gone
namespace=(unshare --net)
if [ "$(id -u)" -ne 0 ]; then namespace=(unshare --user --map-root-user --net); fi
"${namespace[@]}" bash -c '
  set -euo pipefail
  ip link set lo up
  mkfifo ready
  perl "$1" received 60 > ready &
  mascot=$!
  read -r -t 30 line < ready
  [ "$line" = ready ]
  status=0
  wine "$2" set "$3" || status=$?
  wineserver --kill || true
  wait "$mascot"
  exit "$status"
' announcement "$here/Mascot.pl" "$program" "$picture"

if ! cmp -s expected received; then
  echo "the mascot received other bytes than the announcement:" >&2
  diff <(od -c expected) <(od -c received) >&2 || true
  exit 1
fi
echo "the mascot received the announcement, $(wc -c < received) bytes as expected"
