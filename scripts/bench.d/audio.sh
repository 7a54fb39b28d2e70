#!/usr/bin/env bash
# How long a caller (the game's render thread) waits for the HUD's playback
# thread per piece of sound: the round trip of CVQHUD_AudioT::Play over a
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
echo "== playback thread round trip (CVQHUD_AudioT) =="
"$ROOT/scripts/lib/wine-run" "$build/bin/media_playback_bench.exe" "${AUDIO_BENCH_CALLS:-2000}"
