#!/bin/bash
# Another local user holds an exclusive lock on everything of ours that user can open: the shared folder
# the gallery is in, the gallery file, the picture, the home, data and program folders and all in them,
# /tmp. vorlane-gsk add still completes, and the window opens on the gallery and closes as always. The
# other user is made when missing (the tests run as root in CI); without root and without that user the
# test is skipped (status 77), or fails when CI is set.
#   other_user.sh PATH-TO-Vorlane16 PATH-TO-x-close-window PATH-TO-vorlane-gsk
set -euo pipefail
program="$1"
closer="$2"
gsk="$3"
. "$(dirname "$0")/scratch_program.sh" "$program"

other=vorlane-other
if ! id -u "$other" >/dev/null 2>&1; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "no user $other, and no root to make one"
    [ -z "${CI:-}" ] || exit 1
    exit 77
  fi
  useradd --system --no-create-home --shell /usr/sbin/nologin "$other"
fi

chmod 755 "$work"
shared="$work/shared"
mkdir -m 1777 "$shared"
# A 1x1 bitmap, 24 bits per pixel.
printf 'BM\x3a\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0\0\0\0\0\x04\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x10\x80\xf0\0' \
  >"$shared/a.bmp"
run() {
  env -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR -u XDG_DATA_HOME HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
    QT_QPA_PLATFORM=xcb "$@"
}
run "$gsk" add "$shared/g.gsk" "$shared/a.bmp" >/dev/null
printf '[Initial]\nManager=%s\n' "$shared/g" >"$work/config/Vorlane.ini"

# The holder reports how many locks it took, then keeps them until told to let go.
mkfifo -m 666 "$work/ready" "$work/done"
paths=(/tmp "$work")
while IFS= read -r -d '' path; do paths+=("$path"); done < <(find "$work" -mindepth 1 ! -type p -print0)
setpriv --reuid="$other" --regid="$other" --clear-groups -- bash -c '
  held=0
  for path in "${@:3}"; do
    [ -r "$path" ] || continue
    exec {fd}<"$path"
    if flock -xn "$fd"; then held=$((held + 1)); fi
  done
  echo "$held" >"$1"
  read -r _ <"$2"' holder "$work/ready" "$work/done" "${paths[@]}" &
background+=($!)
exec {ready}<>"$work/ready" # opened both ways, so that a holder that never opens it cannot block the open
read -r -t 30 -u "$ready" held || { echo "the other user took no locks"; exit 1; }
# The shared folder, the gallery file, the picture at least.
[ "$held" -ge 3 ] || { echo "the other user holds only $held locks"; exit 1; }

status=0
run timeout 20 "$gsk" add "$shared/g.gsk" "$shared/a.bmp" >"$work/add" 2>&1 || status=$?
[ "$status" -eq 0 ] || { echo "vorlane-gsk add ended with status $status:"; cat "$work/add"; exit 1; }

"$closer" "Quorvel Vorlane  Ver1.6 " 30 >"$work/title" &
closer_pid=$!
status=0
run timeout 30 "$work/program/Vorlane16" 2>"$work/stderr" || status=$?
wait "$closer_pid" || { echo "the window was not found"; cat "$work/stderr"; exit 1; }
[ "$status" -eq 0 ] || { echo "Vorlane16 ended with status $status"; cat "$work/stderr"; exit 1; }
echo >"$work/done"

[ "$(cat "$work/title")" = "Quorvel Vorlane  Ver1.6 g.gsk" ] || { echo "unexpected title: $(cat "$work/title")"; exit 1; }
entries="$(run "$gsk" show "$shared/g.gsk" | grep -c 'a\.bmp' || true)"
[ "$entries" -eq 2 ] || { echo "the gallery holds $entries pictures, not 2"; exit 1; }
echo "ok: $held locks of another user held up nothing"
