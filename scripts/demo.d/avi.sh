#!/usr/bin/env bash
# Records a few seconds of the sample game with the AVI recorder (recorder
# type 1) and a tone from a capture source paced in real time, then reads the
# file back. Leaves the .avi file, a handful of its pictures (PNG) and its
# sound (WAV) in the folder given.   scripts/demo.d/avi.sh <folder>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/env.sh"
out="$(mkdir -p "$1" && cd "$1" && pwd)"
build="$root/build/$ORVALO_TEST_PRESET"
[ -f "$build/bin/avi_demo.exe" ] || die "avi demo: avi_demo.exe not built in $build"
rm -f "$out"/*.avi "$out"/avi-frame-*.bmp "$out"/avi-frame-*.png "$out"/avi-sound.wav
pulse="$(mktemp -d)"
trap '"$root/scripts/lib/paced-sound" stop "$pulse"; rm -rf "$pulse"' EXIT
"$root/scripts/lib/paced-sound" start "$pulse"
ORVALO_PULSE_DIR="$pulse" "$root/scripts/lib/with-display" "$root/scripts/lib/wine-run" \
  "$build/bin/avi_demo.exe" "Z:${out//\//\\}\\" 2>&1 | tr -d '\r' | tee "$out/avi-output.txt"
for f in "$out"/avi-frame-*.bmp; do
  if [ -f "$f" ]; then convert-im6.q16 "$f" "${f%.bmp}.png" && rm -f "$f"; fi
done
for what in "*.avi" "avi-frame-*.png" "avi-sound.wav"; do
  compgen -G "$out/$what" >/dev/null || die "avi demo: no $what in $out"
done
echo "avi demo: the recording, pictures as PNG and avi-sound.wav are in $out"
