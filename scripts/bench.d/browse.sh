#!/usr/bin/env bash
# The recordings browser and player on the render thread: the HUD's time per
# frame at the composition point with the dashboard shown and idle, with a
# list of 1,000 recordings shown, and with a player playing a 1280x720 video
# (at its own size and at the default 320x240 window). A real device through
# the system runtime inside Xvfb. Built in Release for the Windows preset
# that runs here.
#   scripts/bench.d/browse.sh [frames]     (build dir: build/bench-<preset>)
# ORVALO_BENCH_BUILD names another build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/env.sh"
frames=${1:-300}
build="${ORVALO_BENCH_BUILD:-$root/build/bench-$ORVALO_TEST_PRESET}"
cmake --preset "$ORVALO_TEST_PRESET" -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -Wno-dev \
  >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" --target browse_bench -j2 >"$build.build.log" 2>&1 || { tail -40 "$build.build.log"; exit 1; }
echo "== recordings browser and player: HUD cost per frame, $frames frames per state =="
"$root/scripts/lib/with-display" "$root/scripts/lib/wine-run" "$build/bin/browse_bench.exe" "$frames" 2>&1 |
  grep '^browse_bench'
