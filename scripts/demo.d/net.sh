#!/usr/bin/env bash
# Network demonstration: starts the local test service and runs two clients
# against it under Wine: both sign in, see each other online, chat, and one
# shares a short stream of packets that the other views.
#   scripts/demo.d/net.sh <output folder>
# Writes net-transcript.txt (what the clients did and received) and
# net-service.log (every byte block the service received or sent, JSON lines).
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
cd "$ROOT"
out="${1:?usage: net.sh <output folder>}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
# The Windows build whose programs run here (scripts/demo has configured it).
build="${NET_DEMO_BUILD:-build/$ORVALO_TEST_PRESET}"

if [ ! -f "$build/build.ninja" ]; then
  cmake --preset "$ORVALO_TEST_PRESET" -B "$build" -Wno-dev >/dev/null 2>&1 || die "net demo: configure of $build failed"
fi
cmake --build "$build" --target net_demo >/dev/null 2>&1 || die "net demo: build of net_demo in $build failed"
[ -x "$build/bin/net_demo.exe" ] || die "net demo: $build/bin/net_demo.exe missing"

ports="$(mktemp)"
rm -f "$ports"
"$SYS_PYTHON" tools/testservice/testservice.py --ports-file "$ports" --log "$out/net-service.log" --max-seconds 120 \
  >"$out/net-service.out" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null; rm -f "$ports"' EXIT
for _ in $(seq 100); do [ -s "$ports" ] && break; sleep 0.1; done
[ -s "$ports" ] || die "net demo: test service did not start"
chat="$("$SYS_PYTHON" -c 'import json,sys; print(json.load(open(sys.argv[1]))["chat"])' "$ports")"

scripts/lib/wine-run "$build/bin/net_demo.exe" "$chat" "$out/net-transcript.txt" >/dev/null
rc=$?
echo "net demo: transcript in $out/net-transcript.txt, service log in $out/net-service.log"
exit $rc
