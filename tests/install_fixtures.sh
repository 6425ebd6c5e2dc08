#!/usr/bin/env bash
# Real file-system conditions for the install tests that a Windows program cannot make for itself:
#   a 2 MiB drive T: (a tmpfs mapped through the Wine prefix's dosdevices) for space checks and a
#   disk filling up mid-copy, and a game whose patch.rpa is read-only and immutable, because Wine
#   represents the read-only attribute by mode bits alone, which root (as here and in CI) bypasses.
# Usage: install_fixtures.sh up|down BUILD_DIR
set -u
action=$1
build=$2
prefix=${WINEPREFIX:-$build/wineprefix}
root=$build/install_fixtures
drive=$prefix/dosdevices/t:

down() {
  [ -e "$root/locked/game/patch.rpa" ] && chattr -i "$root/locked/game/patch.rpa" 2>/dev/null
  mountpoint -q "$root/tiny" 2>/dev/null && umount "$root/tiny"
  rm -f "$drive"
  rm -rf "$root"
}

if [ "$action" = down ]; then
  down
  exit 0
fi

down
mkdir -p "$root/tiny" "$root/locked/game"
# Without the rights to mount, T: is an ordinary folder and the tests that need a small drive say so.
mount -t tmpfs -o size=2m tinydrive "$root/tiny" 2>/dev/null || echo "no tmpfs mount: T: is not small"
mkdir -p "$root/tiny/Game/game"
printf 'MZ' > "$root/tiny/Game/Tavinmere.exe"
ln -sfn "$root/tiny" "$drive"
printf 'MZ' > "$root/locked/Tavinmere.exe"
printf 'the previous patch' > "$root/locked/game/patch.rpa"
chmod a-w "$root/locked/game/patch.rpa"
chattr +i "$root/locked/game/patch.rpa" 2>/dev/null || echo "no chattr: the locked patch is only read-only"
exit 0
