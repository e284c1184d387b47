#!/usr/bin/env bash
# Draws the question mark of the browser-history page's hint ("单击 ? 得到帮助"), bitmap 140,
# 16 x 16, 24-bit, on the dialog's grey. Needs ImageMagick 6 (convert). Writes beside this script.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ink='#23364d'
mark="fill none stroke $ink stroke-width 9 stroke-linecap round arc 20,8 44,36 180,360
  line 44,22 32,40 line 32,40 32,46
  fill $ink stroke none circle 32,56 32,61"
convert -size 64x64 xc:'#d4d0c8' -draw "$mark" -resize 16x16 -type TrueColor BMP3:"$here/HelpHint.bmp"
