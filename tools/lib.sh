# Shared by the tools and the end-to-end tests: Wine prefixes, stand-in fonts, Xvfb.
# shellcheck shell=bash

WINE=/usr/lib/wine/wine64
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml='
export WINEARCH=win64
# Wine reads and writes Linux names in the locale's code page; UTF-8, as on the players' machines.
export LC_ALL=C.UTF-8

# The tests and benchmarks get a silent sound card: ALSA's default output discards what it is given,
# so the music plays without a device and without ALSA's complaints about the missing one.
quiet_audio() {
  export ALSA_CONFIG_PATH=$ROOT/tests/data/alsa-null.conf PULSE_SERVER=unix:/nonexistent
}

# Builds the stand-in fonts once per build folder: Debian fonts renamed to the Windows families.
make_standin_fonts() {
  local out=$1
  [ -f "$out/.done" ] && return 0
  mkdir -p "$out"
  /usr/bin/python3 - "$out" <<'PY'
import sys
from fontTools.ttLib import TTFont, TTCollection
out = sys.argv[1]
wqy = '/usr/share/fonts/truetype/wqy/wqy-microhei.ttc'
lib = '/usr/share/fonts/truetype/liberation/'
def rename(font, family, style, path):
    name = font['name']
    full = family if style == 'Regular' else family + ' ' + style
    ps = (family + '-' + style).replace(' ', '')
    for rec in list(name.names):
        if rec.nameID in (16, 17, 21, 22):
            name.removeNames(nameID=rec.nameID)
    for nid, value in ((1, family), (2, style), (3, full), (4, full), (6, ps)):
        name.setName(value, nid, 3, 1, 0x409)
        name.setName(value, nid, 1, 0, 0)
    if 'OS/2' in font:
        os2 = font['OS/2']
        os2.fsSelection = (os2.fsSelection & ~0x61) | (0x20 if style == 'Bold' else 0x40)
        os2.usWeightClass = 700 if style == 'Bold' else 400
    font['head'].macStyle = 1 if style == 'Bold' else 0
    font.save(path)
cjk = ['Microsoft YaHei UI', 'Microsoft YaHei', 'Microsoft JhengHei UI', 'Microsoft JhengHei']
for fam in cjk:
    rename(TTCollection(wqy).fonts[0], fam, 'Regular', f"{out}/{fam.replace(' ', '')}.ttf")
for fam in ['Segoe UI', 'Arial']:
    rename(TTFont(lib + 'LiberationSans-Regular.ttf'), fam, 'Regular', f"{out}/{fam.replace(' ', '')}.ttf")
    rename(TTFont(lib + 'LiberationSans-Bold.ttf'), fam, 'Bold', f"{out}/{fam.replace(' ', '')}-Bold.ttf")
PY
  touch "$out/.done"
}

# Creates a Wine prefix (once) with the stand-in fonts installed.
make_prefix() {
  local prefix=$1 fonts=$2
  if [ ! -f "$prefix/.ready" ]; then
    rm -rf "$prefix"
    mkdir -p "$prefix"
    WINEPREFIX=$prefix "$WINE" wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX=$prefix /usr/bin/wineserver -w
    [ -d "$prefix/drive_c/windows" ] || { echo "wine prefix creation failed: $prefix" >&2; return 1; }
    # Xvfb has no window manager: Wine would wait 2 s for one at every window it hides or destroys.
    WINEPREFIX=$prefix "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    WINEPREFIX=$prefix /usr/bin/wineserver -w
    touch "$prefix/.ready"
  fi
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp -f "$fonts"/*.ttf "$prefix/drive_c/windows/Fonts/"
}

# Starts Xvfb on a free display and sets DISPLAY; XVFB_PID holds its process.
start_xvfb() {
  local n=${1:-90}
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on :$n" >&2
  return 1
}

stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
}

configure_and_build() {
  local build=$1
  cmake -S "$ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j "$(nproc)"
}

# How every run under Wine begins: the machine set up, everything built (its output into the log given
# and shown only when the build fails, else on the terminal), the stand-in fonts and the prefix, which
# becomes WINEPREFIX. Arguments: build folder, prefix, log (optional).
build_with_prefix() {
  local build=$1 prefix=$2 log=${3:-}
  "$ROOT/tools/setup"
  mkdir -p "$build"
  if [ -n "$log" ]; then
    configure_and_build "$build" >"$log" 2>&1 || { cat "$log"; return 1; }
  else
    configure_and_build "$build"
  fi
  make_standin_fonts "$build/fonts"
  export WINEPREFIX=$prefix
  make_prefix "$WINEPREFIX" "$build/fonts"
}

# A display and Wine's services for the rest of the script, both ended with it. Wine's services inherit
# the output of the process that starts them: started here, detached, no caller waits on a pipe they hold.
start_wine_session() {
  start_xvfb "${1:-90}"
  trap 'WINEPREFIX=$WINEPREFIX /usr/bin/wineserver -k 2>/dev/null || true; stop_xvfb' EXIT
  /usr/bin/wineserver -p 60 || true
  "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Lays out a Steam world in a prefix, as a player's machine would have it: Steam in
# C:\Program Files (x86)\Steam (registry "SteamPath"), a second library on a fixed drive D: (a
# dosdevices link to <world>/d-drive) named in libraryfolders.vdf, the game installed there with its
# app manifest, and the folder a player extracted the release ZIP to (C:\TavinMere-Patch).
# Arguments: prefix, world folder, installer exe, stand-in game exe, patch size in MiB.
make_steam_world() {
  local prefix=$1 world=$2 installer=$3 game=$4 patch_mib=${5:-32}
  local steam="$prefix/drive_c/Program Files (x86)/Steam"
  local library="$world/d-drive/SteamLibrary"
  local root="$library/steamapps/common/TavinMere"
  mkdir -p "$steam/steamapps" "$root/game" "$prefix/dosdevices"
  ln -sfn "$world/d-drive" "$prefix/dosdevices/d:"
  cat >"$steam/steamapps/libraryfolders.vdf" <<'VDF'
"libraryfolders"
{
	"0"
	{
		"path"		"C:\\Program Files (x86)\\Steam"
		"label"		""
	}
	"1"
	{
		"path"		"D:\\SteamLibrary"
		"label"		""
		"apps"
		{
			"2719305"		"1938604123"
		}
	}
}
VDF
  cat >"$library/steamapps/appmanifest_2719305.acf" <<'ACF'
"AppState"
{
	"appid"		"2719305"
	"name"		"TavinMere"
	"installdir"		"TavinMere"
}
ACF
  cp -f "$game" "$root/Tavinmere.exe"
  [ -f "$root/game/archive.rpa" ] || head -c 1048576 /dev/urandom >"$root/game/archive.rpa"
  [ -f "$root/game/scripts.rpa" ] || head -c 262144 /dev/urandom >"$root/game/scripts.rpa"
  WINEPREFIX=$prefix "$WINE" reg add 'HKCU\Software\Valve\Steam' /v SteamPath /t REG_SZ \
    /d 'c:/program files (x86)/steam' /f >/dev/null 2>&1
  # Wine's desktop process started by reg belongs to no display; end it so the installer's own
  # start brings up one on the display it is given.
  WINEPREFIX=$prefix /usr/bin/wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix /usr/bin/wineserver -w 2>/dev/null || true
  local extracted="$prefix/drive_c/TavinMere-Patch"
  mkdir -p "$extracted"
  cp -f "$installer" "$extracted/TavinMere-Patch-Installer.exe"
  if [ ! -f "$extracted/patch.rpa" ] || [ "$(stat -c %s "$extracted/patch.rpa")" != $((patch_mib * 1048576)) ]; then
    head -c $((patch_mib * 1048576)) /dev/urandom >"$extracted/patch.rpa"
  fi
}

# Whether DISPLAY names an X server that answers.
display_works() {
  [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1
}

# Fails when a C or C++ file of the repository is not formatted as .clang-format says.
check_format() {
  local files
  mapfile -t files < <(cd "$ROOT" && git ls-files '*.c' '*.cpp' '*.h' | grep -v 'stb_vorbis')
  (cd "$ROOT" && clang-format --dry-run --Werror "${files[@]}") || {
    echo "Not formatted: run clang-format -i on the files above." >&2
    return 1
  }
}
