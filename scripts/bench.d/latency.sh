#!/usr/bin/env bash
# End-to-end latency of a live share at default settings over loopback:
# from the sharer's game capturing a frame to the viewer's view window
# showing it, through the relay of the local test service (started here).
# The sharer and the viewer run in one program on one clock; the share's
# sound comes from a source paced in real time. At 640x512 (the share's own
# size) and 1280x1024 (halved by the share).
# Runs the Windows build whose programs run here under Wine (the preset's
# build folder, or LATENCY_BENCH_BUILD; the program is built if needed).
#   LATENCY_BENCH_SECONDS (default 40) seconds measured per size.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
cd "$ROOT"
build="${LATENCY_BENCH_BUILD:-build/$ORVALO_TEST_PRESET}"
seconds="${LATENCY_BENCH_SECONDS:-40}"
if [ ! -f "$build/build.ninja" ]; then
  cmake --preset "$ORVALO_TEST_PRESET" -B "$build" -Wno-dev >/dev/null 2>&1 || die "latency bench: configure of $build failed"
fi
cmake --build "$build" --target latency_bench >/dev/null 2>&1 || die "latency bench: build of latency_bench in $build failed"
[ -f "$build/bin/latency_bench.exe" ] || die "latency bench: $build/bin/latency_bench.exe missing"
build="$(cd "$build" && pwd)"

work="$(mktemp -d)"
service=""
cleanup() {
  [ -n "$service" ] && kill "$service" 2>/dev/null
  "$ROOT/scripts/lib/paced-sound" stop "$work/pulse" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
"$SYS_PYTHON" tools/testservice/testservice.py --ports-file "$work/ports.json" \
  --max-seconds $((2 * seconds + 300)) >"$work/service.out" 2>&1 &
service=$!
for _ in $(seq 100); do [ -s "$work/ports.json" ] && break; sleep 0.1; done
[ -s "$work/ports.json" ] || die "latency bench: test service did not start"
vs=$("$SYS_PYTHON" -c 'import json,sys; print(json.load(open(sys.argv[1]))["vs"])' "$work/ports.json")
"$ROOT/scripts/lib/paced-sound" start "$work/pulse" || die "latency bench: no paced sound"

echo "== live share latency: sharer's capture -> relay -> viewer's window (default settings, loopback) =="
rc=0
for size in "640 512" "1280 1024"; do
  (cd "$build/bin" && ORVALO_PULSE_DIR="$work/pulse" "$ROOT/scripts/lib/with-display" "$ROOT/scripts/lib/wine-run" \
    latency_bench.exe "$vs" "$seconds" $size) 2>&1 | grep '^latency_bench'
  [ "${PIPESTATUS[0]}" = 0 ] || rc=1
done
exit $rc
