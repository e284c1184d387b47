#!/usr/bin/env bash
# Draws the bitmap buttons of the settings sheet's interface page (bitmaps 289 to 309), 24 x 24,
# 24-bit, each as a small raised key with its picture: normal, pressed (sunken, picture one pixel
# down and right), focused (normal with a dotted frame) and, for the two hidden register buttons,
# disabled (greyed). Pictures: view log (a page under a magnifier), empty log (a page crossed out),
# background colour (a filled swatch), text colour (an "A" over a colour bar), register (a plus) and
# unregister (a minus). Needs ImageMagick 6 (convert). Writes beside this script.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

face='#d4d0c8'
ink='#3c4a5a'
page="fill white stroke $ink stroke-width 5 stroke-linejoin round polygon 18,8 62,8 78,24 78,88 18,88
  stroke '#6f9bd2' stroke-width 5 line 28,34 66,34 line 28,48 66,48 line 28,62 56,62"
declare -A picture=(
  [viewlog]="$page fill none stroke '#1f5fa8' stroke-width 8 circle 60,62 60,80
    stroke-linecap round stroke-width 10 line 73,75 86,88"
  [emptylog]="$page fill none stroke '#c92a2a' stroke-width 10 stroke-linecap round line 30,30 76,80 line 76,30 30,80"
  [bkcolor]="fill '#ffe066' stroke $ink stroke-width 5 roundrectangle 12,12 84,84 8,8
    fill '#74c0fc' stroke none rectangle 17,50 79,79"
  [textcolor]="fill none stroke $ink stroke-width 10 stroke-linejoin round polyline 22,70 48,12 74,70
    line 32,50 64,50 fill '#e8590c' stroke none rectangle 12,76 84,90"
  [add]="fill '#2f9e44' stroke '#1b6b2c' stroke-width 4 circle 48,48 48,86
    stroke none fill white rectangle 42,26 54,70 rectangle 26,42 70,54"
  [remove]="fill '#c92a2a' stroke '#8a1c1c' stroke-width 4 circle 48,48 48,86
    stroke none fill white rectangle 26,42 70,54"
)

# key NAME STATE OUT
key() {
  local name=$1 state=$2 out=$3 shift=0
  convert -size 96x96 xc:none -draw "${picture[$name]}" -resize 18x18 "$work/pic.png"
  local bevel="fill none stroke white line 0,0 22,0 line 0,0 0,22 stroke '#808080' line 1,22 22,22 line 22,1 22,22
    stroke '#404040' line 0,23 23,23 line 23,0 23,23"
  if [ "$state" = pressed ]; then
    bevel="fill none stroke '#404040' line 0,0 23,0 line 0,0 0,23 stroke '#808080' line 1,1 22,1 line 1,1 1,22
      stroke white line 0,23 23,23 line 23,0 23,23"
    shift=1
  fi
  convert -size 24x24 xc:"$face" -draw "$bevel" "$work/pic.png" -geometry +$((3 + shift))+$((3 + shift)) -composite \
    "$work/key.png"
  if [ "$state" = focused ]; then
    convert "$work/key.png" -fill none -stroke black -strokewidth 1 -draw "stroke-dasharray 1 1 rectangle 2,2 21,21" \
      "$work/key.png"
  elif [ "$state" = disabled ]; then
    convert "$work/key.png" -colorspace Gray -fill "$face" -colorize 55% -colorspace sRGB "$work/key.png"
  fi
  convert "$work/key.png" -background "$face" -flatten -type TrueColor BMP3:"$here/$out"
}

for name in viewlog emptylog bkcolor textcolor; do
  for state in normal pressed focused; do key $name $state "Setup-$name-$state.bmp"; done
done
for name in add remove; do
  for state in normal pressed focused disabled; do key $name $state "Setup-$name-$state.bmp"; done
done
