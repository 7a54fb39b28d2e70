#!/usr/bin/python3
"""The proxy's life in a process, under Wine and Xvfb.

usage: lifecycle_test.py <d3d9.dll> <test build of d3d9.dll> <lifecycle_game.exe> <bin folder>
                         <lifecycle_renderer.dll>
       lifecycle_test.py --d3d8 <test build of d3d8.dll> <lifecycle_game8.exe> <bin folder>
                         <lifecycle_renderer.dll>

1. Another program on the desktop receives a key while the game runs (the
   game's keyboard hook maps our d3d9.dll into it), then asks for d3d9.dll by
   name and makes a device: it must get the system runtime's objects, and
   nothing of that program reaches the game's log.
2. A game whose main thread calls ExitProcess while its render thread is
   inside the proxy (holding the HUD and the log) ends within seconds.
3. A game that records ends within seconds however it ends: it frees the
   library without releasing its objects; it releases them first (the
   recording is then a whole file); it calls ExitProcess; a library of the
   game releases the device from its DllMain when the game unloads it (under
   the loader lock: the HUD still ends, with a whole recording, once the lock
   is free) or at process exit.
Every program runs with a time limit, so a hang fails the test. With --d3d8
only the games of 3 run, as Direct3D 8 games.
"""
import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
WINE_RUN = os.path.join(ROOT, "scripts", "lib", "wine-run")
WITH_DISPLAY = os.path.join(ROOT, "scripts", "lib", "with-display")

if not os.environ.get("DISPLAY") or subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL,
                                                  stderr=subprocess.DEVNULL).returncode != 0:
    os.execv(WITH_DISPLAY, [WITH_DISPLAY, sys.executable] + sys.argv)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "common", "tests"))
from game_cases import delete_setting, set_setting, wine_path  # noqa: E402

D3D8 = sys.argv[1] == "--d3d8"
if D3D8:
    PROXY = None
    TESTING_PROXY, PROGRAM, BIN, RENDERER = (os.path.abspath(a) for a in sys.argv[2:6])
else:
    PROXY, TESTING_PROXY, PROGRAM, BIN, RENDERER = (os.path.abspath(a) for a in sys.argv[1:6])
RUNTIME = "d3d8.dll" if D3D8 else "d3d9.dll"
WORK = tempfile.mkdtemp(prefix="proxy9-lifecycle-")
failures = []


def check(name, condition, detail=""):
    print("%s %s" % ("ok  " if condition else "FAIL", name))
    if not condition:
        failures.append("%s\n%s" % (name, detail))


def folder(name, programs, proxy=None):
    """A folder with the programs and, if given, the proxy under the runtime's name and the codec DLLs."""
    path = os.path.join(WORK, name)
    os.makedirs(path)
    for program in programs:
        shutil.copy(program, path)
    if proxy:
        shutil.copy(proxy, os.path.join(path, RUNTIME))
        for f in os.listdir(BIN):
            if re.match(r"(avcodec|avformat|avutil|swscale|swresample)-\d+\.dll$", f):
                shutil.copy(os.path.join(BIN, f), path)
    return path


def use_log(path):
    log = os.path.join(path, "proxy.log")
    set_setting("logFileName", wine_path(log))
    return log


def read(path):
    return open(path, encoding="latin-1", newline="").read() if os.path.exists(path) else ""


def read_rec(folder):
    """(pictures, sound records, whether the file ends on a whole record) of the
    one .rec file in a folder, or None when there is none or its header is not one."""
    files = glob.glob(os.path.join(folder, "*.rec"))
    if len(files) != 1:
        return None
    data = open(files[0], "rb").read()
    if len(data) < 36 or data[:8] != b"VQ1000\0\0":
        return None
    at = 36 + struct.unpack_from("<I", data, 32)[0]
    pictures = sounds = 0
    while at < len(data):
        if data[at:at + 1] == b"A" and at + 5 <= len(data):
            end = at + 5 + struct.unpack_from("<I", data, at + 1)[0]
            kind = "sound"
        elif data[at:at + 1] == b"V" and at + 17 <= len(data):
            end = at + 17 + struct.unpack_from("<I", data, at + 13)[0]
            kind = "picture"
        else:
            break
        if end > len(data):
            break
        pictures += kind == "picture"
        sounds += kind == "sound"
        at = end
    return pictures, sounds, at == len(data)


def run(args, cwd, limit):
    """Runs a program; returns (output, exit code or None when it had to be stopped)."""
    started = time.time()
    try:
        out = subprocess.run([WINE_RUN] + args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             timeout=limit)
        text, code = out.stdout.decode("latin-1"), out.returncode
    except subprocess.TimeoutExpired as e:
        text, code = (e.stdout or b"").decode("latin-1"), None
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)  # the hung process
    print("   %s: %.1f s, exit %s" % (" ".join(os.path.basename(a) for a in args), time.time() - started, code))
    return text, code


def foreign_and_exit_cases():
    # 1. Another program reached by the game's keyboard hook stays with the system runtime.
    game = folder("game", [os.path.join(BIN, "sample9.exe")], PROXY)
    other = folder("other", [PROGRAM])
    log = use_log(game)
    sample = subprocess.Popen([WINE_RUN, "sample9.exe", "--frames", "900", "--fps", "30"], cwd=game,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    game_out = []
    for raw in sample.stdout:
        game_out.append(raw.decode("latin-1"))
        if "sample9: frame 30" in game_out[-1] or "error" in game_out[-1]:
            break
    foreign, code = run(["lifecycle_game.exe", "foreign"], other, 120)
    try:
        rest, _ = sample.communicate(timeout=120)
        game_out.append(rest.decode("latin-1"))
    except subprocess.TimeoutExpired:
        sample.kill()
    game_text = "".join(game_out)
    log_text = read(log)
    proxy_file = wine_path(os.path.join(game, "d3d9.dll")).lower()
    print(foreign)
    check("the game ran through the proxy", "sample9: done" in game_text and "Proxydx9: First Present" in log_text,
          game_text[-2000:] + log_text)
    check("the game's keyboard hook mapped our d3d9.dll into the other program",
          re.search(r"after the key d3d9\.dll is (.*)", foreign) is not None and
          re.search(r"after the key d3d9\.dll is (.*)", foreign).group(1).strip().lower() == proxy_file, foreign)
    check("its request for d3d9.dll by name found our library", "d3d9.dll by name is" in foreign and
          re.search(r"d3d9\.dll by name is (.*)", foreign).group(1).strip().lower() == proxy_file, foreign)
    for what in ("direct3d", "device"):
        m = re.search(r"%s code in (.*)" % what, foreign)
        check("its %s is the system runtime's, not a wrapper" % what,
              m is not None and m.group(1).strip().lower().endswith("system32\\d3d9.dll"), foreign)
    check("the other program ran to its end", code == 0 and "lifecycle: done" in foreign, foreign)
    check("nothing of the other program in the game's log",
          log_text.count("Loaded: proxydx9") == 1 and log_text.count("First Present") == 1, log_text)

    # 2. ExitProcess while the render thread is inside the proxy.
    exiting = folder("exit", [PROGRAM], PROXY)
    log = use_log(exiting)
    text, code = run(["lifecycle_game.exe", "exit-while-presenting"], exiting, 60)
    check("the render thread was inside the proxy when the game exited",
          "exiting while the render thread logs" in text, text + read(log))
    check("a game exiting while its render thread is inside the proxy ends", code == 0, text + read(log))


if not D3D8:
    foreign_and_exit_cases()


# 3. A game that records, then ends in each way.
def recording_game(mode, limit=90):
    """Runs the game program in a mode that records; returns (output, exit code, log, folder)."""
    path = folder(mode, [PROGRAM, RENDERER], TESTING_PROXY)
    log = use_log(path)
    set_setting("recorderFolder", wine_path(path) + "\\")
    text, code = run([os.path.basename(PROGRAM), mode], path, limit)
    delete_setting("recorderFolder")
    log_text = read(log)
    check("%s: a recording was running" % mode, "recording started=1" in text and "Start recording:" in log_text,
          text + log_text)
    return text, code, log_text, path


def whole_recording(mode, path, detail):
    rec = read_rec(path)
    print("   %s: recording %s" % (mode, rec))
    check("%s: the recording is a whole file with pictures and sound" % mode,
          rec is not None and rec[0] > 0 and rec[1] > 0 and rec[2], detail)


text, code, log_text, path = recording_game("free-while-recording")
check("freeing the library while recording returns", "freed the library" in text, text + log_text)
check("the game then ends", code == 0 and "main returns 0" in text, text + log_text)

text, code, log_text, path = recording_game("release-then-free")
check("release-then-free: the device's end ended the HUD and its recording",
      "hud alive after the release=0" in text and "End recording" in log_text, text + log_text)
check("release-then-free: the game frees the library and ends",
      "freed the library" in text and code == 0 and "main returns 0" in text, text + log_text)
whole_recording("release-then-free", path, text + log_text)

text, code, log_text, path = recording_game("exit-while-recording")
check("exit-while-recording: the game ends", "exiting while recording" in text and code == 0, text + log_text)
rec = read_rec(path)
print("   exit-while-recording: recording %s" % (rec,))
check("exit-while-recording: the recording's header and records up to the exit are readable",
      rec is not None and rec[0] > 0, text + log_text)

text, code, log_text, path = recording_game("renderer-unloaded")
check("renderer-unloaded: the renderer's release under the loader lock returns",
      "renderer released the device at unload refs=0" in text and "unloaded the renderer" in text,
      text + log_text)
check("renderer-unloaded: the HUD ends with its recording once the lock is free",
      "hud alive after the renderer's unload=0" in text and "the HUD ends on a thread of its own" in log_text and
      "End recording" in log_text and code == 0, text + log_text)
whole_recording("renderer-unloaded", path, text + log_text)

text, code, log_text, path = recording_game("renderer-at-exit")
check("renderer-at-exit: the renderer's release at process exit returns and the game ends",
      "renderer released the device at process exit" in text and code == 0, text + log_text)

delete_setting("logFileName")
if failures:
    print("\n".join(["", "FAILURES:"] + failures))
    sys.exit(1)
shutil.rmtree(WORK, ignore_errors=True)
print("all lifecycle checks passed")
