#!/usr/bin/python3
"""The dashboard as a player uses it: the sample game through our d3d9.dll
under Wine and Xvfb, with the player's keys and clicks injected.

usage: dashboard_e2e.py <d3d9.dll> <bin folder> [--out FOLDER]

Run 1: the intro page's "Sign In" is clicked, the name and the password are
typed and Enter signs in against the local test service; R starts a
recording (the logo blinks "REC"), R stops it, M shows the recordings page;
the recording is selected and handed over for encoding (E, then OK). A
stand-in of the desktop program takes the hand-off, encodes the recording and
writes the progress back up to "100".
Run 2: the HUD signs in by itself (remembered), S starts sharing the game
with the video-sharing server, M shows the recordings page with the new
video, which is selected and played (P) with the keyboard picture of the
recorded input beside it.

Screenshots go to FOLDER (01-sign-in.png ... 05-player.png). Steps whose
parts are not built yet (the recordings browser, its player) are reported
as missing, and fail the run.
"""
import glob
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
LIB = os.path.join(ROOT, "scripts", "lib")
WINE_RUN = os.path.join(LIB, "wine-run")
WITH_DISPLAY = os.path.join(LIB, "with-display")
SETTINGS = r"HKCU\Software\BRINMOOR\Orvalo HUD 4.0.6.0\Settings"
JOB_ENCODE = r"HKCU\Software\BRINMOOR\Orvalo HUD Desktop 4.0.6.0\JobEncode"
PY = "/usr/bin/python3"

if not os.environ.get("DISPLAY") or subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL,
                                                  stderr=subprocess.DEVNULL).returncode != 0:
    os.execv(WITH_DISPLAY, [WITH_DISPLAY, sys.executable] + sys.argv)

args = sys.argv[1:]
OUT = None
if "--out" in args:
    i = args.index("--out")
    OUT = os.path.abspath(args[i + 1])
    del args[i:i + 2]
PROXY, BIN = os.path.abspath(args[0]), os.path.abspath(args[1])
WORK = tempfile.mkdtemp(prefix="dashboard-e2e-")
OUT = OUT or os.path.join(WORK, "out")
os.makedirs(OUT, exist_ok=True)
RECORDINGS = os.path.join(WORK, "recordings")
os.makedirs(RECORDINGS)
failures = []

# The dashboard on the screen, and the places a player clicks.
DASH_X, DASH_Y = 116, 50
INTRO_SIGN_IN = (DASH_X + 37 + 30, DASH_Y + 219 + 10)
LOGO_PROBE = (12, 12)  # on the recording sign's red plate while it shows
PLAYER_PROBE = (520 + 30, 50 + 6)  # the player window's caption (it opens at (520, 50))
KEY = {c: ord(c) for c in "ABCDEFGHIJKLMNOPQRSTUVWXYZ"}
KEY.update({"-": 189, "tab": 9, "enter": 13, "insert": 45, "down": 40})


def check(cond, what, detail=""):
    print(("ok: " if cond else "FAIL: ") + what + ("" if cond or not detail else "\n    " + str(detail)[-2000:]),
          flush=True)
    if not cond:
        failures.append(what)
    return cond


def win(path):
    return "Z:" + path.replace("/", "\\")


def wine(*argv, **kw):
    return subprocess.run([WINE_RUN] + list(argv), **kw)


def reg(key, name, value=None):
    if value is None:
        wine("reg", "delete", key, "/v", name, "/f", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    else:
        wine("reg", "add", key, "/v", name, "/d", value, "/f", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def reg_get(key, name):
    q = wine("reg", "query", key, "/v", name, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    for line in q.stdout.decode("latin-1", "replace").splitlines():
        parts = line.split(None, 2)
        if len(parts) >= 2 and parts[0] == name:
            return parts[2].strip() if len(parts) == 3 else ""
    return None


def typed(frame, text, step=2):
    """--at actions typing text (letters and "-") from frame on; returns them and the next frame."""
    actions = []
    for ch in text.upper():
        actions += ["--at", "%d:key:%d" % (frame, KEY[ch])]
        frame += step
    return actions, frame


def game_folder(name):
    folder = os.path.join(WORK, name)
    os.makedirs(folder)
    shutil.copy(os.path.join(BIN, "sample9.exe"), folder)
    shutil.copy(PROXY, os.path.join(folder, "d3d9.dll"))
    for f in os.listdir(BIN):
        if re.match(r"(avcodec|avformat|avutil|swscale|swresample)-\d+\.dll$", f):
            shutil.copy(os.path.join(BIN, f), folder)
    return folder


def play(name, frames, actions, dumps, probes=(), probe_frames=(), env=None, size=(640, 480)):
    folder = game_folder(name)
    argv = ["sample9.exe", "--frames", str(frames), "--fps", "25", "--swap", "copy",
            "--width", str(size[0]), "--height", str(size[1])] + actions
    for frame, file in dumps:
        argv += ["--dump", "%d:%s" % (frame, win(os.path.join(WORK, file)))]
    if probes:
        argv += ["--probe-frames", ",".join(map(str, probe_frames))]
        for x, y in probes:
            argv += ["--probe", "%d,%d" % (x, y)]
    p = subprocess.run([WINE_RUN] + argv, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                       env=env, timeout=600)
    out = p.stdout.decode("utf-8", "replace").replace("\r", "")
    with open(os.path.join(OUT, name + "-output.txt"), "w") as f:
        f.write(out)
    check(p.returncode == 0 and "sample9: done" in out, name + ": the game ran to its end", out[-1500:])
    return out


def shot(file, png):
    """The dumped frame as a PNG in OUT; True when it was there."""
    bmp = os.path.join(WORK, file)
    if not os.path.exists(bmp):
        return False
    subprocess.run(["convert-im6.q16", bmp, os.path.join(OUT, png)], check=False)
    return os.path.exists(os.path.join(OUT, png))


def probes_of(out):
    found = {}
    for m in re.finditer(r"probe frame (\d+) x (\d+) y (\d+) = (0x[0-9A-F]+)", out):
        found[(int(m.group(1)), int(m.group(2)), int(m.group(3)))] = m.group(4)
    return found


def proxy_log():
    try:
        with open(LOG, encoding="latin-1") as f:
            return f.read()
    except OSError:
        return ""


# --- the local test service, a paced sound source, the encode stand-in -------
service_log = os.path.join(OUT, "service.log")
ports_file = os.path.join(WORK, "ports.json")
service = subprocess.Popen([PY, os.path.join(ROOT, "tools", "testservice", "testservice.py"), "--ports-file",
                            ports_file, "--log", service_log, "--max-seconds", "600"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
pulse = os.path.join(WORK, "pulse")
standin = None
try:
    for _ in range(100):
        if os.path.exists(ports_file) and os.path.getsize(ports_file) > 0:
            break
        time.sleep(0.1)
    ports = json.load(open(ports_file))
    subprocess.run([os.path.join(LIB, "paced-sound"), "start", pulse], check=True, stdout=subprocess.DEVNULL)
    env = dict(os.environ, ORVALO_PULSE_DIR=pulse)

    LOG = os.path.join(OUT, "proxy.log")
    for name, value in (("serverAddr", "127.0.0.1"), ("serverPort", str(ports["chat"])),
                        ("serverPortHTTP", str(ports["http"])), ("serverPortVS", str(ports["vs"])),
                        ("recorderFolder", win(RECORDINGS) + "\\"), ("logFileName", win(LOG)),
                        ("loginShowIntro", None), ("loginName", None), ("loginPassword", None),
                        ("loginAuto", None), ("recorderType", None)):
        reg(SETTINGS, name, value)
    reg(JOB_ENCODE, "progress", "100")
    reg(JOB_ENCODE, "fileName", "")
    if os.path.exists(LOG):
        os.remove(LOG)

    standin_out = open(os.path.join(OUT, "standin-output.txt"), "w")
    standin = subprocess.Popen([WINE_RUN, os.path.join(BIN, "encode_standin.exe"), "240"], cwd=BIN,
                               stdout=standin_out, stderr=subprocess.STDOUT)

    # --- run 1: sign in, record, stop, hand the recording over -------------
    actions = ["--at", "30:click:%d,%d" % INTRO_SIGN_IN]
    more, f = typed(40, "anna")
    actions += more + ["--at", "%d:key:%d" % (f + 2, KEY["tab"])]
    more, f = typed(f + 6, "anna-pw")
    actions += more
    sign_in_frame = f + 4
    actions += ["--at", "%d:key:%d" % (sign_in_frame, KEY["enter"])]
    record_at, stop_at = 130, 255
    actions += ["--at", "%d:key:%d" % (record_at, KEY["R"]), "--at", "%d:key:%d" % (stop_at, KEY["R"]),
                "--at", "265:key:%d" % KEY["M"],
                "--at", "300:key:%d" % KEY["down"],    # from ".." to the recording
                "--at", "310:key:%d" % KEY["E"],       # encode: the confirmation box
                "--at", "320:key:%d" % KEY["enter"]]   # OK
    blink = list(range(record_at + 40, record_at + 80, 3))
    dumps = [(sign_in_frame - 2, "01.bmp"), (120, "02.bmp"), (290, "04.bmp"), (440, "04b.bmp")]
    dumps += [(b, "03-%d.bmp" % b) for b in blink]
    out = play("run1", 460, actions, dumps, probes=[LOGO_PROBE], probe_frames=blink, env=env)

    # The service logs every message in hexadecimal.
    said = []
    for line in open(service_log, encoding="latin-1", errors="replace"):
        try:
            said.append(bytes.fromhex(json.loads(line).get("hex", "")).decode("latin-1"))
        except ValueError:
            pass
    check(any(s.startswith("LOGIN OK\nWelcome anna\n") for s in said), "signed in through the dashboard as anna",
          said[:4])
    check(shot("01.bmp", "01-sign-in.png"), "01-sign-in.png")
    check(shot("02.bmp", "02-contacts.png"), "02-contacts.png")
    p = probes_of(out)
    red = [b for b in blink if p.get((b,) + LOGO_PROBE) == "0xFFFF0000"]
    other = [b for b in blink if (b,) + LOGO_PROBE in p and p[(b,) + LOGO_PROBE] != "0xFFFF0000"]
    check(red and other, "the logo blinks REC while recording (shown at %s, hidden at %s)" % (red, other), p)
    if red:
        check(shot("03-%d.bmp" % red[0], "03-recording.png"), "03-recording.png")
    recs = glob.glob(os.path.join(RECORDINGS, "*.rec"))
    check(len(recs) == 1 and os.path.getsize(recs[0]) > 100000, "R started and R stopped one recording", recs)
    check(len(glob.glob(os.path.join(RECORDINGS, "*.di"))) == 1, "its keyboard and mouse record (.di) beside it")
    check(shot("04.bmp", "04-recordings-page.png"), "04-recordings-page.png")
    shot("04b.bmp", "04b-recordings-page-encoding.png")
    handed = reg_get(JOB_ENCODE, "fileName")
    browser = check(bool(recs) and handed is not None and handed.lower() == win(recs[0]).lower(),
                    "E and OK handed the recording over in JobEncode", handed)

    # The stand-in encodes and writes the progress back up to "100".
    if browser:
        try:
            standin.wait(timeout=300)
        except subprocess.TimeoutExpired:
            standin.kill()
        standin_out.close()
        text = open(os.path.join(OUT, "standin-output.txt"), errors="replace").read().replace("\r", "")
        check("standin: 100" in text and "standin: encoded" in text, "the hand-off encoded, progress up to 100",
              text)
        check(reg_get(JOB_ENCODE, "progress") == "100", "JobEncode progress is 100 at the end")
        wmvs = glob.glob(os.path.join(RECORDINGS, "*.wmv"))
        check(len(wmvs) == 1, "the video is in the recordings folder", os.listdir(RECORDINGS))

        # --- run 2: remembered sign-in, the video played --------------------
        for r in recs:
            os.remove(r)  # the folder lists "..", the video
        actions = ["--at", "60:key:%d" % KEY["insert"],   # the HUD starts hidden now: show it
                   "--at", "68:key:%d" % KEY["S"],        # share the game with the video-sharing server
                   "--at", "75:key:%d" % KEY["M"],
                   "--at", "90:key:%d" % KEY["down"],
                   "--at", "100:key:%d" % KEY["P"]]
        # A screen wide enough for the player at (520, 50) and the keyboard below it.
        out = play("run2", 200, actions, [(180, "05.bmp")], probes=[PLAYER_PROBE], probe_frames=[95, 180], env=env,
                   size=(1024, 768))
        p = probes_of(out)
        check(p.get((95,) + PLAYER_PROBE) != p.get((180,) + PLAYER_PROBE),
              "P opened a player window on the video", p)
        check("NEW DEVICEINPUT" in proxy_log(), "the keyboard picture of the .di opened beside it")
        check(shot("05.bmp", "05-player.png"), "05-player.png")
        shares = []
        for line in open(service_log, encoding="latin-1", errors="replace"):
            try:
                entry = json.loads(line)
                if entry.get("ep") == "vs" and entry.get("dir") == "in":
                    shares.append(bytes.fromhex(entry.get("hex", "")))
            except ValueError:
                pass
        check(any(b"\nanna\nanna-pw\nSHARE\n" in d for d in shares),
              "S started sharing: the HUD logged in to the video-sharing server to share", len(shares))
    else:
        print("missing: the recordings browser (hand-off, encode, player) is not built in this tree")
finally:
    if standin and standin.poll() is None:
        standin.kill()
    subprocess.run([os.path.join(LIB, "paced-sound"), "stop", pulse], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    service.send_signal(signal.SIGTERM)
    for name in ("serverAddr", "serverPort", "serverPortHTTP", "serverPortVS", "recorderFolder", "logFileName",
                 "loginShowIntro", "loginName", "loginPassword", "loginAuto"):
        reg(SETTINGS, name)

if failures:
    print("\n".join(["", "FAILURES:"] + failures))
    sys.exit(1)
shutil.rmtree(WORK, ignore_errors=True)
print("all dashboard checks passed")
