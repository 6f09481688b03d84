#!/usr/bin/env bash
# Renders the program icon from its SVG source to the committed PNG sizes,
# and the window icon's sizes also as raw RGBA pixels, which the program
# reads without an image decoder. Needs rsvg-convert (Debian package
# librsvg2-bin) and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/../src/app/icons"
for size in 16 25 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" velmora.svg -o "velmora-$size.png"
done
for size in 16 25 32; do
  convert "velmora-$size.png" -depth 8 "RGBA:velmora-$size.rgba"
done
