#!/usr/bin/env bash
# The AVI recorder's cost on the render thread against the .rec recorder's,
# at 1024x768 and 1920x1080, each fed a back buffer in memory at 60 frames per
# second with sound that arrives in real time. The AVI recorder copies,
# converts and writes uncompressed pictures on the render thread; the .rec
# recorder hands its copy to an encoder thread.
#   scripts/bench.d/record-avi.sh [frames]
# Runs the Windows build of the preset that runs here (built if needed).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/env.sh"
frames=${1:-300}
build="$root/build/$ORVALO_TEST_PRESET"
cmake --build "$build" --target media_avi_bench >/dev/null 2>&1 || build=$("$root/scripts/lib/build-windows")
out=$(mktemp -d)
trap '"$root/scripts/lib/paced-sound" stop "$out/pulse" >/dev/null 2>&1 || true; rm -rf "$out"' EXIT
"$root/scripts/lib/paced-sound" start "$out/pulse"
echo "== recording: AVI recorder against the .rec recorder on the render thread, $frames frames at 60 fps offered =="
(cd "$out" && ORVALO_PULSE_DIR="$out/pulse" "$root/scripts/lib/wine-run" "$build/bin/media_avi_bench.exe" "$frames") 2>&1 |
  grep '^avi_bench'
