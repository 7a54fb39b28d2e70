#!/usr/bin/env bash
# The encoder side of recording: the session recorder at 1280x720 and
# 1920x1080 for a fixed number of frames offered at 60 per second (back
# buffer in memory, the null capture device), then the reader's decode rate.
# Built in Release for the Windows preset that runs here, run under Wine.
#   scripts/bench.d/record.sh [frames]     (build dir: build/bench-<preset>)
# ORVALO_BENCH_BUILD names another build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/env.sh"
frames=${1:-300}
build="${ORVALO_BENCH_BUILD:-$root/build/bench-$ORVALO_TEST_PRESET}"
cmake --preset "$ORVALO_TEST_PRESET" -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -Wno-dev \
  >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" --target media_record_bench -j2 >"$build.build.log" 2>&1 || { tail -40 "$build.build.log"; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
echo "== recording: session recorder encoder side, $frames frames at 60 fps offered =="
(cd "$out" && "$root/scripts/lib/wine-run" "$build/bin/media_record_bench.exe" "$frames") 2>&1 | grep '^record_bench'
