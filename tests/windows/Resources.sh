#!/bin/bash
# Reads back what a Windows program of Vorlane carries, with icoutils' wrestool and icotool: the icon at
# every size from 16 to 256 pixels, and version information naming the product, the program's own file
# and the project's version.
#   Resources.sh VERSION PROGRAM.EXE...
set -euo pipefail
version="$1"
shift
scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorlane-resources-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
for exe in "$@"; do
  name="$(basename "$exe")"
  wrestool -x --type=group_icon --name=1 --output="$scratch/icon.ico" "$exe" 2>/dev/null ||
    { echo "$name has no icon" >&2; exit 1; }
  [ -s "$scratch/icon.ico" ] || { echo "$name has no icon" >&2; exit 1; }
  sizes="$(icotool --list "$scratch/icon.ico" | sed -n 's/.*--width=\([0-9]*\) --height=\([0-9]*\).*/\1x\2/p' | sort -n | tr '\n' ' ')"
  [ "$sizes" = "16x16 24x24 32x32 48x48 64x64 128x128 256x256 " ] || { echo "$name's icon sizes: $sizes" >&2; exit 1; }
  # The version block's texts are UTF-16; each key is followed by its value.
  wrestool -x --type=version --raw "$exe" >"$scratch/version" 2>/dev/null || true
  texts="$(iconv -f UTF-16LE -t UTF-8 -c <"$scratch/version" | tr -c '[:print:]' '\n' | grep -v '^$' | tr '\n' '|')"
  for pair in "ProductName|Vorlane|" "OriginalFilename|$name|" "FileVersion|$version|" "ProductVersion|$version|"; do
    [[ "$texts" == *"|$pair"* ]] || { echo "$name's version information lacks ${pair%|}: $texts" >&2; exit 1; }
  done
  [[ "$texts" =~ \|FileDescription\|Vorlane[^|]+\| ]] || { echo "$name has no file description: $texts" >&2; exit 1; }
  echo "ok: $name: icon $sizes; ${BASH_REMATCH[0]}"
done
