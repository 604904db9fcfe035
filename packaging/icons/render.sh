#!/bin/bash
# Renders the icon's PNG sizes from vorlane.svg (the PNGs are committed; run this after changing the SVG).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  convert -background none -density 96 vorlane.svg -resize "${size}x${size}" "PNG32:vorlane-$size.png"
done
