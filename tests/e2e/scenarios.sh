# The end-to-end scenarios, run one at a time by tests/e2e/run. Each starts from a fresh prefix with
# the demo Steam world: Steam on C:, the game in D:\SteamLibrary, the installer in C:\TavinMere-Patch.
# shellcheck shell=bash

KNOWN_DLLS='(ntdll|kernel32|kernelbase|user32|win32u|gdi32|advapi32|msvcrt|ole32|oleaut32|combase|rpcrt4|sechost|shell32|shlwapi|comdlg32|imm32|ws2_32|psapi|setupapi|shcore)\.dll'


# An update ended from outside mid-copy (Task Manager, a crash), driven by an assistive tool's actions,
# keeps the old patch and leaves nothing else, at once; the next run, with the mouse and keys only
# (language card, Enter, the launch button), installs and starts the game in its root.
scenario_killed_mid_copy_then_installed() {
  head -c 65536 /dev/urandom >"$GAME_ROOT/game/patch.rpa" && cp "$GAME_ROOT/game/patch.rpa" "$OUT/old-patch"
  # A patch whose copy lasts a while (sparse: cheap to make, real bytes to copy).
  mv "$EXTRACTED/patch.rpa" "$OUT/patch.rpa" && truncate -s 2G "$EXTRACTED/patch.rpa"
  start_installer
  wait_window $LANGUAGE
  probe press $LANGUAGE English || fail "the English card cannot be pressed"
  wait_window $MAIN
  shows "A patch already exists there and will be overwritten"
  probe press $MAIN "Install patch" || fail "'Install patch' cannot be pressed"
  # Ended the moment the copy shows bytes: the 2 GiB take far longer than that reaction on any machine.
  probe kill $MAIN "Z:$GAME_ROOT/game/patch.rpa.partial" || fail "the copy never began, or could not be ended"
  expect_exit_code any
  [ "$(ls "$GAME_ROOT/game" | tr '\n' ' ')" = "archive.rpa patch.rpa scripts.rpa " ] || fail "the game folder holds $(ls "$GAME_ROOT/game")"
  same_file "$OUT/old-patch" "$GAME_ROOT/game/patch.rpa"
  mv -f "$OUT/patch.rpa" "$EXTRACTED/patch.rpa"
  start_installer
  wait_window $LANGUAGE
  click $LANGUAGE English
  wait_window $MAIN
  xdotool key --clearmodifiers Return && sleep 0.5
  shows "$DONE"
  same_file "$EXTRACTED/patch.rpa" "$GAME_ROOT/game/patch.rpa"
  click $MAIN "Launch game"
  for _ in $(seq 100); do [ -f "$GAME_ROOT/started.txt" ] && break; sleep 0.2; done
  grep -qiF 'D:\SteamLibrary\steamapps\common\TavinMere' <<<"$(iconv -f UTF-16LE -t UTF-8 "$GAME_ROOT/started.txt")" ||
    fail "the game did not start in its root"
  expect_exit_code 0
}

# A DLL planted beside the installer under the name of any DLL a run loads (as Wine reports them) is
# never loaded, though Wine is told to prefer such copies; a program without protection does load it.
scenario_planted_dlls() {
  local imports folder=$WINEPREFIX/drive_c/planted names overrides="" pid
  imports=$(x86_64-w64-mingw32-objdump -p "$BUILD/bin/TavinMere-Patch-Installer.exe" | sed -n 's/.*DLL Name: //p' |
    tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
  [ "$imports" = "advapi32.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll " ] || fail "imports $imports"
  mkdir -p "$folder"
  cp "$EXTRACTED"/* "$BUILD/standin/dll_probe.exe" "$folder/"
  run_once() {
    start_installer --from "$folder" --lang en
    wait_window $MAIN
    probe tree $MAIN >/dev/null  # an assistive tool's visit loads the accessibility library too
    probe close $MAIN
    expect_exit_code 0
  }
  WINEDEBUG=+pid,+loaddll run_once
  pid=$(grep -m1 -o '^[0-9a-f]*:[0-9a-f]*:trace:loaddll:[a-z_]* Loaded L"C:\\\\planted\\\\TavinMere' "$OUT/installer.log" | cut -d: -f1)
  [ -n "$pid" ] || fail "Wine did not report the installer's loading"
  # What the loader maps before the installer's first line (its imports, KnownDLLs on Windows, and the
  # DLLs Wine builds them on) is the system's doing; from the first DLL the installer loads itself
  # (propsys, right after it restricts the search) every name counts, KnownDLLs aside.
  names=$( (grep "^$pid:" "$OUT/installer.log" | grep -o 'Loaded L"[^"]*"' | sed 's/.*\\\\//; s/"$//' |
    sed -n '/^propsys.dll$/,$p'
    printf '%s\n' gdiplus.dll uxtheme.dll winmm.dll dwmapi.dll comctl32.dll propsys.dll oleacc.dll) |
    tr 'A-Z' 'a-z' | grep '\.dll$' | sort -u | grep -vxE "$KNOWN_DLLS")
  [ "$(wc -l <<<"$names")" -ge 8 ] || fail "Wine reported too few loaded DLLs: $names"
  for name in $names; do
    cp "$BUILD/standin/planted.dll" "$folder/$name"
    overrides="$overrides${overrides:+,}${name%.dll}"
  done
  WINEDLLOVERRIDES="mscoree,mshtml=;$overrides=n,b" run_once
  ls "$folder" | grep '^planted-' && fail "a planted DLL was loaded"
  (cd "$folder" && WINEDLLOVERRIDES="dwmapi=n,b" "$WINE" dll_probe.exe dwmapi.dll >/dev/null 2>&1) || true
  [ -e "$folder/planted-dwmapi.dll.txt" ] || fail "an unprotected program does not pick up the planted DLL here"
}

# A player on Linux with no Steam on the Windows side: the native client in the home with its usual
# symlinks, the installer started as Proton starts a program (HOME, from which Wine derives the home,
# and Proton's variables), a library on an SD card named by its Linux path, and one on a disk that no
# drive reaches in a sandboxed prefix (no Z:, the home behind H:). The symlinked Steam counts once (its
# links made here: Wine 8's CreateSymbolicLinkW reports success and makes none).
scenario_linux_home() {
  local home=$OUT/home steam=$OUT/home/.local/share/Steam sd="$OUT/home/media/SD card 游戏" outside=$OUT/outside lib
  for lib in "$steam" "$sd" "$outside"; do
    mkdir -p "$lib/steamapps/common/TavinMere/game"
    cp "$BUILD/standin/Tavinmere.exe" "$lib/steamapps/common/TavinMere/"
    echo RPA-3.0 >"$lib/steamapps/common/TavinMere/game/data.rpa"
  done
  echo '"AppState" { "installdir" "TavinMere" }' >"$sd/steamapps/appmanifest_2719305.acf"
  printf '"LibraryFolders" { "contentstatsid" "-1" "0" { "path" "%s" } "1" { "path" "%s" } }' "$steam" "$sd" \
    >"$steam/steamapps/libraryfolders.vdf"
  mkdir "$home/.steam" && ln -s ../.local/share/Steam "$home/.steam/steam" && ln -s ../.local/share/Steam "$home/.steam/root"
  rm "$WINEPREFIX/dosdevices/z:" "$WINEPREFIX/dosdevices/d:" && ln -s "$home" "$WINEPREFIX/dosdevices/h:"
  HOME=$home STEAM_COMPAT_CLIENT_INSTALL_PATH=$steam STEAM_COMPAT_LIBRARY_PATHS="$outside/steamapps:$sd/steamapps" \
    start_installer --lang en
  wait_window $MAIN
  shows 'H:\media\SD card 游戏\steamapps\common\TavinMere\game'
  shows "Detected locations  1 / 2"
  probe press $MAIN "Install patch" || fail "'Install patch' cannot be pressed"
  shows "$DONE"
  same_file "$EXTRACTED/patch.rpa" "$sd/steamapps/common/TavinMere/game/patch.rpa"
}
