#!/usr/bin/env bash
# Desktop demonstration: the desktop program under Wine against the local
# test service, driven as a user would: sign in, refresh the games list (the
# sample game is detected), "Insert All" in HUD Config, launch the game from
# "Play Game", then take the HUD out and delete the game again; then the
# friends page with avatars, a chat with a friend playing the sample game
# (the HUD in the game signed in as bo), Add Friend, the friends' web pages
# and the update check with its installer (a stand-in program of ours that
# records that it ran).
#   scripts/demo.d/desktop.sh <output folder>
# Leaves 01-sign-in.png, 02-games.png, 03-hud-config.png,
# 04-game-with-hud.png, 05-friends.png, 06-chat.png (the desktop's chat
# window beside the game with the HUD's chat window), 06-chat-game.png (the
# game's frame), 07-update.png, desktop.log, friends-desktop.log,
# friends-game.log, run.txt, friends-run.txt and friends-game-run.txt (what
# the driver did and saw).
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
cd "$ROOT"
out="${1:?usage: desktop.sh <output folder>}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
build="$ROOT/build/$ORVALO_TEST_PRESET"
cmake --build "$build" --target OrvaloHUDDesktop DllPlacer desktop_driver standin_program proxy9 sample9 >/dev/null 2>&1 ||
  die "desktop demo: build of the desktop programs in $build failed"
[ -f "$build/bin/OrvaloHUDDesktop.exe" ] || die "desktop demo: $build/bin/OrvaloHUDDesktop.exe missing"
rm -f "$out"/0*.png "$out/desktop.log" "$out/friends-desktop.log" "$out/friends-game.log"
ORVALO_BUILD="$build" "$SYS_PYTHON" desktop/tests/desktop-e2e --out "$out" >"$out/run.txt" 2>&1
rc=$?
ORVALO_BUILD="$build" "$SYS_PYTHON" desktop/tests/friends-e2e --out "$out" >"$out/friends-run.txt" 2>&1
frc=$?
ORVALO_BUILD="$build" "$SYS_PYTHON" desktop/tests/friends-game-e2e --out "$out" >"$out/friends-game-run.txt" 2>&1
grc=$?
runs=("$out/run.txt" "$out/friends-run.txt" "$out/friends-game-run.txt")
echo "desktop demo: screenshots and logs in $out ($(cat "${runs[@]}" | grep -c '^ok:') checks passed, $(cat "${runs[@]}" | grep -c '^FAIL:') failed)"
[ $rc -eq 0 ] && [ $frc -eq 0 ] && [ $grc -eq 0 ]
