#!/usr/bin/env bash
# Records a few seconds of the sample game's picture with the HUD over it and
# a known tone from a capture source paced in real time, then reads the
# recording back.
# Leaves the .rec and .di files, a handful of decoded frames (PNG) and the
# sound (WAV) in the folder given.   scripts/demo.d/record.sh <folder> [pictures]
# (pictures: how many to record, 90 unless given)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/env.sh"
out="$(mkdir -p "$1" && cd "$1" && pwd)"
build="$root/build/$ORVALO_TEST_PRESET"
rm -f "$out"/*.rec "$out"/*.di "$out"/*.bmp "$out"/*.png "$out"/sound.wav
# A capture source that plays a 441 Hz tone in real time, as a sound card
# would, so the recording's sound and pictures cover the same time.
pulse="$(mktemp -d)"
trap '"$root/scripts/lib/paced-sound" stop "$pulse"; rm -rf "$pulse"' EXIT
"$root/scripts/lib/paced-sound" start "$pulse"
ORVALO_PULSE_DIR="$pulse" "$root/scripts/lib/with-display" "$root/scripts/lib/wine-run" \
  "$build/bin/record_demo.exe" "Z:${out//\//\\}\\" ${2:-90} 2>&1 | tr -d '\r' | tee "$out/record-output.txt"
for f in "$out"/*.bmp; do
  if [ -f "$f" ]; then convert-im6.q16 "$f" "${f%.bmp}.png" && rm -f "$f"; fi
done
# The demo program's exit status alone does not prove the leftovers.
for what in "*.rec" "*.di" "frame-*.png" "sound.wav"; do
  compgen -G "$out/$what" >/dev/null || die "record demo: no $what in $out"
done
echo "record demo: the recording, its .di file, frames as PNG and sound.wav are in $out"
