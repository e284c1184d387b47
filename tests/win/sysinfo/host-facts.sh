#!/bin/sh
# Writes what the host says about itself, for the system-information tests under Wine to compare
# with (they read /proc themselves through Z:): the time-stamp counter's rate as the kernel reports
# it, and the size and free space of the folder behind the harness's D: drive, in MB.
#   host-facts.sh FILE DRIVE_D_FOLDER
set -eu
out="$1" folder="$2"
mhz=$(dmesg 2>/dev/null | sed -n 's/.*tsc: Refined TSC clocksource calibration: \([0-9.]*\) MHz.*/\1/p' | tail -n 1)
[ -n "$mhz" ] || mhz=$(dmesg 2>/dev/null | sed -n 's/.*tsc: Detected \([0-9.]*\) MHz processor.*/\1/p' | tail -n 1)
# Without the kernel log: the x86 kernel calibrates its delay loop from the counter, BogoMIPS = 2 x MHz.
[ -n "$mhz" ] || mhz=$(awk -F: '/^bogomips/ { printf "%.3f", $2 / 2; exit }' /proc/cpuinfo)
set -- $(df -B1M --output=size,avail "$folder" | tail -n 1 | tr -d 'M')
printf 'tsc_mhz=%s\nd_total_mb=%s\nd_free_mb=%s\n' "$mhz" "$1" "$2" > "$out"
