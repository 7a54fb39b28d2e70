#!/usr/bin/env bash
# Records a few seconds of the sample game's picture with the HUD over it and
# a known tone from the capture device, then reads the recording back.
# Leaves the .rec and .di files, a handful of decoded frames (PNG) and the
# sound (WAV) in the folder given.   scripts/demo.d/record.sh <folder>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/env.sh"
out="$(mkdir -p "$1" && cd "$1" && pwd)"
build="$root/build/$ORVALO_TEST_PRESET"
rm -f "$out"/*.rec "$out"/*.di "$out"/*.bmp "$out"/*.png "$out"/sound.wav
# A sound home whose capture device plays a tone (a file device behind a plug).
home="$out/.soundhome"
mkdir -p "$home"
cat > "$home/.asoundrc" <<ASOUND
pcm.!default {
  type plug
  slave { pcm "signal" format S32_LE }
}
pcm.signal {
  type file
  slave.pcm "null"
  file "/dev/null"
  infile "$home/signal.raw"
  format "raw"
}
ctl.!default { type hw card 0 }
ASOUND
# Ten seconds of a 220 Hz tone on the left and 330 Hz on the right (32-bit
# samples, as the plug hands them to the file device).
/usr/bin/python3 - "$home/signal.raw" <<'PY'
import math, struct, sys
rate, seconds = 44100, 10
with open(sys.argv[1], "wb") as f:
    for i in range(rate * seconds):
        l = int(12000 * math.sin(2 * math.pi * 220 * i / rate))
        r = int(12000 * math.sin(2 * math.pi * 330 * i / rate))
        f.write(struct.pack("<ii", l << 16, r << 16))
PY
ORVALO_SOUND_HOME="$home" "$root/scripts/lib/with-display" "$root/scripts/lib/wine-run" \
  "$build/bin/record_demo.exe" "Z:${out//\//\\}\\" 2>&1 | tr -d '\r' | tee "$out/record-output.txt"
for f in "$out"/*.bmp; do
  [ -f "$f" ] && convert-im6.q16 "$f" "${f%.bmp}.png" && rm -f "$f"
done
rm -rf "$home"
echo "record demo: the recording, its .di file, frames as PNG and sound.wav are in $out"
