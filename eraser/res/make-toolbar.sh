#!/usr/bin/env bash
# Draws the toolbar strip Toolbar.bmp (bitmap 242): ten 32 x 32 images side by side, 24-bit, on
# magenta (0xFF00FF, the transparent colour). The images are drawn at four times their size with
# smooth edges, scaled down, and every pixel that is less than half covered becomes magenta, so
# no pink fringe shows on any background. Order: the buttons of the fuller toolbar variant.
#   add files, add folder, erase all, free-space wipe, partition wipe, recoverable-files check,
#   log, settings, drop window, help
# Needs ImageMagick 6 (convert). Run from anywhere; writes Toolbar.bmp beside this script.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Shared parts, in 128 x 128 coordinates.
ink='#3c4a5a'
paper="fill white stroke $ink stroke-width 4 stroke-linejoin round
  polygon 26,10 78,10 102,34 102,118 26,118
  fill '#dfe6ee' polygon 78,10 78,34 102,34"
lines="stroke '#6f9bd2' stroke-width 5 stroke-linecap round
  line 40,52 88,52 line 40,66 88,66 line 40,80 88,80 line 40,94 74,94"
plus="fill '#2f9e44' stroke '#1b6b2c' stroke-width 3 circle 95,95 95,121
  stroke none fill white rectangle 91,79 99,111 rectangle 79,91 111,99"
disk="fill '#c9d1d9' stroke $ink stroke-width 4 stroke-linejoin round
  roundrectangle 8,38 120,96 10,10
  fill '#9aa5b1' stroke none rectangle 12,76 116,92
  stroke $ink stroke-width 3 line 10,76 118,76
  fill '#39d353' stroke '#1b6b2c' stroke-width 2 circle 102,84 102,89
  stroke '#5f6b78' stroke-width 3 line 20,84 30,84 line 36,84 46,84 line 52,84 62,84"

gear() {  # a gear of 8 teeth around 64,64
  awk 'BEGIN { pi = atan2(0, -1); n = 8; pts = "";
    for (i = 0; i < n; i++) {
      a = 2 * pi * i / n;
      split("-0.36 -0.20 0.20 0.36", d, " "); split("40 54 54 40", r, " ");
      for (k = 1; k <= 4; k++) {
        x = 64 + r[k] * cos(a + d[k]); y = 64 + r[k] * sin(a + d[k]);
        pts = pts sprintf("%.1f,%.1f ", x, y);
      }
    }
    print pts }'
}

declare -a icons
# add files: a sheet with a green plus
icons+=("$paper $lines $plus")
# add folder: a folder with a green plus
icons+=("fill '#e0a526' stroke '#8a6212' stroke-width 4 stroke-linejoin round
  polygon 8,22 46,22 56,34 120,34 120,108 8,108
  fill '#ffd45e' polygon 8,48 120,48 120,108 8,108
  stroke '#fff0b8' stroke-width 3 line 14,54 114,54
  $plus")
# erase all: a sheet under an eraser that has wiped half of its lines away
icons+=("$paper
  stroke '#6f9bd2' stroke-width 5 stroke-linecap round line 40,52 88,52 line 40,66 62,66
  push graphic-context translate 74,82 rotate -40
  fill '#f2f2f2' stroke $ink stroke-width 4 stroke-linejoin round roundrectangle -40,-16 0,16 4,4
  fill '#e5484d' roundrectangle 0,-16 36,16 4,4
  stroke '#ff9a9e' stroke-width 3 line 6,-10 30,-10
  pop graphic-context")
# free-space wipe: a disk swept clean by a broom, with a sparkle
icons+=("$disk
  push graphic-context translate 70,40 rotate 35
  stroke '#8a5a2b' stroke-width 8 stroke-linecap round line 0,-40 0,6
  fill '#f2c14e' stroke '#a87912' stroke-width 3 stroke-linejoin round polygon -7,4 7,4 16,36 -16,36
  stroke '#a87912' stroke-width 2 line -6,14 -9,34 line 0,14 0,34 line 6,14 9,34
  pop graphic-context
  fill '#ffd43b' stroke '#c99a06' stroke-width 2
  polygon 22,6 26,16 36,20 26,24 22,34 18,24 8,20 18,16")
# partition wipe: a disk crossed out in red
icons+=("$disk
  stroke white stroke-width 20 stroke-linecap round line 30,16 98,116 line 98,16 30,116
  stroke '#d9342b' stroke-width 12 stroke-linecap round line 30,16 98,116 line 98,16 30,116")
# recoverable-files check: a sheet under a magnifying glass
icons+=("$paper $lines
  stroke '#5a3b1e' stroke-width 14 stroke-linecap round line 86,86 116,116
  fill '#d7ecff' fill-opacity 0.85 stroke $ink stroke-width 8 circle 70,70 70,100
  fill none stroke white stroke-width 4 stroke-linecap round path 'M 56,62 A 18,18 0 0,1 70,50'")
# log: a notepad with rings and written lines
icons+=("fill '#fff8dc' stroke $ink stroke-width 4 stroke-linejoin round
  roundrectangle 22,16 106,120 6,6
  fill '#e06c3c' stroke none rectangle 24,18 104,34
  fill white stroke $ink stroke-width 3 circle 40,18 40,24 circle 64,18 64,24 circle 88,18 88,24
  stroke '#3c4a5a' stroke-width 5 stroke-linecap round
  line 36,52 92,52 line 36,66 92,66 line 36,80 92,80 line 36,94 76,94 line 36,108 84,108")
# settings: a gear
icons+=("fill '#8c99a6' stroke $ink stroke-width 4 stroke-linejoin round polygon $(gear)
  fill '#b8c3ce' stroke $ink stroke-width 3 circle 64,64 64,98
  fill '#eef2f6' stroke $ink stroke-width 4 circle 64,64 64,80")
# drop window: a small window with an arrow falling into it
icons+=("fill white stroke $ink stroke-width 4 stroke-linejoin round rectangle 14,44 114,118
  fill '#2b6cc4' stroke none rectangle 16,46 112,60
  fill white rectangle 100,49 108,57
  fill '#2f9e44' stroke '#1b6b2c' stroke-width 3 stroke-linejoin round
  polygon 54,6 74,6 74,70 92,70 64,104 36,70 54,70")
# help: a blue ball with a question mark
icons+=("fill '#2f6fd6' stroke '#19479a' stroke-width 4 circle 64,64 64,118
  fill '#6c9ff0' stroke none ellipse 56,36 30,16 0,360
  fill white font DejaVu-Sans-Bold font-size 84 text 38,94 '?'")

parts=()
for i in "${!icons[@]}"; do
  convert -size 128x128 xc:none -draw "${icons[$i]}" "$work/big$i.png"
  convert "$work/big$i.png" -filter Triangle -resize 32x32 \
          -channel A -threshold 50% +channel -background '#FF00FF' -alpha remove -alpha off "$work/icon$i.png"
  parts+=("$work/icon$i.png")
done
convert "${parts[@]}" +append -type TrueColor BMP3:"$here/Toolbar.bmp"
