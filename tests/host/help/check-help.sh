#!/bin/sh
# check-help.sh SOURCE_ROOT: compiles both help files and checks what the programs rely on:
#   - every help topic the programs' sources open ("Wiperhelp/<page>.htm"), and the seven pages of
#     the eraser's help, are in Purgix.chm; Lockvale.chm holds its default topic, contents and index;
#   - every link between pages leads to a page in the same file;
#   - every page is GBK text that says so (charset gb2312).
# Prints each fault; exits 1 when there is one.
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }

for help in Purgix Lockvale; do
  folder=$(echo "$help" | tr 'A-Z' 'a-z')
  "$root/help/build-chm.sh" "$root/help/$folder" "$help.hhp" "$work/$help.chm" || { fault "$help.chm does not compile"; continue; }
  chmls list -n "$work/$help.chm" 2>/dev/null | grep '^/' | sed 's|^/||' | sort > "$work/$help.list"
  mkdir -p "$work/$help"
  chmls extractall "$work/$help.chm" "$work/$help" >/dev/null 2>&1
done

# The topics the eraser opens, from its sources, and the pages its help is made of.
topics=$(grep -rhoE 'Wiperhelp/[A-Za-z]+\.htm' "$root/eraser" "$root/diskmanager" 2>/dev/null | sort -u)
for page in $topics Wiperhelp/Introduce.htm Wiperhelp/DelSet.htm Wiperhelp/SysSet.htm Wiperhelp/DelIE.htm \
            Wiperhelp/ShareDel.htm Wiperhelp/ExplorerFile.htm Wiperhelp/SmallWindow.htm; do
  grep -qx "$page" "$work/Purgix.list" || fault "Purgix.chm has no $page"
done
for page in index.htm Lockvale.hhc Lockvale.hhk; do
  grep -qx "$page" "$work/Lockvale.list" || fault "Lockvale.chm has no $page"
done
default=$(sed -n 's/^Default topic=//p' "$root/help/lockvale/Lockvale.hhp" | tr -d '\r')
grep -qx "$default" "$work/Lockvale.list" || fault "Lockvale.chm's default topic $default is missing"

for help in Purgix Lockvale; do
  for page in $(grep -E '\.(htm|hhc|hhk)$' "$work/$help.list"); do
    file="$work/$help/$page"
    [ -f "$file" ] || { fault "$help.chm: $page cannot be extracted"; continue; }
    iconv -f GBK -t UTF-8 "$file" >/dev/null 2>&1 || fault "$help.chm: $page is not GBK text"
    case "$page" in *.htm) grep -qi 'charset=gb2312' "$file" || fault "$help.chm: $page does not say charset=gb2312" ;; esac
    dir=$(dirname "$page")
    for link in $(grep -oiE '(href|value)="[^"#:]+\.(htm|css)"' "$file" | sed -E 's/^[^"]*"//; s/"$//'); do
      case "$page" in *.hhc|*.hhk) target="$link" ;; *) target="$dir/$link" ;; esac
      target=$(echo "$target" | sed 's|^\./||')
      grep -qx "$target" "$work/$help.list" || fault "$help.chm: $page links to $link, which is not there"
    done
  done
done

echo "$faults fault(s)"
[ "$faults" -eq 0 ]
