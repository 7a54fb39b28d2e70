#!/usr/bin/env bash
# Runs a test program in a Wine prefix of its own whose system folder holds a
# stand-in runtime as d3d9.dll. The program runs from a folder of its own
# with the proxy beside it as d3d9.dll, as in a game's folder (the proxy
# serves as a process's runtime only from the program's folder).
#   usage: run-with-fake-runtime.sh <fake dll> <proxy dll> <test exe>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
source "$root/scripts/lib/env.sh"
export WINEPREFIX="$ORVALO_CACHE/wineprefix-fake-$ORVALO_TEST_ARCH"
[ -f "$WINEPREFIX/.orvalo-ready" ] || { echo "missing $WINEPREFIX: run scripts/setup"; exit 1; }
cp "$1" "$WINEPREFIX/drive_c/windows/system32/d3d9.dll"
folder="$(mktemp -d "${TMPDIR:-/tmp}/proxy9-forwarder-XXXXXX")"
trap 'rm -rf "$folder"' EXIT
cp "$2" "$folder/d3d9.dll"
cp "$3" "$folder/"
# The codec libraries the proxy imports, from the test program's own folder.
find "$(dirname "$3")" -maxdepth 1 -regextype posix-extended \
  -regex '.*/(avcodec|avformat|avutil|swscale|swresample)-[0-9]+\.dll' -exec cp {} "$folder/" \;
cd "$folder"
"$root/scripts/lib/wine-run" "$folder/$(basename "$3")"
