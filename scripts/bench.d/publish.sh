#!/usr/bin/env bash
# Publishing: encoding speed of a recording (1280x720, 60 s by default) to
# Windows Media at profile 0 (640x480) and profile 2 (1280x1024), as a
# multiple of real time, against the codec library's command-line tool doing
# the same conversion (same codecs, sizes and bit rates) in the same run;
# then the FTP upload throughput to a local server.
# Built in Release for the Windows preset that runs here, run under Wine.
#   scripts/bench.d/publish.sh [seconds]     (build dir: build/bench-<preset>)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/env.sh"
seconds=${1:-60}
build="${ORVALO_BENCH_BUILD:-$root/build/bench-$ORVALO_TEST_PRESET}"
cmake --preset "$ORVALO_TEST_PRESET" -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -Wno-dev \
  >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" --target media_wmv_bench publish_bench -j2 >"$build.build.log" 2>&1 ||
  { tail -40 "$build.build.log"; exit 1; }
out=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$out"' EXIT

echo "== publishing: encoding a ${seconds} s 1280x720 recording to Windows Media =="
echo "uptime before: $(uptime)"
"$root/scripts/lib/wine-run" "$build/bin/media_wmv_bench.exe" "Z:${out//\//\\}\\" "$seconds" 2>&1 | tr -d '\r' |
  grep '^wmv_bench' | tee "$out/ours.txt"
if command -v ffmpeg >/dev/null; then
  for profile_line in "0 640 480 563000 128040" "2 1280 1024 2735000 256032"; do
    read -r profile w h vrate arate <<<"$profile_line"
    start=$(date +%s.%N)
    ffmpeg -v error -y -i "$out/bench.avi" -vf "scale=${w}:${h}:flags=bilinear" -c:v wmv2 -b:v "$vrate" -g 120 \
      -bf 0 -c:a wmav2 -b:a "$arate" -ar 44100 -ac 2 -f asf "$out/cli-$profile.wmv"
    end=$(date +%s.%N)
    ours=$(sed -n "s/^wmv_bench profile=$profile .*elapsed=\([0-9.]*\).*/\1/p" "$out/ours.txt")
    awk -v s="$seconds" -v a="$start" -v b="$end" -v o="$ours" -v p="$profile" 'BEGIN {
      e = b - a; printf "ffmpeg_cli profile=%s elapsed=%.2f realtime=%.2fx ours_vs_cli=%.2f\n", p, e, s / e, (o > 0 ? e / o : 0) }'
  done
else
  echo "ffmpeg_cli: the command-line tool is not installed (Debian package ffmpeg)"
fi
echo "uptime after: $(uptime)"

echo "== publishing: FTP upload to a local server =="
mkdir -p "$out/ftp"
"$SYS_PYTHON" "$root/tools/testservice/testservice.py" --ports-file "$out/ports.json" --max-seconds 600 \
  --ftp-root "$out/ftp" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 100); do [ -s "$out/ports.json" ] && break; sleep 0.1; done
http=$("$SYS_PYTHON" -c 'import json,sys; print(json.load(open(sys.argv[1]))["http"])' "$out/ports.json")
"$root/scripts/lib/wine-run" "$build/bin/publish_bench.exe" "$http" 32 2>&1 | tr -d '\r' | grep '^publish_bench'
