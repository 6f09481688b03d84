#!/usr/bin/env bash
# Renders the program icon from its SVG source to the committed PNG sizes.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../src/app/icons"
for size in 16 25 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" velmora.svg -o "velmora-$size.png"
done
