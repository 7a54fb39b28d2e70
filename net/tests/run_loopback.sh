#!/usr/bin/env bash
# Starts two local test services (one clean, one losing, reordering and
# duplicating datagrams), runs the Windows loopback tests under Wine against
# them, then checks the exact bytes the services received.
#   run_loopback.sh <test program .exe>
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
exe="$1"
work="$(mktemp -d)"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

start() {  # <name> [options...]
  local name="$1"; shift
  "$SYS_PYTHON" "$ROOT/tools/testservice/testservice.py" --ports-file "$work/$name.json" \
    --log "$work/$name.log" --max-seconds 600 "$@" >"$work/$name.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/$name.json" ] && return 0; sleep 0.1; done
  die "test service $name did not start: $(cat "$work/$name.out")"
}
port() { "$SYS_PYTHON" -c 'import json,sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' "$work/$1.json" "$2"; }

start clean
start lossy --drop 5 --reorder 5 --duplicate 5 --seed 7
start hostile --hostile
export NET_CHAT_PORT="$(port clean chat)" NET_VS_PORT="$(port clean vs)" NET_HTTP_PORT="$(port clean http)"
export NET_VS_PORT_LOSSY="$(port lossy vs)"
export NET_CHAT_PORT_HOSTILE="$(port hostile chat)" NET_VS_PORT_HOSTILE="$(port hostile vs)"
export NET_HTTP_PORT_HOSTILE="$(port hostile http)"
"$ROOT/scripts/lib/wine-run" "$exe"

# What went over the wire, byte for byte.
"$SYS_PYTHON" - "$work/clean.log" "$work/hostile.log" <<'PY'
import json, sys
def load(path):
    received = {"chat": b"", "vs": [], "http": b""}
    for line in open(path):
        e = json.loads(line)
        if e["dir"] != "in":
            continue
        data = bytes.fromhex(e["hex"])
        if e["ep"] == "vs":
            received["vs"].append(data)
        else:
            received[e["ep"]] += data
    return received
received = load(sys.argv[1])
hostile = load(sys.argv[2])
need = [
    (b"LOGIN\nVERSION 2\nanna\nanna-pw\n0\n\n" in received["chat"], "chat login bytes"),
    (b"START CHAT\n1\nbo\n\n" in received["chat"], "start chat bytes"),
    (b"CHAT SESSION SEND\n1\nanna\nhello bo with a line break\n\n" in received["chat"], "chat text on one line"),
    (b"GET /services/vqhud.4.0.6.0/getPermissions.php?un=anna&pw=anna-pw HTTP/1.1\r\nHost: 127.0.0.1\r\n"
     b"User-Agent: Orvalo HUD v4.0.6.0\r\nContent-Length: 0\r\n" in received["http"], "permission request bytes"),
    (any(d.startswith(b"LOGIN\nVERSION 1\nanna\nanna-pw\nSHARE\n") and d.endswith(b"\n640\n480\n4\n2\n44100\n2\n0\n0\n\n")
         for d in received["vs"]), "share login bytes"),
    (b"LOGOUT\n\n" in received["vs"], "logout datagram"),
    (any(d.endswith(b"ECHO\n\n") and d.startswith(b"SESSION\n") for d in received["vs"]), "keep-alive echo"),
    (b"SESSION\n0\n\nECHO\n\n" in hostile["vs"], "echo in session 0"),
]
failed = [what for ok, what in need if not ok]
if failed:
    sys.exit("missing on the wire: " + ", ".join(failed))
print("wire bytes checked: %d items" % len(need))
PY
