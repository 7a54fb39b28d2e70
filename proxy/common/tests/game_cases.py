"""The sample game of either Direct3D frame through its proxy under Wine and
Xvfb: what every frame's game test runs (proxy/dx9/tests/game_test.py,
proxy/dx8/tests/game_test8.py run these cases and their frame's own).

Each case runs the frame's sample game from a game folder of its own (with or
without the proxy beside it), with the proxy's log going to a file of the case,
and checks what the game printed, its read-back pixels and the log.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
WINE_RUN = os.path.join(ROOT, "scripts", "lib", "wine-run")
WITH_DISPLAY = os.path.join(ROOT, "scripts", "lib", "with-display")
SETTINGS = r"HKCU\Software\BRINMOOR\Orvalo HUD 4.0.6.0\Settings"

PROBE_ARGS = ["--swap", "copy", "--frames", "40", "--probe-frames", "1,39",
              "--probe", "5,5", "--probe", "120,70", "--probe", "300,150", "--probe", "600,420"]


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


def set_setting(name, value):
    subprocess.run([WINE_RUN, "reg", "add", SETTINGS, "/v", name, "/d", value, "/f"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)


def delete_setting(name):
    subprocess.run([WINE_RUN, "reg", "delete", SETTINGS, "/v", name, "/f"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def probes(text):
    return {(int(f), int(x), int(y)): v for f, x, y, v in
            re.findall(r"probe frame (\d+) x (\d+) y (\d+) = (0x[0-9A-F]{8})", text)}


def bmp_pixels(path):
    """(width, height, rows top-down of (r, g, b)) of a 24-bit BMP."""
    data = open(path, "rb").read()
    offset = int.from_bytes(data[10:14], "little")
    width = int.from_bytes(data[18:22], "little", signed=True)
    height = int.from_bytes(data[22:26], "little", signed=True)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        src = y if height < 0 else abs(height) - 1 - y
        row = data[offset + src * stride: offset + src * stride + width * 3]
        rows.append([(row[i + 2], row[i + 1], row[i]) for i in range(0, width * 3, 3)])
    return width, abs(height), rows


def in_order(log, lines):
    at = 0
    for line in lines:
        at = log.find(line, at)
        if at < 0:
            return False
        at += len(line)
    return True


def ref_count_lines(text):
    return re.findall(r"refs frame .*", text)


class GameTest:
    """One frame's game test: version "9" or "8", the proxy DLL, the folder of
    the built programs (the sample game and the codec libraries)."""

    def __init__(self, version, proxy, bin_folder):
        # One X display for every run of the test: Wine's desktop process
        # outlives a program by a few seconds and must not find its display gone.
        if not os.environ.get("DISPLAY") or subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL,
                                                          stderr=subprocess.DEVNULL).returncode != 0:
            os.execv(WITH_DISPLAY, [WITH_DISPLAY, sys.executable] + sys.argv)
        self.version = version
        self.proxy, self.bin = os.path.abspath(proxy), os.path.abspath(bin_folder)
        self.game_exe = "sample%s.exe" % version
        self.dll = "d3d%s.dll" % version
        self.prefix = "Proxydx%s: " % version
        self.work = tempfile.mkdtemp(prefix="proxy%s-game-" % version)
        self.failures = []

    def game(self, name, with_proxy, with_codecs=True):
        folder = os.path.join(self.work, name)
        os.makedirs(folder)
        shutil.copy(os.path.join(self.bin, self.game_exe), folder)
        if with_proxy:
            shutil.copy(self.proxy, os.path.join(folder, self.dll))
            for f in os.listdir(self.bin) if with_codecs else []:
                if re.match(r"(avcodec|avformat|avutil|swscale|swresample)-\d+\.dll$", f):
                    shutil.copy(os.path.join(self.bin, f), folder)
        return folder

    def run(self, name, args, with_proxy=True, settings=None, with_codecs=True):
        """Runs the game; returns (stdout, log text)."""
        folder = self.game(name, with_proxy, with_codecs)
        log = os.path.join(folder, "proxy.log")
        set_setting("logFileName", wine_path(log))
        for key, value in (settings or {}).items():
            set_setting(key, value)
        try:
            out = subprocess.run([WINE_RUN, self.game_exe] + args, cwd=folder,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=240)
            text = out.stdout.decode("latin-1")
        finally:
            for key in (settings or {}):
                delete_setting(key)
        log_text = open(log, encoding="latin-1", newline="").read() if os.path.exists(log) else ""
        if "sample%s: done" % self.version not in text:
            self.failures.append("%s: the game did not finish cleanly:\n%s" % (name, text[-3000:]))
            print(self.failures[-1])
        return text, log_text

    def check(self, name, condition, detail=""):
        print("%s %s" % ("ok  " if condition else "FAIL", name))
        if not condition:
            self.failures.append("%s %s" % (name, detail))

    def finish(self):
        delete_setting("logFileName")
        if self.failures:
            print("\n".join(["", "FAILURES:"] + self.failures))
            sys.exit(1)
        shutil.rmtree(self.work, ignore_errors=True)
        print("all game checks passed")

    def common_cases(self, leave_target_name):
        """The cases every frame passes alike. leave_target_name: what the
        frame's game leaves bound at the end of a frame, for the check's name."""
        run, check, WORK, P = self.run, self.check, self.work, self.prefix
        # 1. Without any HUD window the proxied game renders exactly what the system runtime renders.
        plain, _ = run("plain", PROBE_ARGS + ["--dump", "39:" + wine_path(os.path.join(WORK, "plain.bmp"))],
                       with_proxy=False)
        hidden, log = run("proxied-hidden", PROBE_ARGS + ["--dump", "39:" + wine_path(os.path.join(WORK, "hidden.bmp"))],
                          settings={"loginShowIntro": "0"})
        check("same probes with and without the proxy", probes(plain) and probes(plain) == probes(hidden),
              "%s vs %s" % (probes(plain), probes(hidden)))
        check("same frame with and without the proxy",
              open(os.path.join(WORK, "plain.bmp"), "rb").read() == open(os.path.join(WORK, "hidden.bmp"), "rb").read())
        check("log records the proxy's life in order",
              in_order(log, ["Loaded: proxydx%s ver 4.0.6.0\r\n" % self.version, P + "First Present (device)",
                             P + "Final device release!\r\n", "Unloaded: proxydx%s\r\n\r\n" % self.version]), log)
        check("the game's own release ends the device", "released device refs=0" in hidden)

        # 1b. A game folder with our proxy but without the codec libraries: the game
        # starts and renders the same frame (the libraries are loaded only when needed).
        bare, log = run("proxied-no-codecs", PROBE_ARGS + ["--dump", "39:" + wine_path(os.path.join(WORK, "bare.bmp"))],
                        settings={"loginShowIntro": "0"}, with_codecs=False)
        check("same frame without the codec libraries beside the proxy",
              os.path.exists(os.path.join(WORK, "bare.bmp")) and
              open(os.path.join(WORK, "plain.bmp"), "rb").read() == open(os.path.join(WORK, "bare.bmp"), "rb").read())
        check("the proxy ran without the codec libraries", P + "First Present (device)" in log, log)

        # 2. The HUD is drawn on the first frame: logo and dashboard frame, opaque, elsewhere the game.
        shown, log = run("proxied-shown", PROBE_ARGS + ["--dump", "39:" + wine_path(os.path.join(WORK, "shown.bmp"))])
        p = probes(shown)
        check("dashboard frame drawn at (116, 50) on the first frame", p.get((1, 120, 70)) == "0xFF028DFF", str(p))
        check("dashboard face drawn", p.get((1, 300, 150)) == "0xFFCDE8FF", str(p))
        check("game visible beside the HUD", p.get((1, 5, 5)) == probes(plain).get((1, 5, 5)), str(p))
        w, h, a = bmp_pixels(os.path.join(WORK, "plain.bmp"))
        _, _, b = bmp_pixels(os.path.join(WORK, "shown.bmp"))
        hud_rects = [(10, 10, 116, 44), (116, 50, 516, 362)]
        outside_same = all(a[y][x] == b[y][x] for y in range(h) for x in range(w)
                           if not any(l <= x < r and t <= y < bt for l, t, r, bt in hud_rects))
        check("pixels outside the HUD windows untouched", outside_same)
        logo_changed = sum(a[y][x] != b[y][x] for y in range(10, 44) for x in range(10, 116))
        check("logo drawn at (10, 10)", logo_changed > 106 * 34 // 2, "%d pixels of the logo differ" % logo_changed)

        # 3. A Reset with a new size keeps the game and the HUD running.
        reset, log = run("reset", ["--swap", "copy", "--frames", "30", "--reset-at", "10", "--reset-size", "800x600",
                                   "--probe-frames", "5,25", "--probe", "120,70", "--probe", "300,150"])
        check("Reset succeeds through the proxy", re.search(r"reset to 800x600 hr=0x0\b", reset) is not None, reset[-2000:])
        check("HUD drawn after the Reset", probes(reset).get((25, 300, 150)) == "0xFFCDE8FF", str(probes(reset)))

        # 4. Two devices in one run, one after the other and side by side.
        run("two-devices", ["--frames", "20", "--two-devices"])
        run("two-devices-concurrent", ["--frames", "20", "--two-devices=concurrent"])

        # 5. The player's input: clicks on a HUD window stay with the HUD, others reach
        # the game; the hot key hides and shows the HUD; the hot key with the arrows
        # moves the focused window; the pointer is drawn and pulses in 64 frames.
        actions = ["--at", "5:click:300,200",      # on the dashboard: withheld from the game
                   "--at", "8:click:600,420",      # beside the HUD: the game gets it
                   "--at", "12:key:45",            # hot key alone: HUD hidden
                   "--at", "20:key:45",            # and shown again, the dashboard focused
                   "--at", "26:keydown:45", "--at", "27:key:39", "--at", "28:key:40", "--at", "29:keyup:45"]
        pointer_frames = list(range(40, 40 + 66))
        inp, log = run("input", ["--swap", "copy", "--frames", "110"] + actions +
                       ["--probe-frames", "10,16,24,35," + ",".join(map(str, pointer_frames)),
                        "--probe", "300,150", "--probe", "600,420", "--probe", "520,365", "--probe", "120,70"])
        p = probes(inp)
        check("a click on the dashboard does not reach the game",
              "got WM_LBUTTONDOWN x=300 y=200" not in inp, inp[-3000:])
        check("a click beside the HUD reaches the game", "got WM_LBUTTONDOWN x=600 y=420" in inp, inp[-3000:])
        # The HUD takes every press of the hot key and the releases of lone presses;
        # the release after a combination is passed on.
        check("the hot key is the HUD's", "got WM_KEYDOWN vk=45" not in inp and inp.count("got WM_KEYUP vk=45") == 1,
              inp[-3000:])
        check("HUD shown before the hot key", p.get((10, 300, 150)) == "0xFFCDE8FF", str(p))
        check("hot key hides the HUD", p.get((16, 300, 150)) not in (None, "0xFFCDE8FF"), str(p))
        check("hot key shows it again", p.get((24, 300, 150)) == "0xFFCDE8FF", str(p))
        check("hot key + Right, Down move the dashboard by 10, 10",
              p.get((10, 520, 365)) != "0xFF028DFF" and p.get((10, 120, 70)) == "0xFF028DFF" and
              p.get((35, 520, 365)) == "0xFF028DFF" and p.get((35, 120, 70)) != "0xFF028DFF",
              str({k: v for k, v in p.items() if k[0] in (10, 35)}))
        ramp = [int(p.get((f, 600, 420), "0x0"), 16) for f in pointer_frames]
        steps = [(b - a) & 0xFFFFFFFF for a, b in zip(ramp, ramp[1:])]
        check("pointer drawn at the last mouse position, pulsing in 64 frames",
              ramp[0] == ramp[64] and ramp[0] != ramp[1] and steps.count(0x040404) == 64 and
              all(c & 0xFF000000 == 0xFF000000 for c in ramp), str(ramp))

        # 6. A game that ends its frame with its own render target and a small
        # viewport bound (and, where the frame has one, a scissor rectangle):
        # the pointer lands on the presented frame, the game's target keeps
        # what the game put there, the HUD windows are drawn.
        target_args = ["--swap", "copy", "--frames", "14", "--leave-target", "600,420",
                       "--at", "3:key:45", "--at", "4:key:45",   # hidden and shown again: the dashboard has the focus
                       "--at", "5:move:600,420",                 # the pointer over the game
                       "--probe-frames", "10,11,12", "--probe", "600,420", "--probe", "300,150"]
        plain_target, _ = run("leave-target-plain", target_args, with_proxy=False)
        target, log = run("leave-target", target_args)
        p, q = probes(target), probes(plain_target)
        check("the game's own render target is untouched",
              all("offscreen frame %d changed=0" % f in target for f in (10, 11, 12)) and
              all("offscreen frame %d changed=0" % f in plain_target for f in (10, 11, 12)),
              re.findall(r"offscreen frame \d+ changed=\d+", target))
        ramp = [int(p.get((f, 600, 420), "0x0"), 16) for f in (10, 11, 12)]
        check("the pointer is on the presented frame despite the game's " + leave_target_name,
              all(p.get((f, 600, 420)) != q.get((f, 600, 420)) for f in (10, 11, 12)) and
              all((b - a) & 0xFFFFFFFF == 0x040404 for a, b in zip(ramp, ramp[1:])),
              "%s vs %s" % (p, q))
        check("HUD windows drawn with the game's target bound", p.get((10, 300, 150)) == "0xFFCDE8FF", str(p))
