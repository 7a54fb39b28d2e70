#!/usr/bin/env bash
# Runs a test program from a folder that holds nothing but the program, so
# the codec libraries beside the build's programs are out of its reach.
#   no-codec-test.sh <program.exe>
set -euo pipefail
root="$(cd "$(dirname "$0")/../../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$1" "$work/"
cd "$work"
ls "$work" | grep -qiE '^(avcodec|avformat|avutil|swscale|swresample)-' && { echo "codec libraries in $work"; exit 1; }
"$root/scripts/lib/with-display" "$root/scripts/lib/wine-run" "./$(basename "$1")"
