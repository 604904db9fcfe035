#!/bin/bash
# The installed program in an unwritable folder finds its default gallery in the per-user data folder.
#   with-xvfb 800x600x24 InstalledProgram.sh BUILD_DIR VORLANE_GSK
# The build is installed into a scratch folder's prefix/, whose bin/ is made read-only. The scratch folder
# is in the temporary folder, since the unprivileged user must reach it (a build folder under /root is
# out of its reach). The default gallery $XDG_DATA_HOME/vorlane/画集.gsk is a second name (hard link) of
# 見本.gsk, the name stored in it, so the window's caption shows 見本.gsk only when the program loaded
# that file. Root ignores permission bits, so as root the program runs as "nobody".
set -euo pipefail
build="$1"
gsk="$2"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorlane-installed-XXXXXX")"

app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  chmod -R u+w "$scratch" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

mkdir -p "$scratch/home/data" "$scratch/home/config" "$scratch/sample"
chmod 755 "$scratch"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
chmod 555 "$scratch/prefix/bin"

# The gallery, made under its own name and linked in as the default gallery.
mkdir -p "$scratch/home/data/vorlane"
"$gsk" add "$scratch/home/data/vorlane/見本.gsk" "$scratch/sample/none.jpg" >/dev/null
ln "$scratch/home/data/vorlane/見本.gsk" "$scratch/home/data/vorlane/画集.gsk"

run_as=()
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null || { echo "running as root without setpriv"; exit 1; }
  chown -R 65534:65534 "$scratch/home"
  run_as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

[ -n "${DISPLAY:-}" ] || { echo "no display: run under with-xvfb"; exit 1; }

env -i DISPLAY="$DISPLAY" HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/data" \
  XDG_CONFIG_HOME="$scratch/home/config" "${run_as[@]}" "$scratch/prefix/bin/Vorlane16" &
app_pid=$!

deadline=$((SECONDS + 60))
until xwininfo -root -children | grep -q '見本\.gsk'; do
  if ! kill -0 "$app_pid" 2>/dev/null; then echo "Vorlane16 ended early"; exit 1; fi
  if [ "$SECONDS" -ge "$deadline" ]; then
    echo "no window shows the gallery 見本.gsk; windows:"
    xwininfo -root -children
    exit 1
  fi
  sleep 0.1
done

if [ -n "$(find "$scratch/prefix/bin" -mindepth 1 ! -name Vorlane16 ! -name vorlane-gsk ! -name vorlane-wallpaper ! -name vorlane-saver)" ]; then
  echo "files appeared in the program folder:"
  ls -la "$scratch/prefix/bin"
  exit 1
fi
echo "The installed Vorlane16 loaded its default gallery from \$XDG_DATA_HOME/vorlane/"
