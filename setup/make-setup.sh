#!/bin/sh
# make-setup.sh STAGE OUTFILE PE_STRIP HOST_STRIP WIDTH FILE...
# Puts FILE... into the folder STAGE (Windows images and the host program without their debug
# information) and builds OUTFILE from Setup.nsi with makensis. WIDTH is 32 or 64.
set -eu
stage=$1 outfile=$2 pe_strip=$3 host_strip=$4 width=$5
shift 5
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$stage"
mkdir -p "$stage" "$(dirname "$outfile")"
for file in "$@"; do
  name=$(basename "$file")
  case "$name" in
    *.exe|*.dll|*.sys) "$pe_strip" --strip-debug -o "$stage/$name" "$file" ;;
    mountex-host) "$host_strip" --strip-debug -o "$stage/$name" "$file" ;;
    *) cp "$file" "$stage/$name" ;;
  esac
done
set -- -V2 -INPUTCHARSET UTF8 -DSTAGE="$stage" -DOUTFILE="$outfile"
[ "$width" = 64 ] && set -- "$@" -DAMD64
exec makensis "$@" "$here/Setup.nsi"
