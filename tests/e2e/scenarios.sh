# The end-to-end scenarios, run one at a time by tests/e2e/run. Each starts from a fresh prefix with
# the demo Steam world: Steam on C:, the game in D:\SteamLibrary, the installer in C:\TavinMere-Patch.
# shellcheck shell=bash

TITLE_EN="[Orlevane Games] TavinMere Patch Installer (English)"
TITLE_TW="【奧勒凡遊戲】『塔文湖邊的小屋』修補檔安裝程式（繁體中文）"
D_GAME='D:\SteamLibrary\steamapps\common\TavinMere\game'
STATE_READY=0
STATE_INSTALLING=1
STATE_COMPLETED=2
ACTION_BUTTON=9
NEXT_LOCATION=8
CLOSE_BUTTON=10

# A patch big enough that a copy lasts a few seconds (sparse: cheap to make, real bytes to copy).
big_patch() { rm -f "$EXTRACTED/patch.rpa"; truncate -s 3G "$EXTRACTED/patch.rpa"; }

scenario_detect_install_launch() {
  start_installer
  wait_window "$LANGUAGE"
  screenshot language-window
  click_card 2
  wait_window "$MAIN"
  probe wait "$LANGUAGE" 1 && fail "the language window is still open"
  title_is "$MAIN" "$TITLE_EN"
  [ "$(probe location)" = "$D_GAME" ] || fail "shows '$(probe location)', not $D_GAME"
  screenshot ready
  key Return
  status_is "Installation complete · You can start the game now"
  same_file "$EXTRACTED/patch.rpa" "$GAME_ROOT/game/patch.rpa"
  screenshot completed
  click_control $ACTION_BUTTON $STATE_COMPLETED
  for _ in $(seq 100); do [ -f "$GAME_ROOT/started.txt" ] && break; sleep 0.2; done
  [ -f "$GAME_ROOT/started.txt" ] || fail "the game was not started"
  # The stand-in writes the folder it started in as UTF-16.
  local started_in
  started_in=$(iconv -f UTF-16LE -t UTF-8 "$GAME_ROOT/started.txt")
  grep -qiF 'D:\SteamLibrary\steamapps\common\TavinMere' <<<"$started_in" || fail "the game started in $started_in"
  screenshot game-started
  expect_exit_code 0
}

scenario_two_libraries() {
  # A second library on E: holding the game too; D:'s manifest is older, so E: comes first.
  local e_world=$OUT/world/e-drive/Games/SteamLibrary
  mkdir -p "$e_world/steamapps/common/TavinMere/game"
  cp "$GAME_ROOT/Tavinmere.exe" "$e_world/steamapps/common/TavinMere/"
  cp "$GAME_ROOT/game/archive.rpa" "$e_world/steamapps/common/TavinMere/game/"
  cp "$OUT/world/d-drive/SteamLibrary/steamapps/appmanifest_2719305.acf" "$e_world/steamapps/"
  ln -sfn "$OUT/world/e-drive" "$WINEPREFIX/dosdevices/e:"
  sed -i 's|"D:\\\\SteamLibrary"|"D:\\\\SteamLibrary"\n\t}\n\t"2"\n\t{\n\t\t"path"\t\t"E:\\\\Games\\\\SteamLibrary"|' \
    "$WINEPREFIX/drive_c/Program Files (x86)/Steam/steamapps/libraryfolders.vdf"
  touch -d '2025-01-01' "$OUT/world/d-drive/SteamLibrary/steamapps/appmanifest_2719305.acf"
  touch -d '2026-06-01' "$e_world/steamapps/appmanifest_2719305.acf"
  start_installer --lang en
  wait_window "$MAIN"
  [ "$(probe location)" = 'E:\Games\SteamLibrary\steamapps\common\TavinMere\game' ] ||
    fail "preselected '$(probe location)', not the newer E: library"
  screenshot newer-preselected
  click_control $NEXT_LOCATION $STATE_READY
  [ "$(probe location)" = "$D_GAME" ] || fail "the right arrow selected '$(probe location)'"
  screenshot other-selected
  key Return
  status_is "Installation complete · You can start the game now"
  same_file "$EXTRACTED/patch.rpa" "$GAME_ROOT/game/patch.rpa"
  no_file "$e_world/steamapps/common/TavinMere/game/patch.rpa"
}

scenario_lang_dest() {
  # A game outside Steam's libraries, named on the command line with spaces and CJK characters.
  local root="$WINEPREFIX/drive_c/我的 游戏/TavinMere 塔文"
  mkdir -p "$root/game"
  cp "$GAME_ROOT/Tavinmere.exe" "$root/"
  cp "$GAME_ROOT/game/archive.rpa" "$root/game/"
  start_installer --lang zh-TW --dest 'C:\我的 游戏\TavinMere 塔文'
  wait_window "$MAIN" 60000
  probe wait "$LANGUAGE" 1 && fail "the language window was shown despite --lang"
  title_is "$MAIN" "$TITLE_TW"
  [ "$(probe location)" = 'C:\我的 游戏\TavinMere 塔文\game' ] || fail "shows '$(probe location)' first"
  screenshot manual-first
  key Return
  for _ in $(seq 100); do [ -f "$root/game/patch.rpa" ] && cmp -s "$root/game/patch.rpa" "$EXTRACTED/patch.rpa" && break; sleep 0.2; done
  same_file "$EXTRACTED/patch.rpa" "$root/game/patch.rpa"
  no_file "$GAME_ROOT/game/patch.rpa"
  screenshot completed
}

scenario_cancel() {
  big_patch
  start_installer --lang en
  wait_window "$MAIN"
  key Return
  sleep 0.3
  key Escape
  status_is "Installation cancelled"
  screenshot cancelled
  no_file "$GAME_ROOT/game/patch.rpa"
}

scenario_read_only() {
  # The player's old patch, write-protected: the copy is refused and the restart is offered.
  echo old >"$GAME_ROOT/game/patch.rpa"
  "$WINE" cmd /c attrib +r 'D:\SteamLibrary\steamapps\common\TavinMere\game\patch.rpa' >/dev/null 2>&1
  # Wine keeps the read-only attribute in the mode bits alone, which root (as in CI) writes through;
  # the immutable flag refuses even root, as Windows refuses a protected folder.
  if [ "$(id -u)" = 0 ]; then
    chattr +i "$GAME_ROOT/game/patch.rpa" || fail "cannot make the old patch unwritable for root here"
  fi
  start_installer --lang en
  wait_window "$MAIN"
  key Return
  msgbox_expect "The game folder is not writable. Restart as administrator and try again?"
  probe answer IDNO
  sleep 1
  probe wait "$MAIN" 1000 || fail "the window closed after No"
  local status
  status=$(probe status)
  grep -qF "Copy failed: Access denied." <<<"$status" || fail "status reads '$status'"
  screenshot failed
  [ "$(cat "$GAME_ROOT/game/patch.rpa")" = old ] || fail "the old patch was changed"
}

scenario_in_use() {
  echo old >"$GAME_ROOT/game/patch.rpa"
  ("$WINE" "$PROBE" hold 'D:\SteamLibrary\steamapps\common\TavinMere\game\patch.rpa' 60000 >/dev/null 2>&1 &)
  sleep 2
  start_installer --lang en
  wait_window "$MAIN"
  key Return
  msgbox_expect "The patch is in use. Close the game and any program using it, then try again."
  probe answer IDOK
  screenshot in-use
}

scenario_temp_folder() {
  local temp
  temp=$("$WINE" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
  local unix_temp
  unix_temp=$(WINEPREFIX=$WINEPREFIX winepath -u "$temp" 2>/dev/null)
  mkdir -p "$unix_temp/TavinMere-Patch"
  cp "$EXTRACTED/TavinMere-Patch-Installer.exe" "$EXTRACTED/patch.rpa" "$unix_temp/TavinMere-Patch/"
  start_installer --from "$unix_temp/TavinMere-Patch" --lang en
  msgbox_expect "Return to the ZIP and choose Extract All."
  grep -qF "Extract the ZIP first" <<<"$(probe msgbox 1000)" || fail "the box is not titled 'Extract the ZIP first'"
  probe answer IDOK
  expect_exit_code 0
  probe wait "$MAIN" 1 && fail "a main window was opened"
  no_file "$GAME_ROOT/game/patch.rpa"
}

scenario_no_patch() {
  rm -f "$EXTRACTED/patch.rpa"
  start_installer --lang en
  wait_window "$MAIN"
  local status
  status=$(probe status)
  grep -qF "patch.rpa not found" <<<"$status" || fail "status reads '$status'"
  screenshot no-patch
  key Return
  sleep 1
  probe msgbox 500 && fail "Enter did something"
  [ "$(probe status)" = "$status" ] || fail "Enter changed the status"
  no_file "$GAME_ROOT/game/patch.rpa"
  probe control 11 $STATE_READY >/dev/null || fail "no Open app folder button"
}

scenario_close_during_copy() {
  big_patch
  start_installer --lang en
  wait_window "$MAIN"
  key Return
  sleep 0.3
  probe close "$MAIN"
  local box
  box=$(probe msgbox 30000) || fail "no question on closing"
  grep -qF "Installation is still running. Cancel it and exit?" <<<"$box" || fail "asked '$box'"
  grep -q "^default IDNO$" <<<"$box" || fail "No is not the default: $box"
  screenshot question
  probe answer IDYES
  expect_exit_code 0
  no_file "$GAME_ROOT/game/patch.rpa"
}

scenario_language_escape() {
  start_installer
  wait_window "$LANGUAGE"
  key Escape
  expect_exit_code 0
  probe wait "$MAIN" 1 && fail "a main window was opened"
  no_file "$GAME_ROOT/game/patch.rpa"
}
