#!/usr/bin/env bash
# Conditions for the tests that a Windows program cannot make for itself, made before the tests and
# undone after them; failing to make one fails the run:
#   - a 2 MiB drive T: (a tmpfs mapped through the prefix's dosdevices) for the space checks and a disk
#     filling up mid-copy;
#   - a game folder whose old patch.rpa is immutable: Wine keeps the read-only attribute in the mode
#     bits alone, which root (as in CI) writes through, while the immutable flag refuses root too;
#   - a copy of the prefix without the stand-in Windows fonts, as a bare Wine prefix has it.
# Usage: fixtures.sh up|down BUILD_DIR
set -u
action=$1 build=$2
prefix=${WINEPREFIX:-$build/wineprefix}
root=$build/fixtures

down() {
  [ -e "$root/locked/game/patch.rpa" ] && chattr -i "$root/locked/game/patch.rpa"
  mountpoint -q "$root/tiny" && umount "$root/tiny"
  rm -f "$prefix/dosdevices/t:"
  rm -rf "$root" "$build/bareprefix"
}

down 2>/dev/null
[ "$action" = down ] && exit 0
set -e
mkdir -p "$root/tiny" "$root/locked/game"
mount -t tmpfs -o size=2m tinydrive "$root/tiny"
mkdir -p "$root/tiny/Game/game"
printf 'MZ' >"$root/tiny/Game/Tavinmere.exe"
ln -sfn "$root/tiny" "$prefix/dosdevices/t:"
printf 'MZ' >"$root/locked/Tavinmere.exe"
printf 'the previous patch' >"$root/locked/game/patch.rpa"
chmod a-w "$root/locked/game/patch.rpa"
chattr +i "$root/locked/game/patch.rpa"
cp -a "$prefix" "$build/bareprefix"
rm -f "$build/bareprefix/drive_c/windows/Fonts/"*.ttf "$build/bareprefix/dosdevices/t:"
