#!/usr/bin/env bash
# The Direct3D 8 sample game with our d3d8.dll beside it: the HUD over the
# game on the first frames, then the dashboard moved with the hot key and the
# arrow keys (the game does not see those keys). Leaves 01-hud-shown.png, 02-dashboard-moved.png, the proxy's log
# (proxy8.log), what the game printed (game8-output.txt) and the game
# recorded with the AVI recorder (scripts/lib/avi-demo) in the folder given;
# other files there (pictures of other pieces) are left alone.
#   scripts/demo.d/dx8.sh <folder>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/env.sh"
out="$(mkdir -p "$1" && cd "$1" && pwd)"
build="$root/build/$ORVALO_TEST_PRESET"
[ -f "$build/proxy8/d3d8.dll" ] && [ -f "$build/bin/sample8.exe" ] || die "dx8 demo: d3d8.dll or sample8.exe not built in $build"
game="$(mktemp -d)"
trap 'rm -rf "$game"; "$root/scripts/lib/settings" logFileName=' EXIT
cp "$build/bin/sample8.exe" "$build/proxy8/d3d8.dll" "$game/"
cp "$build"/bin/av*.dll "$build"/bin/sw*.dll "$game/" 2>/dev/null || true
w() { echo "Z:${1//\//\\}"; }
rm -f "$out/01-hud-shown.png" "$out/02-dashboard-moved.png" "$out/proxy8.log" "$out/game8-output.txt"
"$root/scripts/lib/settings" "logFileName=$(w "$out/proxy8.log")" loginShowIntro=
# Insert pressed twice (hidden, shown again: the dashboard has the focus),
# then held with Right x6 and Down x3: the dashboard moves by (60, 30).
actions=(--at 20:key:45 --at 24:key:45 --at 30:keydown:45)
for f in 32 34 36 38 40 42; do actions+=(--at "$f:key:39"); done
for f in 44 46 48; do actions+=(--at "$f:key:40"); done
actions+=(--at 52:keyup:45)
(cd "$game" && "$root/scripts/lib/with-display" "$root/scripts/lib/wine-run" sample8.exe \
    --frames 80 --fps 25 --swap copy "${actions[@]}" \
    --dump "10:$(w "$game/01-hud-shown.bmp")" \
    --dump "70:$(w "$game/02-dashboard-moved.bmp")") >"$out/game8-output.txt" 2>&1 || true
for f in 01-hud-shown 02-dashboard-moved; do
  [ -f "$game/$f.bmp" ] && convert-im6.q16 "$game/$f.bmp" "$out/$f.png"
  [ -s "$out/$f.png" ] || die "dx8 demo: no $f.png (see $out/game8-output.txt)"
done
tr -d '\r' <"$out/game8-output.txt" | grep -qx 'sample8: done' || die "dx8 demo: the game did not finish (see $out/game8-output.txt)"
grep -q "Proxydx8: First Present" "$out/proxy8.log" || die "dx8 demo: the proxy did not draw the HUD (see $out/proxy8.log)"
! grep -q "got WM_KEYDOWN vk=39" "$out/game8-output.txt" || die "dx8 demo: the arrow keys reached the game (see $out/game8-output.txt)"
# The game recorded with the AVI recorder and read back as pictures and sound.
"$root/scripts/lib/avi-demo" "$out" >/dev/null || die "dx8 demo: the AVI recording failed (see $out/avi-output.txt)"
echo "dx8 demo: 01-hud-shown.png, 02-dashboard-moved.png, proxy8.log, game8-output.txt and an AVI recording with its pictures (avi-frame-NNN.png) and sound (avi-sound.wav) are in $out"
