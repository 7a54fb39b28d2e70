#!/usr/bin/python3
"""The DirectInput proxy under Wine and Xvfb, with the sample game reading
its keyboard and mouse through DirectInput.

usage: dinput_test.py <our dinput8.dll> <our d3d9.dll> <our d3d8.dll> <bin folder>

Cases: the game alone; the game with our dinput8.dll but no Direct3D proxy
(its input must be untouched); the game with both proxies, in each of the
game's two ways of reading (whole state, buffered changes): its own keys
reach it, the hot key toggles the HUD and never reaches it, and while the
HUD has the pointer its reads see nothing; the same with the Direct3D 8
game and proxy. The export table of the built library is read from the file.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
WINE_RUN = os.path.join(ROOT, "scripts", "lib", "wine-run")
WITH_DISPLAY = os.path.join(ROOT, "scripts", "lib", "with-display")
SETTINGS = r"HKCU\Software\BRINMOOR\Orvalo HUD 4.0.6.0\Settings"

if not os.environ.get("DISPLAY") or subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL,
                                                  stderr=subprocess.DEVNULL).returncode != 0:
    os.execv(WITH_DISPLAY, [WITH_DISPLAY, sys.executable] + sys.argv)

DINPUT, PROXY9, PROXY8, BIN = (os.path.abspath(a) for a in sys.argv[1:5])
WORK = tempfile.mkdtemp(prefix="dinput8-")
failures = []
DASHBOARD = "0xFFCDE8FF"  # the dashboard's colour at (300, 150)
DIK_A, DIK_B, DIK_C, DIK_INSERT = 0x1E, 0x30, 0x2E, 0xD2


def check(name, condition, detail=""):
    if condition:
        print("ok: " + name, flush=True)
    else:
        failures.append(name + ("\n" + detail if detail else ""))
        print("FAIL: " + failures[-1], flush=True)


def exports(path):
    """{name: ordinal} from a PE file's export directory."""
    data = open(path, "rb").read()
    pe, = struct.unpack_from("<I", data, 0x3C)
    magic, = struct.unpack_from("<H", data, pe + 24)
    dirs = pe + 24 + (96 if magic == 0x10B else 112)
    rva, _ = struct.unpack_from("<II", data, dirs)
    count, = struct.unpack_from("<H", data, pe + 6)
    opt_size, = struct.unpack_from("<H", data, pe + 20)
    sections = [struct.unpack_from("<8sIIII", data, pe + 24 + opt_size + 40 * i) for i in range(count)]

    def offset(r):
        for _, vsize, vaddr, rawsize, rawptr in sections:
            if vaddr <= r < vaddr + max(vsize, rawsize):
                return r - vaddr + rawptr
        raise ValueError("rva %x" % r)

    o = offset(rva)
    base, nfuncs, nnames, _, names, ords = struct.unpack_from("<IIIIII", data, o + 16)
    out = {}
    for i in range(nnames):
        name_rva, = struct.unpack_from("<I", data, offset(names) + 4 * i)
        ordinal, = struct.unpack_from("<H", data, offset(ords) + 2 * i)
        end = data.index(b"\0", offset(name_rva))
        out[data[offset(name_rva):end].decode()] = ordinal + base
    return out


def reg(*args):
    subprocess.run([WINE_RUN, "reg"] + list(args), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def run(name, args, dinput, proxy, game="sample9"):
    """Runs a sample game from a folder of its own; proxy is our Direct3D
    proxy to place beside it (or None)."""
    folder = os.path.join(WORK, name)
    os.makedirs(folder)
    shutil.copy(os.path.join(BIN, game + ".exe"), folder)
    if dinput:
        shutil.copy(DINPUT, os.path.join(folder, "dinput8.dll"))
    if proxy:
        shutil.copy(proxy, os.path.join(folder, os.path.basename(proxy)))
    log = os.path.join(folder, "proxy.log")
    reg("add", SETTINGS, "/v", "logFileName", "/d", "Z:" + log.replace("/", "\\"), "/f")
    reg("add", SETTINGS, "/v", "loginShowIntro", "/d", "0", "/f")  # the HUD starts hidden
    env = dict(os.environ)
    env["WINEDLLOVERRIDES"] = env.get("WINEDLLOVERRIDES", "") + ";dinput8=n,b"
    try:
        out = subprocess.run([WINE_RUN, game + ".exe"] + args, cwd=folder, env=env, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, timeout=240).stdout.decode("latin-1")
    finally:
        reg("delete", SETTINGS, "/v", "loginShowIntro", "/f")
    print("$ %s: %s.exe %s\n%s" % (name, game, " ".join(args), out), flush=True)
    check(name + ": the game ran to its end", game + ": done" in out and "dinput opened" in out, out[-2000:])
    log_text = open(log, encoding="latin-1").read() if os.path.exists(log) else ""
    return out, log_text


def di_events(out, first=0, last=10 ** 9):
    """[(frame, what)] of the game's DirectInput reads between two frames."""
    got = []
    for m in re.finditer(r"sample[89]: frame (\d+) di (.*)", out):
        if first <= int(m.group(1)) <= last:
            got.append((int(m.group(1)), m.group(2).strip()))
    return got


def keys(out, dik):
    return [w for _, w in di_events(out) if w.endswith("dik=0x%02X" % dik)]


def probes(out):
    return {int(f): c for f, c in re.findall(r"probe frame (\d+) x 300 y 150 = (0x[0-9A-F]{8})", out)}


# 0. The library's exports: those of the system's DirectInput 8 library.
ex = exports(DINPUT)
check("exports with their ordinals",
      ex == {"DirectInput8Create": 1, "DllCanUnloadNow": 2, "DllGetClassObject": 3, "DllRegisterServer": 4,
             "DllUnregisterServer": 5, "GetdfDIJoystick": 6}, str(ex))

# Presses and releases on frames of their own, so a read of the whole state
# sees both.
def press(frame, vk):
    return ["--at", "%d:keydown:%d" % (frame, vk), "--at", "%d:keyup:%d" % (frame + 1, vk)]


PLAIN = ["--frames", "30"] + press(5, 65) + press(10, 45) + ["--at", "15:rmove:20,10"] + press(20, 66)
for mode in ("state", "buffered"):
    # 1. The game alone, then with our dinput8.dll and no Direct3D proxy: the
    # same keys and clicks in the same order.
    alone, _ = run("alone-" + mode, ["--dinput", mode] + PLAIN, dinput=False, proxy=None)
    alone_events = [w for _, w in di_events(alone) if "move" not in w]
    check(mode + ": the game reads its keys and its mouse",
          all(keys(alone, d) == ["key down dik=0x%02X" % d, "key up dik=0x%02X" % d] for d in (DIK_A, DIK_INSERT, DIK_B))
          and any("mouse move" in w for _, w in di_events(alone)), alone[-2000:])
    untouched, log = run("no-hud-" + mode, ["--dinput", mode] + PLAIN, dinput=True, proxy=None)
    check(mode + ": without a Direct3D proxy the game's input is untouched",
          [w for _, w in di_events(untouched) if "move" not in w] == alone_events,
          "%s\nvs\n%s" % (di_events(untouched), alone_events))

for mode, game, proxy, line in (("state", "sample9", PROXY9, "Proxydx9"), ("buffered", "sample9", PROXY9, "Proxydx9"),
                                 ("state", "sample8", PROXY8, "Proxydx8")):
    # 2. Both proxies. The HUD starts hidden; Insert shows it (the dashboard
    # takes the focus and the pointer), Insert again hides it.
    name = "hud-%s-%s" % (game, mode)
    hud, log = run(name, ["--dinput", mode, "--frames", "40", "--swap", "copy"] +
                   press(5, 65) +                  # the game's key
                   press(10, 45) +                 # HUD shown
                   ["--at", "18:rmove:30,20"] +    # the pointer moves: not the game's
                   press(20, 66) +                 # typed while the HUD has the pointer
                   press(25, 45) +                 # HUD hidden
                   press(30, 67) +                 # the game's key again
                   ["--at", "34:rmove:-20,-10",
                    "--probe-frames", "8,16,29", "--probe", "300,150"], dinput=True, proxy=proxy, game=game)
    p = probes(hud)
    check(name + ": the game gets its keys", keys(hud, DIK_A) == ["key down dik=0x1E", "key up dik=0x1E"] and
          keys(hud, DIK_C) == ["key down dik=0x2E", "key up dik=0x2E"], hud[-3000:])
    check(name + ": the hot key toggles the HUD",
          p.get(8) not in (None, DASHBOARD) and p.get(16) == DASHBOARD and p.get(29) not in (None, DASHBOARD), str(p))
    check(name + ": the hot key never reaches the game", keys(hud, DIK_INSERT) == [], hud[-3000:])
    shown = di_events(hud, 12, 26)
    check(name + ": while the HUD has the pointer the game reads nothing", shown == [], str(shown))
    check(name + ": the HUD took the keyboard and the mouse from DirectInput",
          line + ": MouseProcDI() switching to dinput mouse: rel-coords" in log, log[-2000:])
    check(name + ": the game reads its mouse again once the HUD is hidden",
          any("mouse move" in w for _, w in di_events(hud, 34, 40)), str(di_events(hud)))

reg("delete", SETTINGS, "/v", "logFileName", "/f")
if failures:
    print("\n".join(["", "FAILURES:"] + failures))
    sys.exit(1)
shutil.rmtree(WORK, ignore_errors=True)
print("all DirectInput checks passed")
