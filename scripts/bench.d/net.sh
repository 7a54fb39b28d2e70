#!/usr/bin/env bash
# Network layer benchmarks:
#   - a 1 MiB chat message fed to the chat client one byte per pump (the time
#     per byte stays flat: parsing is linear);
#   - the viewer's packet reassembly under one-byte pieces: one packet in
#     1,000 to 40,000 pieces, an 8 MiB packet in whole-datagram pieces, and a
#     viewer flooded with 256 datagrams of 2,000 pieces (worst frame);
#   - sharer -> relay -> viewer through the local test service on loopback,
#     at 0 % and 5 % datagram loss, at the default share settings and at 10
#     times them: packets delivered, goodput, CPU time per game-thread pump.
# Runs the Windows build whose programs run here under Wine (the preset's
# build folder, or NET_BENCH_BUILD; the programs are built if needed).
# Exits non-zero when a benchmark program failed.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
cd "$ROOT"
build="${NET_BENCH_BUILD:-build/$ORVALO_TEST_PRESET}"
frames="${NET_BENCH_FRAMES:-200}"

if [ ! -f "$build/build.ninja" ]; then
  cmake --preset "$ORVALO_TEST_PRESET" -B "$build" -Wno-dev >/dev/null 2>&1 || die "net bench: configure of $build failed"
fi
cmake --build "$build" --target net_relay_bench net_parse_bench net_cache_bench >/dev/null 2>&1 || die "net bench: build of the benchmarks in $build failed"
bin="$build/bin"
[ -x "$bin/net_relay_bench.exe" ] || die "net bench: $bin/net_relay_bench.exe missing"

work="$(mktemp -d)"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT
start() {  # <name> [options...]
  "$SYS_PYTHON" tools/testservice/testservice.py --ports-file "$work/$1.json" --max-seconds 900 "${@:2}" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/$1.json" ] && return; sleep 0.1; done
  die "net bench: test service did not start"
}
vsport() { "$SYS_PYTHON" -c 'import json,sys; print(json.load(open(sys.argv[1]))["vs"])' "$work/$1.json"; }
start clean
start lossy --drop 5 --seed 3

rc=0
echo "== net: chat parsing ($bin/net_parse_bench.exe 1)"
scripts/lib/wine-run "$bin/net_parse_bench.exe" 1 || rc=1
echo "== net: packet reassembly ($bin/net_cache_bench.exe)"
scripts/lib/wine-run "$bin/net_cache_bench.exe" || rc=1
echo "== net: share -> relay -> viewer over loopback, $frames share frames (video + audio packet each)"
for scale in 1 10; do
  scripts/lib/wine-run "$bin/net_relay_bench.exe" "$(vsport clean)" "0% loss" "$frames" "$scale" || rc=1
  scripts/lib/wine-run "$bin/net_relay_bench.exe" "$(vsport lossy)" "5% loss" "$frames" "$scale" || rc=1
done
exit $rc
