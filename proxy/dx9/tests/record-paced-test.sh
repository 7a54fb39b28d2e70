#!/usr/bin/env bash
# Records the sample game for a length of sound from a capture source that
# delivers in real time (scripts/lib/paced-sound), and checks the recording.
#   record-paced-test.sh <record_paced.exe> <seconds> <width> <height>
set -euo pipefail
root="$(cd "$(dirname "$0")/../../.." && pwd)"
source "$root/scripts/lib/env.sh"
work="$(mktemp -d)"
trap '"$root/scripts/lib/paced-sound" stop "$work/pulse"; rm -rf "$work"' EXIT
"$root/scripts/lib/paced-sound" start "$work/pulse"
mkdir -p "$work/out"
ORVALO_PULSE_DIR="$work/pulse" "$root/scripts/lib/with-display" "$root/scripts/lib/wine-run" \
  "$1" "$2" "$3" "$4" "Z:${work//\//\\}\\out\\" 2>&1 | tr -d '\r' | grep '^record_paced'
