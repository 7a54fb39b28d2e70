#!/usr/bin/env bash
# Publishing demonstration: a recording of the sample game handed to the
# desktop program through the registry as the HUD hands it over, encoded to
# Windows Media, sent to a local FTP server and registered with the local
# test service.   scripts/demo.d/publish.sh <output folder>
# Leaves the .wmv, its .jpg, uploads.png, recordings.png, server/ (what the
# FTP server and the test service received) and run.txt.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
cd "$ROOT"
out="${1:?usage: publish.sh <output folder>}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
build="$ROOT/build/$ORVALO_TEST_PRESET"
cmake --build "$build" --target OrvaloHUDDesktop DllPlacer desktop_driver >/dev/null 2>&1 ||
  die "publish demo: build of the desktop programs in $build failed"
# A recording made as the record piece makes it, 20 s long so that the
# uploads page can be seen while it encodes (a few seconds encode faster
# than the page can be caught mid-way).
record="$out/recording"
bash "$ROOT/scripts/demo.d/record.sh" "$record" 600 >"$out/record-first.txt" 2>&1 ||
  die "publish demo: no recording to publish (see $out/record-first.txt)"
rec="$(ls -t "$record"/*.rec | head -1)"
rm -f "$out"/*.wmv "$out"/*.jpg "$out"/*.png
ORVALO_BUILD="$build" "$SYS_PYTHON" desktop/tests/publish-demo --out "$out" --recording "$rec" >"$out/run.txt" 2>&1
rc=$?
echo "publish demo: $(ls "$out" | tr '\n' ' ')($(grep -c '^ok:' "$out/run.txt") checks passed, $(grep -c '^FAIL:' "$out/run.txt") failed)"
exit $rc
