#!/usr/bin/env bash
# Starts the local test service with accounts of its own (one whose name and
# password need encoding in a request address), runs the HUD's chat,
# permission and voice tests under Wine against it, then checks the exact request
# bytes the service received.
#   run_social.sh <test program .exe>
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
exe="$1"
work="$(mktemp -d)"
pid=""
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

cat >"$work/accounts.json" <<'JSON'
{
  "users": {
    "anna": {"password": "anna-pw"},
    "bo": {"password": "bo-pw"},
    "cy": {"password": "cy-pw"},
    "quiet": {"password": "quiet-pw"},
    "ed&d #1": {"password": "p%w+&x ="}
  },
  "groups": {
    "anna": {"Mates": ["bo", "cy"], "Work": ["quiet"]},
    "bo": {"Mates": ["anna", "cy"]},
    "cy": {"Mates": ["anna", "bo"]},
    "ed&d #1": {"Pals": ["anna", "f g#h"]}
  },
  "permissions": {
    "anna": {"default": [1, 1, 0], "friends": {"bo": [1, 1, 1], "cy": [1, 0, 0]}},
    "ed&d #1": {"default": [0, 2, 1], "friends": {}}
  }
}
JSON

"$SYS_PYTHON" "$ROOT/tools/testservice/testservice.py" --accounts "$work/accounts.json" \
  --ports-file "$work/ports.json" --log "$work/service.log" --max-seconds 600 >"$work/service.out" 2>&1 &
pid=$!
for _ in $(seq 100); do [ -s "$work/ports.json" ] && break; sleep 0.1; done
[ -s "$work/ports.json" ] || die "test service did not start: $(cat "$work/service.out")"
port() { "$SYS_PYTHON" -c 'import json,sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' "$work/ports.json" "$1"; }
export NET_CHAT_PORT="$(port chat)" NET_VS_PORT="$(port vs)" NET_HTTP_PORT="$(port http)"
"$ROOT/scripts/lib/wine-run" "$exe"

"$SYS_PYTHON" - "$work/service.log" <<'PY'
import json, sys
http = b""
chat = b""
vs = b""
for line in open(sys.argv[1]):
    e = json.loads(line)
    if e["dir"] != "in":
        continue
    if e["ep"] == "http":
        http += bytes.fromhex(e["hex"])
    elif e["ep"] == "chat":
        chat += bytes.fromhex(e["hex"])
    elif e["ep"] == "vs":
        vs += bytes.fromhex(e["hex"])
base = b"/services/vqhud.4.0.6.0/"
agent = b"\r\nUser-Agent: Orvalo HUD v4.0.6.0\r\n"
need = [
    (b"GET " + base + b"getPermissions.php?un=anna&pw=anna-pw HTTP/1.1\r\n" in http, "permission read"),
    (b"POST " + base + b"setPermissions.php?un=anna&pw=anna-pw&handle=bo&contact=1&chat=1&video=0 HTTP/1.1\r\n"
     in http, "friend permission flags in order"),
    (b"GET " + base + b"getPermissions.php?un=ed%26d%20%231&pw=p%25w%2B%26x%20%3D HTTP/1.1\r\n" in http,
     "read by an encoded name"),
    (b"POST " + base + b"setPermissions.php?un=ed%26d%20%231&pw=p%25w%2B%26x%20%3D&handle=f%20g%23h"
     b"&contact=0&chat=1&video=0 HTTP/1.1\r\n" in http, "encoded friend handle"),
    (b"POST " + base + b"setPermissions.php?un=ed%26d%20%231&pw=p%25w%2B%26x%20%3D&contact=2&chat=2&video=1"
     b" HTTP/1.1\r\n" in http, "defaults, third state sent as 2"),
    (http.count(agent) >= 5, "user agent on every request"),
    (b"START CHAT\n2\nbo\ncy\n\n" in chat, "start chat with the selected friends"),
    (b"CHAT SESSION SEND\n" in chat and b"\nanna\nhi & all\n\n" in chat, "chat text"),
    (b"LOGIN\nVERSION 2\ned&d #1\np%w+&x =\n0\n\n" in chat, "login with game number 0"),
    (b"REQUEST VOICE\nbo\nStart\n" in chat, "voice request with the own stream"),
    (b"\nanna\nanna-pw\nSHARE\n" in vs and b"\n800\n600\n20\n" in vs and b"\nAudioBitrate=64000\nVOICE\n\n" in vs,
     "voice stream login"),
]
failed = [what for ok, what in need if not ok]
if failed:
    sys.exit("missing on the wire: " + ", ".join(failed))
print("wire bytes checked: %d items" % len(need))
PY
