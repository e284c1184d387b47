#!/usr/bin/env bash
# Draws the side picture of the shares dialog, bitmap 206, 64 x 300 (the dialog shows the top 260 or so), 24-bit: a shared folder on a
# network line over a blue band. Needs ImageMagick 6 (convert). Writes beside this script.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
folder="fill #f2c94c stroke #8a6d1d stroke-width 2
  polygon 12,92 26,92 30,98 52,98 52,128 12,128
  fill #f7dc7a polygon 12,104 52,104 52,128 12,128"
network="fill none stroke #ffffff stroke-width 3 line 32,128 32,154 line 12,154 52,154
  fill #ffffff stroke none circle 12,154 12,159 circle 52,154 52,159 circle 32,154 32,158"
convert -size 64x300 gradient:'#1f4e8c'-'#7fa7d9' -draw "$folder" -draw "$network" \
  -type TrueColor BMP3:"$here/SharesSide.bmp"
