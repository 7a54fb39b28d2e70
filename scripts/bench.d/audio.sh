#!/usr/bin/env bash
# What a piece of sound costs its caller (the game's render thread): the time
# CVQHUD_AudioT::Play takes to post it to the HUD's playback thread, over a
# sink that does nothing and over the platform's wave-out (Wine's null
# device). Runs the Windows build whose programs run here (the preset's
# build folder, or AUDIO_BENCH_BUILD).
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
cd "$ROOT"
build="${AUDIO_BENCH_BUILD:-build/$ORVALO_TEST_PRESET}"
if [ ! -f "$build/build.ninja" ]; then
  cmake --preset "$ORVALO_TEST_PRESET" -B "$build" -Wno-dev >/dev/null 2>&1 || die "audio bench: configure of $build failed"
fi
cmake --build "$build" --target media_playback_bench >/dev/null 2>&1 || die "audio bench: build failed"
echo "== caller's time per piece of sound (CVQHUD_AudioT::Play) =="
"$ROOT/scripts/lib/wine-run" "$build/bin/media_playback_bench.exe" "${AUDIO_BENCH_CALLS:-2000}"
