#!/bin/sh
# build-chm.sh SOURCE_FOLDER PROJECT.hhp OUTPUT.chm
# Compiles one help file with chmcmd. The sources are UTF-8; the pages, contents, index and project
# are turned into GBK first, as the help viewer of the suite's Windows reads them (charset gb2312).
# The one style sheet, help.css beside this script, goes into every folder that holds pages.
set -eu
src=$1; project=$2; out=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$src"/. "$work"/
find "$work" -name '*.htm' -exec dirname {} \; | sort -u | while read -r folder; do
  cp "$(dirname "$0")/help.css" "$folder/"
done
find "$work" -type f \( -name '*.htm' -o -name '*.hhc' -o -name '*.hhk' -o -name '*.hhp' \) | while read -r f; do
  iconv -f UTF-8 -t GBK "$f" > "$f.gbk" && mv "$f.gbk" "$f"
done
(cd "$work" && chmcmd --no-html-scan --verbosity 0 "$project" >/dev/null)
mkdir -p "$(dirname "$out")"
cp "$work/${project%.hhp}.chm" "$out"
