#!/usr/bin/env bash
# Live share and view: coding a shared picture with its sound and decoding it
# on the viewer's side (640x512, and 1280x1024 halved to 640x512); the game
# thread's cost per frame while sharing (the worker codes) beside the same
# cost while recording with the session recorder; the game thread's cost per
# frame while viewing a 640x512 stream at its default size.
# Runs the Windows build whose programs run here under Wine (the preset's
# build folder, or SHARE_BENCH_BUILD; the program is built if needed).
#   SHARE_BENCH_FRAMES (default 600) frames per game-thread run.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
cd "$ROOT"
build="${SHARE_BENCH_BUILD:-build/$ORVALO_TEST_PRESET}"
frames="${SHARE_BENCH_FRAMES:-600}"
if [ ! -f "$build/build.ninja" ]; then
  cmake --preset "$ORVALO_TEST_PRESET" -B "$build" -Wno-dev >/dev/null 2>&1 || die "share bench: configure of $build failed"
fi
cmake --build "$build" --target share_bench >/dev/null 2>&1 || die "share bench: build of share_bench in $build failed"
[ -f "$build/bin/share_bench.exe" ] || die "share bench: $build/bin/share_bench.exe missing"
cd "$build/bin" && "$ROOT/scripts/lib/with-display" "$ROOT/scripts/lib/wine-run" share_bench.exe "$frames"
