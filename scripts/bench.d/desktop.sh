#!/usr/bin/env bash
# Desktop program benchmarks (milliseconds): start-up to the main window
# shown, download (file://) and parse of a 2,000-game catalogue, and
# detection over it; the friends page with 1,000 friends and their avatars
# (FRIENDS LIST to the page drawn, and the GUI thread's longest step while
# the avatars download). Runs the build of this machine's test preset under Wine
# with an X display.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
cd "$ROOT"
build="$ROOT/build/$ORVALO_TEST_PRESET"
cmake --build "$build" --target OrvaloHUDDesktop DllPlacer desktop_bench friends_bench >/dev/null 2>&1 ||
  die "desktop bench: build of the desktop programs in $build failed"
[ -f "$build/bin/desktop_bench.exe" ] || die "desktop bench: $build/bin/desktop_bench.exe missing"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
scripts/package "$work/program" --build "$build" >/dev/null
echo "== desktop program (2,000-game catalogue, 5 rounds) =="
scripts/lib/with-display scripts/lib/wine-run "$build/bin/desktop_bench.exe" "Z:${work//\//\\}\\program" 2000 5 2>&1 |
  grep '^desktop_bench'
echo "== friends page (1,000 friends with avatars) =="
scripts/lib/with-display scripts/lib/wine-run "$build/bin/friends_bench.exe" 1000 2>&1 | grep '^friends_bench'
