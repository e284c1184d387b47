#!/usr/bin/env bash
# Times the deleted-file scan of the image tool against The Sleuth Kit's `fls -r -d` on the same
# volumes: a 1 GiB FAT32 image and a 1 GiB NTFS image, each holding 100 folders from which 10,000
# files with long names were deleted. Checks that both find the same set of files.
#   scan-bench.sh DELETED_SCAN FOLDER
# Prints one table row per volume; the images are removed at the end.
set -euo pipefail
tool="$1" dir="$2"
export LC_ALL=C.UTF-8 TZ=UTC MTOOLS_SKIP_CHECK=1
mkdir -p "$dir"
tree="$dir/scan-tree" mnt="$dir/scan-mnt"
cleanup() {
  if mountpoint -q "$mnt" 2>/dev/null; then umount "$mnt" || umount -l "$mnt"; fi
  rm -rf "$tree" "$mnt" "$dir/scan-fat32.img" "$dir/scan-ntfs.img" "$dir"/scan-*.txt
}
trap cleanup EXIT

# 100 folders of 100 files of 1 to 4 KiB, each name long enough to need long-name entries.
rm -rf "$tree"
perl -e 'my ($root) = @ARGV; srand(11); for my $d (1..100) { my $f = sprintf("%s/folder %03d", $root, $d); mkdir $f;
  for my $n (1..100) { open(my $h, ">", sprintf("%s/deleted report %05d of a long name.txt", $f, $d * 1000 + $n)) or die;
  print $h "r" x (1024 + int(rand(3072))); } }' "$(mkdir -p "$tree" && echo "$tree")"

# Best of three wall-clock runs of a command, in seconds.
best_of_3() {
  local best="" t0 t1 s
  for _ in 1 2 3; do
    t0=$(date +%s.%N); "$@" > /dev/null; t1=$(date +%s.%N)
    s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')
    if [[ -z "$best" ]] || awk -v s="$s" -v b="$best" 'BEGIN { exit !(s < b) }'; then best="$s"; fi
  done
  echo "$best"
}

# The names of the deleted files each one finds, sorted (every name is unique, and the volumes
# hold no live files). fls -d leaves out some deleted NTFS files whose names survive in a folder's
# index (it lists them as allocated although their records are free), and lists a file whose name
# is gone from its folder under $OrphanFiles: so its whole listing is taken, cut down to the names
# this script made (no system files, volume label or nameless records), and only names are
# compared; the scan's paths are checked by the tests. Everything the scan reports is kept.
ours() { "$tool" "$1" | cut -f1 | sed -e 's/.*\\//' | sort -u; }
theirs() {
  fls -r -p "$1" | grep -E '^(r/r|-/r) ' | sed -E -e 's/^[^:]*:\t//' -e 's/.*\///' |
    grep -E '^deleted report [0-9]{5,6} of a long name\.txt$' | sort -u
}

image_fat32() {
  local img="$dir/scan-fat32.img"
  rm -f "$img"
  mkfs.fat -F 32 -C -n SCANBENCH "$img" 1048576 > /dev/null
  (cd "$tree" && mcopy -s -i "$img" ./* ::)
  local d
  for d in "$tree"/*; do mdel -i "$img" "::$(basename "$d")/*"; done
  echo "$img"
}

image_ntfs() {
  local img="$dir/scan-ntfs.img"
  rm -f "$img"
  truncate -s 1G "$img"
  mkntfs -F -q -Q -L SCANBENCH "$img" > /dev/null 2>&1
  mkdir -p "$mnt"
  ntfs-3g "$img" "$mnt"
  cp -r "$tree"/. "$mnt"/
  find "$mnt" -type f -delete
  umount "$mnt"
  echo "$img"
}

printf '%-28s %10s %10s %8s %8s %8s\n' "10,000 deleted files, 1 GiB" "scan s" "fls s" "vs fls" "found" "same set"
for kind in fat32 ntfs; do
  img="$(image_$kind)"
  ours "$img" > "$dir/scan-ours.txt"
  theirs "$img" > "$dir/scan-theirs.txt"
  same=no
  cmp -s "$dir/scan-ours.txt" "$dir/scan-theirs.txt" && same=yes
  scan_s="$(best_of_3 "$tool" "$img")"
  fls_s="$(best_of_3 fls -r -d "$img")"
  printf '%-28s %10.3f %10.3f %8.2f %8d %8s\n' "$kind" "$scan_s" "$fls_s" \
    "$(awk -v a="$scan_s" -v b="$fls_s" 'BEGIN { printf "%.2f", a / b }')" "$(wc -l < "$dir/scan-ours.txt")" "$same"
  if [[ "$same" == no ]]; then
    echo "  differences (< ours, > fls):"; diff "$dir/scan-ours.txt" "$dir/scan-theirs.txt" | head -5 | sed 's/^/  /'
  fi
  [[ -n "${KEEP_IMAGES:-}" ]] || rm -f "$img"
done
