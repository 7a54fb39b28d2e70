#!/usr/bin/env bash
# Throughput of the pixel-block conversions (32-bit row copies against
# memcpy, 16- and 24-bit conversions) at 1280x1024 and 1920x1080, built
# natively in Release without sanitizers.
#   scripts/bench.d/pixels.sh            (build dir: build/bench-native)
# ORVALO_BENCH_BUILD names another build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${ORVALO_BENCH_BUILD:-$root/build/bench-native}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Release -DORVALO_SANITIZE=OFF -Wno-dev >"$build.configure.log" 2>&1 ||
  { cat "$build.configure.log"; exit 1; }
cmake --build "$build" --target hud_pixels_bench -j2 >"$build.build.log" 2>&1 || { tail -40 "$build.build.log"; exit 1; }
echo "== pixel conversions (CVKPixels) =="
"$build/bin/hud_pixels_bench"
