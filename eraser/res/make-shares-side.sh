#!/usr/bin/env bash
# Draws the side picture of the shares dialog, bitmap 206, 64 x 180, 24-bit: a shared folder on a
# network line over a blue band. Needs ImageMagick 6 (convert). Writes beside this script.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
folder="fill #f2c94c stroke #8a6d1d stroke-width 2
  polygon 12,62 26,62 30,68 52,68 52,98 12,98
  fill #f7dc7a polygon 12,74 52,74 52,98 12,98"
network="fill none stroke #ffffff stroke-width 3 line 32,98 32,124 line 12,124 52,124
  fill #ffffff stroke none circle 12,124 12,129 circle 52,124 52,129 circle 32,124 32,128"
convert -size 64x180 gradient:'#1f4e8c'-'#7fa7d9' -draw "$folder" -draw "$network" \
  -type TrueColor BMP3:"$here/SharesSide.bmp"
