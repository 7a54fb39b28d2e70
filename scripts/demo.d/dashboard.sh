#!/usr/bin/env bash
# The dashboard driven as a player drives it: the sample game runs through
# our d3d9.dll, the player signs in from the dashboard, records with R,
# browses the recordings, hands one over for encoding (a stand-in of the
# desktop program encodes it) and plays the video.
#   scripts/demo.d/dashboard.sh <output folder>
# Leaves 01-sign-in.png, 02-contacts.png, 03-recording.png (REC blinking),
# 04-recordings-page.png, 05-player.png, the logs and run.txt (the checks).
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
cd "$ROOT"
out="${1:?usage: dashboard.sh <output folder>}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
build="$ROOT/build/$ORVALO_TEST_PRESET"
[ -f "$build/proxy9/d3d9.dll" ] && [ -f "$build/bin/sample9.exe" ] || die "dashboard demo: $build has no d3d9.dll or sample9.exe"
cmake --build "$build" --target encode_standin >/dev/null 2>&1 || die "dashboard demo: encode_standin does not build"
rm -f "$out"/*.png
"$SYS_PYTHON" ui/tests/dashboard_e2e.py "$build/proxy9/d3d9.dll" "$build/bin" --out "$out" >"$out/run.txt" 2>&1
rc=$?
echo "dashboard demo: $(cd "$out" && ls *.png 2>/dev/null | tr '\n' ' ')($(grep -c '^ok:' "$out/run.txt") checks passed, $(grep -c '^FAIL:' "$out/run.txt") failed)"
exit $rc
