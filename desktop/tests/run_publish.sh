#!/usr/bin/env bash
# Starts the test services a publishing test needs (each with its FTP upload
# server: one that works, one that breaks off uploads, one whose
# registration answers "OK" and a line end), then runs the Windows test
# program under Wine against them.
#   run_publish.sh <test program .exe>
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
exe="$1"; shift
work="$(mktemp -d)"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

start() {  # <name> [options...]
  local name="$1"; shift
  mkdir -p "$work/$name/ftp" "$work/$name/received"
  "$SYS_PYTHON" "$ROOT/tools/testservice/testservice.py" --ports-file "$work/$name.json" \
    --log "$work/$name.log" --max-seconds 600 --ftp-root "$work/$name/ftp" --received "$work/$name/received" \
    "$@" >"$work/$name.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/$name.json" ] && return 0; sleep 0.1; done
  die "test service $name did not start: $(cat "$work/$name.out")"
}
port() { "$SYS_PYTHON" -c 'import json,sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' "$work/$1.json" "$2"; }

start clean
start drop --ftp-drop-after 70000
start okn --register-reply 'OK\n'
export PUBLISH_HTTP_PORT="$(port clean http)" PUBLISH_FTP_ROOT="$work/clean/ftp" PUBLISH_RECEIVED="$work/clean/received"
export PUBLISH_HTTP_PORT_DROP="$(port drop http)" PUBLISH_RECEIVED_DROP="$work/drop/received"
export PUBLISH_HTTP_PORT_OKN="$(port okn http)"
export WINEDEBUG=-all
"$ROOT/scripts/lib/wine-run" "$exe" "$@"
