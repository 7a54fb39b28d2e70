#!/usr/bin/env bash
# Friends in the game: the sample game runs through our d3d9.dll with the HUD
# signed in to the local test service as "anna"; her friend "bo" is a small
# scripted chat client. The player's keys are injected: the hot key shows the
# HUD, Tab and Space select bo in the contact list, C opens a chat, the
# player types a line and Enter sends it; bo answers.
#   scripts/demo.d/friends.sh <output folder>
# Leaves chat.png (the chat window with the lines of both), transcript.txt
# (what bo sent and received), proxy.log and service.log.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/env.sh"
cd "$ROOT"
out="${1:?usage: friends.sh <output folder>}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
build="${FRIENDS_DEMO_BUILD:-build/$ORVALO_TEST_PRESET}"
[ -f "$build/proxy9/d3d9.dll" ] && [ -f "$build/bin/sample9.exe" ] || die "friends demo: $build has no d3d9.dll or sample9.exe"

work="$(mktemp -d)"
pid=""
bo=""
cleanup() {
  [ -n "$bo" ] && kill "$bo" 2>/dev/null
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  scripts/lib/settings serverAddr= serverPort= serverPortHTTP= serverPortVS= loginShowIntro= loginAuto= loginName= \
    loginPassword= logFileName=
  rm -rf "$work"
}
trap cleanup EXIT

"$SYS_PYTHON" tools/testservice/testservice.py --ports-file "$work/ports.json" --log "$out/service.log" \
  --max-seconds 120 >"$work/service.out" 2>&1 &
pid=$!
for _ in $(seq 100); do [ -s "$work/ports.json" ] && break; sleep 0.1; done
[ -s "$work/ports.json" ] || die "friends demo: test service did not start"
port() { "$SYS_PYTHON" -c 'import json,sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' "$work/ports.json" "$1"; }
chat=$(port chat)

# bo: signs in, answers anna's first line, writes what it saw.
"$SYS_PYTHON" - "$chat" "$out/transcript.txt" <<'PY' &
import socket, sys, time
sock = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
log = open(sys.argv[2], "w")
def send(*lines):
    data = ("".join(l + "\n" for l in lines) + "\n").encode("latin-1")
    sock.sendall(data)
    log.write("bo sent: %s\n" % " | ".join(lines)); log.flush()
send("LOGIN", "VERSION 2", "bo", "bo-pw", "1")
buf = b""
answered = False
sock.settimeout(1.0)
deadline = time.time() + 90
while time.time() < deadline:
    try:
        data = sock.recv(65536)
    except socket.timeout:
        continue
    if not data:
        break
    buf += data
    while b"\n\n" in buf:
        raw, buf = buf.split(b"\n\n", 1)
        lines = raw.decode("latin-1").split("\n")
        log.write("bo received: %s\n" % " | ".join(lines)); log.flush()
        if lines[0] == "CHAT SESSION MESSAGE" and len(lines) >= 4 and lines[2] == "anna" and not answered:
            answered = True
            send("CHAT SESSION SEND", lines[1], "bo", "hello anna, nice game!")
PY
bo=$!

game="$work/game"
scripts/lib/game-folder "$build" "$game"
w() { echo "Z:${1//\//\\}"; }
scripts/lib/settings serverAddr=127.0.0.1 "serverPort=$chat" "serverPortHTTP=$(port http)" "serverPortVS=$(port vs)" \
  loginShowIntro=0 loginAuto=1 loginName=anna "logFileName=$(w "$out/proxy.log")"
# The stored password is scrambled (bytes above 0x7F): written through a
# registry file as UTF-16, which the HUD reads back in the ANSI code page.
"$SYS_PYTHON" - "$work/password.reg" <<'PY'
import sys
v, key = 0x9D, []
for i in range(8):
    v = (v * 29 + 0x47) & 0xFF
    key.append(v | 0x80)
scrambled = bytes(b ^ key[i % 8] for i, b in enumerate(b"anna-pw")).decode("cp1252")
data = ",".join("%02x" % b for b in (scrambled + "\0").encode("utf-16-le"))
text = ('Windows Registry Editor Version 5.00\r\n\r\n'
        '[HKEY_CURRENT_USER\\Software\\BRINMOOR\\Orvalo HUD 4.0.6.0\\Settings]\r\n'
        '"loginPassword"=hex(1):%s\r\n' % data)
open(sys.argv[1], "w", encoding="utf-16").write(text)
PY
scripts/lib/wine-run regedit /S "$(w "$work/password.reg")" >/dev/null 2>&1

# Insert shows the HUD (the dashboard's friends list has the focus), Space
# selects bo (online, first row), C starts the chat; the chat window's text
# box takes the keys "HI BO" and Enter.
actions=(--at 60:key:45 --at 75:key:32 --at 80:key:67)
f=110
for k in 72 73 32 66 79 13; do actions+=(--at "$f:key:$k"); f=$((f + 3)); done
(cd "$game" && scripts_dir="$ROOT/scripts/lib" && "$scripts_dir/with-display" "$scripts_dir/wine-run" sample9.exe \
    --frames 260 --fps 25 --swap copy "${actions[@]}" --dump "250:$(w "$out/chat.bmp")") >"$out/game-output.txt" 2>&1
rc=$?
[ -f "$out/chat.bmp" ] && convert-im6.q16 "$out/chat.bmp" "$out/chat.png" && rm -f "$out/chat.bmp"
sleep 0.5
echo "friends demo: chat.png, transcript.txt, proxy.log and service.log in $out"
chat_ok=0
[ "$rc" = 0 ] && [ -s "$out/chat.png" ] && grep -q "^bo received: CHAT SESSION MESSAGE | .* | anna | hi bo$" "$out/transcript.txt" \
  && grep -q "^bo received: CHAT SESSION MESSAGE | .* | bo | hello anna, nice game!$" "$out/transcript.txt" && chat_ok=1

# Two players: anna shares her game for 75 s (past a minute of sound), bo
# watches it in a view window; anna calls bo, bo answers, they hear each
# other and anna hangs up; they chat both ways. viewer.png and sharer.png
# are the two screens at the same frame; the transcript gains what each sent
# and received (the call's signalling and voice streams among it), what each
# HUD logged of the view and the call, and the view's PSNR against anna's
# frame; call.png is bo's game with anna's call waiting for his answer.
cleanup
trap - EXIT
share_ok=0
TWO_PLAYERS_BUILD="$build" scripts/lib/two-players "$out/two-players" --frames 1200 --dump 1150 && share_ok=1
cp "$out/two-players/viewer.png" "$out/two-players/sharer.png" "$out/two-players/call.png" "$out/" 2>/dev/null
{
  echo "--- two players in their games: anna shares, bo views, anna calls bo ---"
  cat "$out/two-players/session.txt" 2>/dev/null
  cat "$out/two-players/psnr.txt" 2>/dev/null || echo "psnr_db=0"
} >>"$out/transcript.txt"
echo "friends demo: viewer.png, sharer.png, call.png and the two players' session in $out"
[ "$chat_ok" = 1 ] && [ "$share_ok" = 1 ]
