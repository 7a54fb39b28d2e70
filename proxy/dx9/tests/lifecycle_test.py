#!/usr/bin/python3
"""The proxy's life in a process, under Wine and Xvfb.

usage: lifecycle_test.py <d3d9.dll> <test build of d3d9.dll> <lifecycle_game.exe> <bin folder>

1. Another program on the desktop receives a key while the game runs (the
   game's keyboard hook maps our d3d9.dll into it), then asks for d3d9.dll by
   name and makes a device: it must get the system runtime's objects, and
   nothing of that program reaches the game's log.
2. A game whose main thread calls ExitProcess while its render thread is
   inside the proxy (holding the HUD and the log) ends within seconds.
3. A game that frees the library while a recording runs ends within seconds.
Every program runs with a time limit, so a hang fails the test.
"""
import os
import re
import shutil
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

PROXY, TESTING_PROXY, PROGRAM, BIN = (os.path.abspath(a) for a in sys.argv[1:5])
WORK = tempfile.mkdtemp(prefix="proxy9-lifecycle-")
failures = []


def check(name, condition, detail=""):
    print("%s %s" % ("ok  " if condition else "FAIL", name))
    if not condition:
        failures.append("%s\n%s" % (name, detail))


def folder(name, programs, proxy=None):
    """A folder with the programs and, if given, the proxy as d3d9.dll and the codec DLLs."""
    path = os.path.join(WORK, name)
    os.makedirs(path)
    for program in programs:
        shutil.copy(program, path)
    if proxy:
        shutil.copy(proxy, os.path.join(path, "d3d9.dll"))
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

# 3. FreeLibrary while recording.
freeing = folder("free", [PROGRAM], TESTING_PROXY)
log = use_log(freeing)
set_setting("recorderFolder", wine_path(freeing) + "\\")
text, code = run(["lifecycle_game.exe", "free-while-recording"], freeing, 90)
delete_setting("recorderFolder")
log_text = read(log)
check("a recording was running", "recording started=1" in text and "Start recording:" in log_text,
      text + log_text)
check("freeing the library while recording returns", "freed the library" in text, text + log_text)
check("the game then ends", code == 0 and "main returns 0" in text, text + log_text)

delete_setting("logFileName")
if failures:
    print("\n".join(["", "FAILURES:"] + failures))
    sys.exit(1)
shutil.rmtree(WORK, ignore_errors=True)
print("all lifecycle checks passed")
