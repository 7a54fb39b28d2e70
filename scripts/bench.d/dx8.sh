#!/usr/bin/env bash
# The Direct3D 8 proxy's cost, measured as for Direct3D 9: per frame, the
# sample game through the system runtime and through our d3d8.dll (no HUD
# window shown); per call, the wrapper against a stand-in device and a real
# one; a frame with the HUD shown through the wrapper against the same frame
# presented on the runtime's device directly; and the HUD's cost on the render
# thread while recording (sound paced in real time), through the ring of
# device-side copies and synchronously.
#   scripts/bench.d/dx8.sh [frames] [rounds]   (build dir: build/<preset>)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/env.sh"
frames=${1:-300}; rounds=${2:-10}
build="$root/build/$ORVALO_TEST_PRESET"
for f in proxy8/d3d8.dll bin/sample8.exe bin/call_bench8.exe bin/hud_bench8.exe; do
  [ -f "$build/$f" ] || die "dx8 bench: $f not built in $build"
done
game="$(mktemp -d)"
trap '"$root/scripts/lib/paced-sound" stop "$game/pulse"; rm -rf "$game"; "$root/scripts/lib/settings" loginShowIntro=' EXIT
cp "$build/bin/sample8.exe" "$build/proxy8/d3d8.dll" "$game/"
cp "$build"/bin/av*.dll "$build"/bin/sw*.dll "$game/" 2>/dev/null || true
echo "== Direct3D 8 proxy cost per frame (sample8, $frames frames x $rounds rounds, 1280x1024, no HUD window) =="
"$root/scripts/lib/settings" loginShowIntro=0
(cd "$game" && "$root/scripts/lib/with-display" "$root/scripts/lib/wine-run" sample8.exe \
    --width 1280 --height 1024 --bench "$frames" --rounds "$rounds") 2>&1 | tr -d '\r' |
  grep -E '^sample8: bench (system|proxy|ratio)'
"$root/scripts/lib/settings" loginShowIntro=
echo "== Direct3D 8 wrapper's cost per call and per frame with the HUD shown =="
"$root/scripts/lib/with-display" "$root/scripts/lib/wine-run" "$build/bin/call_bench8.exe" 2>&1 | tr -d '\r' |
  grep '^call_bench8'
echo "== Direct3D 8: HUD cost on the render thread (recording with sound paced in real time) =="
"$root/scripts/lib/paced-sound" start "$game/pulse"
ORVALO_PULSE_DIR="$game/pulse" "$root/scripts/lib/with-display" "$root/scripts/lib/wine-run" \
  "$build/bin/hud_bench8.exe" "$frames" 2>&1 | tr -d '\r' | grep '^hud_bench8'
