#!/usr/bin/env bash
# Draws the drop window's two pictures, 42 x 42, 24-bit: DropEmpty.bmp (bitmap 333, the erase list
# is empty: an empty shredder bin) and DropFull.bmp (bitmap 332, the list holds items: the bin with
# sheets in it). Drawn at four times their size and scaled down for smooth edges.
# Needs ImageMagick 6 (convert). Writes beside this script.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ink='#23364d'
back="fill '#dfe8f2' stroke '#5b7594' stroke-width 6 roundrectangle 3,3 164,164 24,24"
bin="fill '#8fa8c4' stroke $ink stroke-width 6 stroke-linejoin round polygon 44,62 124,62 114,146 54,146
  fill '#6f8bab' roundrectangle 36,48 132,62 6,6
  stroke $ink stroke-width 5 line 68,78 70,132 line 84,78 84,132 line 100,78 98,132"
sheets="fill white stroke $ink stroke-width 4 polygon 56,58 64,18 100,24 92,62
  fill white polygon 84,60 104,22 134,36 112,66
  stroke '#d9480f' stroke-width 4 line 70,32 90,36 line 68,42 86,45 line 106,36 122,44"
convert -size 168x168 xc:'#dfe8f2' -draw "$back" -draw "$bin" -resize 42x42 -type TrueColor BMP3:"$here/DropEmpty.bmp"
convert -size 168x168 xc:'#dfe8f2' -draw "$back" -draw "$sheets" -draw "$bin" -resize 42x42 -type TrueColor \
  BMP3:"$here/DropFull.bmp"
