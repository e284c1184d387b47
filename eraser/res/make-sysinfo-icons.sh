#!/usr/bin/env bash
# Draws the seven icons of the system-information tree, each with a 32 x 32 and a 16 x 16 image,
# 32-bit with transparency, drawn at 128 x 128 and scaled down:
#   SysMemory.ico (399), SysComputer.ico (400), SysCpu.ico (401), SysDisk.ico (402),
#   SysCdrom.ico (403), SysRoot.ico (404, also the dialog's icon), SysLogical.ico (405)
# Needs ImageMagick 6 (convert). Run from anywhere; writes the icons beside this script.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
ink='#3c4a5a'

monitor="fill '#dfe6ee' stroke $ink stroke-width 6 stroke-linejoin round roundrectangle 10,14 118,90 8,8
  fill '#4a90d9' stroke none rectangle 20,24 108,80
  fill '#9aa5b1' stroke $ink stroke-width 5 polygon 50,90 78,90 84,108 44,108
  fill '#c9d1d9' roundrectangle 30,106 98,118 4,4"
chip="fill '#5f6b78' stroke $ink stroke-width 5 roundrectangle 28,28 100,100 6,6
  fill '#c9a227' stroke none rectangle 46,46 82,82
  stroke '#9aa5b1' stroke-width 7 stroke-linecap butt
  line 42,6 42,26 line 64,6 64,26 line 86,6 86,26 line 42,102 42,122 line 64,102 64,122 line 86,102 86,122
  line 6,42 26,42 line 6,64 26,64 line 6,86 26,86 line 102,42 122,42 line 102,64 122,64 line 102,86 122,86"
memory="fill '#2f9e44' stroke '#1b6b2c' stroke-width 5 stroke-linejoin round rectangle 6,34 122,84
  fill '#222b35' stroke none rectangle 16,42 36,70 rectangle 42,42 62,70 rectangle 68,42 88,70 rectangle 94,42 114,70
  fill '#c9a227' rectangle 12,84 116,98 fill '#1b6b2c' rectangle 58,84 66,98"
drive="fill '#c9d1d9' stroke $ink stroke-width 5 stroke-linejoin round roundrectangle 8,38 120,96 10,10
  fill '#9aa5b1' stroke none rectangle 12,76 116,92 stroke $ink stroke-width 3 line 10,76 118,76
  fill '#39d353' stroke '#1b6b2c' stroke-width 2 circle 102,84 102,89"
disk="fill '#9aa5b1' stroke $ink stroke-width 5 stroke-linejoin round roundrectangle 14,8 114,120 8,8
  fill '#dfe6ee' stroke $ink stroke-width 3 circle 64,56 64,16
  fill '#5f6b78' stroke none circle 64,56 64,48
  stroke '#c9a227' stroke-width 7 stroke-linecap round line 92,104 60,70"
cdrom="fill '#dfe6ee' stroke $ink stroke-width 5 circle 64,64 64,8
  fill none stroke '#b197fc' stroke-width 10 arc 24,24 104,104 200,290
  stroke '#74c0fc' arc 24,24 104,104 20,110
  fill white stroke $ink stroke-width 4 circle 64,64 64,48"
info="fill '#1971c2' stroke white stroke-width 4 circle 100,100 100,74
  stroke none fill white rectangle 96,96 104,114 circle 100,86 100,81"

draw() {  # draw NAME DRAWING...
  local name="$1"; shift
  convert -size 128x128 xc:none -draw "$*" "$work/$name.png"
  convert "$work/$name.png" -resize 32x32 "$work/$name-32.png"
  convert "$work/$name.png" -resize 16x16 "$work/$name-16.png"
  convert "$work/$name-32.png" "$work/$name-16.png" "$here/$name.ico"
}

draw SysComputer "$monitor"
draw SysCpu "$chip"
draw SysMemory "$memory"
draw SysLogical "$drive"
draw SysDisk "$disk"
draw SysCdrom "$cdrom"
draw SysRoot "$monitor $info"
