#!/bin/sh
# check-setup.sh OUT: the shipped setup (OUT/dist/setup.exe) is a 32-bit Windows GUI program that
# carries every file the 32-bit tree staged for it, byte for byte, and each program it carries is
# 32-bit too. 7-Zip reads NSIS installers and is the independent reader here.
# Prints each fault; exits 1 when there is one.
set -u
out=$1
setup="$out/dist/setup.exe"
stage="$out/build/win32/setup/stage"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }

# Little-endian unsigned integer of SIZE bytes at OFFSET of FILE.
le() { od -An -tu"$3" -j"$2" -N"$3" "$1" | tr -d ' '; }
# "machine magic subsystem" of a PE image, in hexadecimal; empty when FILE is no PE image.
pe_kind() {
  [ "$(head -c2 "$1")" = MZ ] || return 0
  pe=$(le "$1" 60 4)
  [ "$(od -An -c -j"$pe" -N4 "$1" | tr -d ' ')" = 'PE\0\0' ] || return 0
  printf '%x %x %x\n' "$(le "$1" $((pe + 4)) 2)" "$(le "$1" $((pe + 24)) 2)" "$(le "$1" $((pe + 92)) 2)"
}

[ -f "$setup" ] || { echo "FAULT: no $setup"; exit 1; }
# i386 (0x14c), PE32 (0x10b), Windows GUI (2).
[ "$(pe_kind "$setup")" = "14c 10b 2" ] || fault "setup.exe is not a 32-bit GUI program: $(pe_kind "$setup")"

7z x -y -o"$work/unpacked" "$setup" >/dev/null 2>&1 || fault "7-Zip cannot unpack setup.exe"
count=0
for file in "$stage"/*; do
  name=$(basename "$file")
  count=$((count + 1))
  # The shell extensions go to the system folder, which 7-Zip shows as the folder "$SYSDIR".
  case "$name" in
    Erasext.dll|Binshex.dll) packed="$work/unpacked/\$SYSDIR/$name" ;;
    *) packed="$work/unpacked/$name" ;;
  esac
  cmp -s "$file" "$packed" || fault "setup.exe does not carry $name as staged"
  case "$name" in
    *.exe) [ "$(pe_kind "$file")" = "14c 10b 2" ] || fault "$name is not a 32-bit GUI program: $(pe_kind "$file")" ;;
    *.dll) [ "$(pe_kind "$file" | cut -d' ' -f1-2)" = "14c 10b" ] || fault "$name is not a 32-bit library: $(pe_kind "$file")" ;;
    *.sys) [ "$(pe_kind "$file")" = "14c 10b 1" ] || fault "$name is not a 32-bit native image: $(pe_kind "$file")" ;;
  esac
done
for name in Lockvale.exe Purgix.exe Drivset.exe Mountex.dll quilfiledisk.sys FileDisk.inf \
            main.ini ListSave.ini Purgix.chm Lockvale.chm Lockvale.ico sample.dat mountex-host \
            Erasext.dll Binshex.dll; do
  [ -e "$stage/$name" ] || fault "nothing staged as $name"
done
7z l "$setup" | grep -q ' uninst\.exe$' || fault "setup.exe writes no uninstaller"
[ $faults = 0 ] && echo "setup.exe: 32-bit, $count files as staged"
[ $faults = 0 ]
