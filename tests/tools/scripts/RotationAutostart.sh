#!/bin/bash
# The rotation's autostart entry as an XDG autostart runner (openbox's) sees it: off as installed, on
# once the user makes the copy the README shows, off again once that copy is removed.
#   RotationAutostart.sh SOURCE_DIR VORLANE_WALLPAPER
set -euo pipefail
source_dir="$1"
tool="$2"
runner="$(ls /usr/lib/*/openbox-xdg-autostart 2>/dev/null | head -n 1)"
if [ -z "$runner" ] || ! /usr/bin/python3 -c 'import xdg.DesktopEntry' 2>/dev/null; then
  echo "needs openbox and python3-xdg (scripts/setup-debian.sh)" >&2
  if [ -n "${CI:-}" ]; then exit 1; fi
  exit 77
fi
scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorlane-autostart-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/etc/xdg/autostart" "$scratch/config" "$scratch/bin"
cp "$source_dir/packaging/vorlane-wallpaper-rotate.desktop" "$scratch/etc/xdg/autostart/"
ln -s "$tool" "$scratch/bin/vorlane-wallpaper" # its TryExec
export XDG_CONFIG_DIRS="$scratch/etc/xdg" XDG_CONFIG_HOME="$scratch/config" PATH="$scratch/bin:$PATH"

# "*" when the runner starts the entry at login, " " when it leaves it out; and what it runs.
state() { "$runner" --list | sed -n 's/^\[\(.\)\] Vorlane wallpaper rotation$/\1/p'; }
fail() { echo "not so: $*" >&2; "$runner" --list >&2; exit 1; }

[ "$(state)" = " " ] || fail "the entry as installed is off"

# Turned on as the README says, with this test's folders for /etc/xdg and ~/.config.
mkdir -p "$XDG_CONFIG_HOME/autostart"
sed 's/^Hidden=true$/Hidden=false/' "$XDG_CONFIG_DIRS/autostart/vorlane-wallpaper-rotate.desktop" \
    > "$XDG_CONFIG_HOME/autostart/vorlane-wallpaper-rotate.desktop"
[ "$(state)" = "*" ] || fail "the user's copy turns it on"
"$runner" --list | grep -qx $'\t  Executes: vorlane-wallpaper rotate --every 30m' || fail "it runs the rotation"

# Turned off again.
rm "$XDG_CONFIG_HOME/autostart/vorlane-wallpaper-rotate.desktop"
[ "$(state)" = " " ] || fail "removing the copy turns it off"
echo "the rotation's autostart entry turns on and off as documented"
