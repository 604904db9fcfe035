#!/bin/bash
# Installs what is missing, builds Vorlane and starts it (on a virtual display when there is none).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VORLANE_BUILD:-$root/build}"

"$root/scripts/setup-debian.sh"
cmake -S "$root" -B "$build" -G Ninja
cmake --build "$build" --target Vorlane16

program="$build/app/Vorlane16"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: starting Vorlane on a virtual X display (Xvfb)."
  exec xvfb-run -a -s "-screen 0 1280x800x24 -noreset" "$program"
fi
exec "$program"
