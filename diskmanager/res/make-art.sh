#!/bin/sh
# Makes Lockvale's artwork with ImageMagick (run once; the results are kept in git).
set -e
cd "$(dirname "$0")"
lock() {  # lock SIZE BODY_COLOUR: a padlock on a transparent square
  s=$1; c=$2
  convert -size ${s}x${s} xc:none -stroke '#303848' -strokewidth $((s / 12 + 1)) -fill none \
    -draw "arc $((s * 28 / 100)),$((s * 8 / 100)) $((s * 72 / 100)),$((s * 62 / 100)) 180,360" \
    -draw "line $((s * 28 / 100)),$((s * 35 / 100)) $((s * 28 / 100)),$((s * 50 / 100))" \
    -draw "line $((s * 72 / 100)),$((s * 35 / 100)) $((s * 72 / 100)),$((s * 50 / 100))" \
    -stroke '#303848' -strokewidth 1 -fill "$c" \
    -draw "roundrectangle $((s * 16 / 100)),$((s * 46 / 100)) $((s * 84 / 100)),$((s * 92 / 100)) 2,2" \
    -fill '#303848' -draw "circle $((s / 2)),$((s * 66 / 100)) $((s / 2)),$((s * 73 / 100))" PNG32:-
}
lock 32 '#E0A030' > /tmp/lock32.png
lock 16 '#E0A030' > /tmp/lock16.png
convert /tmp/lock16.png /tmp/lock32.png Lockvale.ico
cp Lockvale.ico Lockvale-app.ico
# 132: a soft tile behind the main dialog, 256 colours (the dialog realises its palette)
convert -size 32x32 xc:'#EEF3F9' -fill '#E2EAF4' -draw "line 0,31 31,0" -draw "point 0,0" -type Palette BMP3:Background.bmp
# 140 / 141: the disk closed (grey, red light) and open (blue, green light)
disk() {
  convert -size 48x48 xc:'#F4F8FC' -fill "$1" -stroke '#404850' -draw "roundrectangle 4,12 44,38 4,4" \
    -fill '#D0D8E0' -draw "rectangle 8,16 40,28" -stroke none -fill "$2" -draw "circle 38,33 38,35" \
    -type TrueColor BMP3:"$3"
}
disk '#A8B0B8' '#D02020' DiskClosed.bmp
disk '#6090D0' '#20C040' DiskOpen.bmp
# 143: the wizard's picture, a tall gradient with the padlock
convert -size 110x250 gradient:'#1C3C6C'-'#5C8CC8' \( /tmp/lock32.png -resize 64x64 \) -gravity center -geometry +0-40 \
  -composite -type TrueColor BMP3:Wizard.bmp
# 149 / 150: the small window's lamp, off and on
lamp() { convert -size 24x24 xc:'#F0F0F0' -fill "$1" -stroke '#404040' -draw "circle 12,12 12,3" -type TrueColor BMP3:"$2"; }
lamp '#C03030' SmallClosed.bmp
lamp '#30B040' SmallOpen.bmp
# sample.dat: a small JPEG copied onto every new disk as sample.jpg
convert -size 160x100 gradient:'#2C5C9C'-'#A0C8F0' \( /tmp/lock32.png -resize 48x48 \) -gravity center -composite \
  -quality 85 JPEG:sample.dat
rm -f /tmp/lock16.png /tmp/lock32.png Lockvale-app.ico
