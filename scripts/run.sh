#!/bin/bash
# Installs what is missing, builds Vorlane and starts it (on a virtual display when there is none).
#
# The program keeps its galleries and "Temp.bmp" in its program folder, the folder of the executable.
# So that they outlive the build folder, the program runs as a copy in program/ beside build/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VORLANE_BUILD:-$root/build}"
folder="$root/program"

"$root/scripts/configure.sh" "$build"
cmake --build "$build" --target Vorlane16

# Replaced by a rename, so that a copy still running from there keeps its own file.
mkdir -p "$folder"
cp "$build/app/Vorlane16" "$folder/.Vorlane16.new"
mv -f "$folder/.Vorlane16.new" "$folder/Vorlane16"

program="$folder/Vorlane16"
echo "Galleries and Temp.bmp are kept in $folder/"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: starting Vorlane on a virtual X display (Xvfb)."
  exec xvfb-run -a -s "-screen 0 1280x800x24 -noreset" "$program"
fi
exec "$program"
