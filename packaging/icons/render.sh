#!/usr/bin/env bash
# Draws the program's PNG icons from quillory.svg, after a change to it:
# the window icon and the menu's icons at 16, 32, 48 and 256 pixels. Needs
# rsvg-convert (Debian's librsvg2-bin, installed by scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 32 48 256; do
    rsvg-convert --width "$size" --height "$size" quillory.svg --output "quillory-$size.png"
done
