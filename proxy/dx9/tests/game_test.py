#!/usr/bin/python3
"""The Direct3D 9 sample game through the proxy under Wine and Xvfb.

usage: game_test.py <proxy d3d9.dll> <bin folder>

The cases both frames share (game_cases.py), then the Direct3D 9 frame's own:
presenting through swap chain 0, its interfaces and the performance markers.
"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "common", "tests"))
from game_cases import GameTest, probes, ref_count_lines  # noqa: E402

t = GameTest("9", sys.argv[1], sys.argv[2])
run, check = t.run, t.check
t.common_cases("viewport and scissor")

# Presenting through swap chain 0: the same wrapper twice, and the HUD is composed there too.
swap, log = run("swapchain", ["--present", "swapchain", "--swap", "copy", "--frames", "20",
                              "--probe-frames", "2", "--probe", "120,70"])
check("GetSwapChain(0) twice gives the same object", "swapchain same=1" in swap, swap[-2000:])
check("swap-chain path reaches the composition point",
      "Proxydx9: First Present (swap chain 0)" in log and probes(swap).get((2, 120, 70)) == "0xFF028DFF",
      log + str(probes(swap)))

# QueryInterface: the wrappers answer for what they implement, other interfaces come back unwrapped.
qi, _ = run("qi", ["--frames", "3", "--query-interface"])
for obj, iid in (("d3d9", "IUnknown"), ("device", "IUnknown"), ("device", "IDirect3DDevice9"),
                 ("swapchain", "IUnknown"), ("swapchain", "IDirect3DSwapChain9")):
    check("QueryInterface %s %s gives the wrapper" % (obj, iid),
          re.search(r"qi %s %s hr=0x0 same=1" % (obj, iid), qi) is not None, qi[-3000:])
check("no wrapper handed out for interfaces it does not implement",
      re.search(r"qi device IDirect3DDevice9Ex hr=0x0 same=1", qi) is None, qi[-3000:])

# The performance markers are forwarded.
perf, log = run("perf", ["--frames", "5", "--perf"])
check("D3DPERF calls forwarded", "Proxydx9: D3DPERF_BeginEvent() call!\r\n" in log and "perf BeginEvent=" in perf, log)

# The game counts the same references with and without the HUD (shown,
# presenting through swap chain 0), and may use swap chain 0 after releasing it.
count_args = ["--present", "swapchain", "--frames", "12", "--probe-frames", "1,6,12", "--ref-counts"]
plain_counts, _ = run("ref-counts-plain", count_args, with_proxy=False)
proxied_counts, log = run("ref-counts", count_args)
lines = ref_count_lines
check("reference counts as without the HUD", len(lines(plain_counts)) == 3 and
      lines(plain_counts) == lines(proxied_counts), "\n%s\nvs\n%s" % (lines(plain_counts), lines(proxied_counts)))
check("swap chain 0 asked for again after release is the same object",
      all(" same=1 " in l for l in lines(proxied_counts)), str(lines(proxied_counts)))
check("HUD drawn while counting", "Proxydx9: First Present (swap chain 0)" in log, log)

t.finish()
