#!/bin/sh
# The originals of lockvale-movein.auto, on D: (the harness's fixed disk): a folder with a GBK-named
# file (禱 ends in the byte 0x5C) and a 5 MiB file, a file whose name the disk will already hold, a
# folder with a file the script holds open, a 200 MB file that takes no room here but more than the
# disk has, and a reference copy of the 5 MiB file that is not moved.
set -eu
d="$PURGIX_OUT_DIR/drives/fixed"
rm -rf "$d/移入" "$d/参照"
mkdir -p "$d/移入/报告" "$d/移入/锁定" "$d/参照"
printf '祈祷文' | iconv -f UTF-8 -t GBK > "$d/移入/报告/禱告.txt"
head -c 5242880 /dev/urandom > "$d/移入/报告/大.bin"
cp "$d/移入/报告/大.bin" "$d/参照/大.bin"
printf '附件内容' | iconv -f UTF-8 -t GBK > "$d/移入/附件.txt"
printf 'locked' > "$d/移入/锁定/被占用.txt"
truncate -s 200M "$d/移入/巨大.bin"
