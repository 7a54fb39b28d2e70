#!/usr/bin/env bash
# Runs a test program in a Wine prefix whose system folder holds a stand-in
# runtime as d3d9.dll (or the runtime file name given). The program runs from
# a folder of its own with the proxy beside it under that name, as in a
# game's folder (the proxy serves as a process's runtime only from the
# program's folder).
#   usage: run-with-fake-runtime.sh <fake dll> <proxy dll> <test exe> [runtime file name]
# The prefix belongs to the caller's prefix (a copy of the prepared one made
# on first use), so callers with prefixes of their own never swap each
# other's stand-in.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
source "$root/scripts/lib/env.sh"
prepared="$ORVALO_CACHE/wineprefix-fake-$ORVALO_TEST_ARCH"
[ -f "$prepared/.orvalo-ready" ] || { echo "missing $prepared: run scripts/setup"; exit 1; }
fake="${WINEPREFIX%/}.fake-runtime"
if [ ! -f "$fake/.orvalo-ready" ]; then
  rm -rf "$fake.tmp"
  cp -a "$prepared" "$fake.tmp"
  rm -rf "$fake"
  mv "$fake.tmp" "$fake"
fi
export WINEPREFIX="$fake"
runtime="${4:-d3d9.dll}"
cp "$1" "$WINEPREFIX/drive_c/windows/system32/$runtime"
folder="$(mktemp -d "${TMPDIR:-/tmp}/proxy9-forwarder-XXXXXX")"
trap 'rm -rf "$folder"' EXIT
cp "$2" "$folder/$runtime"
cp "$3" "$folder/"
# The codec libraries the proxy imports, from the test program's own folder.
find "$(dirname "$3")" -maxdepth 1 -regextype posix-extended \
  -regex '.*/(avcodec|avformat|avutil|swscale|swresample)-[0-9]+\.dll' -exec cp {} "$folder/" \;
cd "$folder"
"$root/scripts/lib/wine-run" "$folder/$(basename "$3")"
