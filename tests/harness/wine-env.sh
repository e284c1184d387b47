# The Wine harness, sourced by ./x: one private prefix per build tree (made once, then reused), an X
# display, the test drives and a persistent wineserver for the run. harness_stop undoes everything that
# harness_start started; ./x calls it from a trap so a failing run leaves nothing behind.
#
# Test drives (letters are fixed for the whole run; a drive's type is read when the wineserver starts):
#   D:  a folder as a fixed disk                out/drives/fixed
#   E:  a folder as a removable disk            out/drives/removable
#   F:  a write-protected removable disk        out/drives/protected (read-only bind mount: EROFS even for root)
#   G:  a folder as a CD-ROM                    out/drives/cdrom
#   X:  a fixed disk whose raw device \\.\X: is the image file out/drives/image/volume.img
#       (Wine's mount manager reads its file system, label and serial when it learns of the drive, so a
#       test that puts another volume there defines X: again: tests/win/support/WineDrives.h)
# Tests that need other content copy it in through the drive letter (or Z:) before use; the harness
# leaves the write-protected drive holding one file, readme.txt.

HARNESS_XVFB_PID=""
HARNESS_PROTECTED_MOUNT=""

harness_wine() { "$WINELOADER" "$@"; }

# Bump when the prefix's settings change, so existing prefixes are made anew.
HARNESS_PREFIX_VERSION=2

harness_prefix() {
  local ready="$WINEPREFIX/.purgix-ready"
  [[ -f "$ready" && "$(cat "$ready")" == "$HARNESS_PREFIX_VERSION" ]] && return 0
  echo "== making the Wine prefix $WINEPREFIX (once per build tree)" >&2
  rm -rf "$WINEPREFIX"
  harness_wine wineboot -i >/dev/null 2>&1
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  local drive type
  for drive in d:hd e:floppy f:floppy g:cdrom x:hd; do
    type="${drive#*:}"
    harness_wine reg add 'HKLM\Software\Wine\Drives' /v "${drive%%:*}:" /d "$type" /f >/dev/null 2>&1
  done
  # One virtual desktop for every program: windows get Wine's own title bars (screenshots look like
  # Windows), and destroying a shown window does not wait 2 s for a window manager that Xvfb lacks.
  harness_wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  harness_wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  "$WINESERVER" -w
  echo "$HARNESS_PREFIX_VERSION" > "$ready"
}

harness_drives() {
  local drives="$PURGIX_OUT_DIR/drives" dos="$WINEPREFIX/dosdevices"
  harness_unprotect
  rm -rf "$drives"
  mkdir -p "$drives"/{fixed,removable,protected.src,protected,cdrom,image}
  printf 'write-protected disk\r\n' > "$drives/protected.src/readme.txt"
  : > "$drives/image/volume.img"
  if mount --bind "$drives/protected.src" "$drives/protected" 2>/dev/null &&
     mount -o remount,ro,bind "$drives/protected" 2>/dev/null; then
    HARNESS_PROTECTED_MOUNT="$drives/protected"
  else
    # Without mount rights, an immutable folder also holds against root.
    rmdir "$drives/protected"
    cp -a "$drives/protected.src" "$drives/protected"
    chattr -R +i "$drives/protected"
  fi
  rm -f "$dos"/{d:,e:,f:,g:,x:,x::}
  ln -s "$drives/fixed" "$dos/d:"
  ln -s "$drives/removable" "$dos/e:"
  ln -s "$drives/protected" "$dos/f:"
  ln -s "$drives/cdrom" "$dos/g:"
  ln -s "$drives/image" "$dos/x:"
  ln -s "$drives/image/volume.img" "$dos/x::"
}

harness_unprotect() {
  local drives="$PURGIX_OUT_DIR/drives"
  if mountpoint -q "$drives/protected" 2>/dev/null; then umount "$drives/protected" || umount -l "$drives/protected"; fi
  [[ -d "$drives/protected" ]] && chattr -R -i "$drives/protected" 2>/dev/null || true
  HARNESS_PROTECTED_MOUNT=""
}

harness_display() {
  if [[ -n "${DISPLAY:-}" && "${CI:-}" != true ]]; then return 0; fi
  local n
  for n in $(seq 91 120); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$PURGIX_OUT_DIR/xvfb.log" 2>&1 </dev/null &
    HARNESS_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 50); do [[ -e /tmp/.X11-unix/X$n ]] && return 0; sleep 0.1; done
    echo "Xvfb did not start on :$n" >&2; return 1
  done
  echo "no free X display number" >&2; return 1
}

harness_start() {  # harness_start BUILD_TREE: a 32-bit prefix for the win32 tree, 64-bit for win64
  export PURGIX_OUT_DIR="${OUT:?}"
  export WINEPREFIX="$1/prefix"
  if [[ "$(basename "$1")" == win64 ]]; then
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
  else
    export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver32
  fi
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  harness_display
  harness_prefix
  harness_drives
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null
  harness_wine cmd /c exit >/dev/null 2>&1 || true  # brings up services and the mount manager once
}

harness_stop() {
  [[ -n "${WINESERVER:-}" ]] && "$WINESERVER" -k >/dev/null 2>&1 || true
  # Secret disks a test left mounted: their helper serves them from a session of its own, and ends
  # (writing the image back) once its volume is unmounted.
  local point
  for point in "${WINEPREFIX:-/nonexistent}"/mountex/*; do
    if mountpoint -q "$point" 2>/dev/null; then
      umount "$point" 2>/dev/null || umount -l "$point" 2>/dev/null || true
    fi
  done
  harness_unprotect
  if [[ -n "$HARNESS_XVFB_PID" ]]; then
    kill "$HARNESS_XVFB_PID" 2>/dev/null || true
    wait "$HARNESS_XVFB_PID" 2>/dev/null || true
    HARNESS_XVFB_PID=""
  fi
}
