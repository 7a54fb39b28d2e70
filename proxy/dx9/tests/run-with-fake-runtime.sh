#!/usr/bin/env bash
# Runs a test program in a Wine prefix of its own whose system folder holds a
# stand-in runtime as d3d9.dll.  usage: run-with-fake-runtime.sh <fake dll> <test exe>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
source "$root/scripts/lib/env.sh"
export WINEPREFIX="$ORVALO_CACHE/wineprefix-fake-$ORVALO_TEST_ARCH"
[ -f "$WINEPREFIX/.orvalo-ready" ] || { echo "missing $WINEPREFIX: run scripts/setup"; exit 1; }
cp "$1" "$WINEPREFIX/drive_c/windows/system32/d3d9.dll"
"$root/scripts/lib/wine-run" "$2"
