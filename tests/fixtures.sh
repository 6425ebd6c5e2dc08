#!/usr/bin/env bash
# Conditions for the tests that a Windows program cannot make for itself, made before the tests and
# undone after them; failing to make one fails the run:
#   - a 2 MiB drive T: (a tmpfs mapped through the prefix's dosdevices) for the space checks and a disk
#     filling up mid-copy, formatted FAT32 as Windows programs see it: Wine's mount manager takes a
#     drive's file system from the boot sector of its device (the "t::" link, here to a file holding
#     one, on the drive itself, since Wine asks for the volume of the device's file) when it starts, so
#     Wine is started anew;
#   - a game folder that takes no new file, as Program Files refuses a user: Wine keeps the read-only
#     attribute in the mode bits alone, which root (as in CI) writes through, while the immutable flag
#     refuses root too;
#   - a copy of the prefix without the stand-in Windows fonts, as a bare Wine prefix has it.
# Usage: fixtures.sh up|down BUILD_DIR
set -u
action=$1 build=$2
prefix=${WINEPREFIX:-$build/wineprefix}
root=$build/fixtures

down() {
  [ -e "$root/locked/game" ] && chattr -i "$root/locked/game"
  mountpoint -q "$root/tiny" && umount "$root/tiny"
  rm -f "$prefix/dosdevices/t:" "$prefix/dosdevices/t::"
  rm -rf "$root" "$build/bareprefix"
}

down 2>/dev/null
[ "$action" = down ] && exit 0
set -e
mkdir -p "$root/tiny" "$root/locked/game"
mount -t tmpfs -o size=2m tinydrive "$root/tiny"
mkdir -p "$root/tiny/Game/game"
ln -sfn "$root/tiny" "$prefix/dosdevices/t:"
python3 - "$root/tiny/.boot-sector" <<'PY'
import struct, sys
sector = bytearray(2048)
sector[0:11] = b"\xEB\x58\x90MSWIN4.1"
# 512-byte sectors, 8 per cluster, 32 reserved, 2 FATs of 8 sectors, 4096 sectors (2 MiB) in all.
struct.pack_into("<HBHBHHBH", sector, 0x0B, 512, 8, 32, 2, 0, 0, 0xF8, 0)
struct.pack_into("<II", sector, 0x20, 4096, 8)
struct.pack_into("<BI11s8s", sector, 0x42, 0x29, 0x2719305, b"TINY DRIVE ", b"FAT32   ")
open(sys.argv[1], "wb").write(sector)
PY
ln -sfn "$root/tiny/.boot-sector" "$prefix/dosdevices/t::"
printf 'MZ' >"$root/locked/Tavinmere.exe"
printf 'the previous patch' >"$root/locked/game/patch.rpa"
chattr +i "$root/locked/game"
cp -a "$prefix" "$build/bareprefix"
rm -f "$build/bareprefix/drive_c/windows/Fonts/"*.ttf "$build/bareprefix/dosdevices/t:"*
# Wine's services start again, detached as tools/test starts them, and find T: with its boot sector.
WINEPREFIX=$prefix /usr/bin/wineserver -k 2>/dev/null || true
WINEPREFIX=$prefix /usr/bin/wineserver -p 60 </dev/null >/dev/null 2>&1
WINEPREFIX=$prefix /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true
