#!/bin/sh
# setup-files.sh STAGE: after a silent setup into the Wine prefix, every file setup packed is installed
# byte for byte (shell extensions in the system folder, the rest in the program folder), the host
# program can be started, and the program folder holds nothing setup and Lockvale did not put there.
set -eu
stage=$1
dir="$WINEPREFIX/drive_c/Program Files/Velora"
system="$WINEPREFIX/drive_c/windows/system32"
fail=0
for file in "$stage"/*; do
  name=$(basename "$file")
  case "$name" in
    Erasext.dll|Binshex.dll) installed="$system/$name" ;;
    *) installed="$dir/$name" ;;
  esac
  if ! cmp -s "$file" "$installed"; then echo "not installed as packed: $installed"; fail=1; fi
done
[ -x "$dir/mountex-host" ] || { echo "mountex-host cannot be started (no execute permission)"; fail=1; }
for file in "$dir"/*; do
  name=$(basename "$file")
  case "$name" in
    uninst.exe|Setting.ini|log.txt|资料盘.vlr) ;;  # and what the user made
    *) [ -e "$stage/$name" ] || { echo "not from setup: $file"; fail=1; } ;;
  esac
done
[ "$(head -c2 "$dir/uninst.exe")" = MZ ] || { echo "no uninstaller program"; fail=1; }
[ $fail = 0 ] && echo "every packed file is installed"
exit $fail
