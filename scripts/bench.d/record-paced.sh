#!/usr/bin/env bash
# A long recording of the sample game (through the wrapped device, the HUD
# and the session recorder) with sound that arrives in real time: frames
# skipped because the recorder was busy, the render thread's time on the
# frames that took a copy, and whether the sound came through unbroken.
#   scripts/bench.d/record-paced.sh [seconds] [width] [height]   (default 60 1920 1080)
# Runs the Windows build of the preset that runs here (built if needed).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/env.sh"
seconds=${1:-60}; width=${2:-1920}; height=${3:-1080}
build="$root/build/$ORVALO_TEST_PRESET"
cmake --build "$build" --target record_paced >/dev/null 2>&1 || build=$("$root/scripts/lib/build-windows")
echo "== recording: ${seconds} s of the game at ${width}x${height} with sound paced in real time =="
bash "$root/proxy/dx9/tests/record-paced-test.sh" "$build/bin/record_paced.exe" "$seconds" "$width" "$height" ||
  echo "record-paced: the recording did not pass its checks (exit $?)"
