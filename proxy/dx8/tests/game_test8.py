#!/usr/bin/python3
"""The Direct3D 8 sample game through the proxy under Wine and Xvfb.

usage: game_test8.py <proxy d3d8.dll> <bin folder>

The cases both frames share (game_cases.py), then the Direct3D 8 frame's own:
its interfaces, and its reference counts presenting through the device.
"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "common", "tests"))
from game_cases import GameTest, ref_count_lines  # noqa: E402

t = GameTest("8", sys.argv[1], sys.argv[2])
run, check = t.run, t.check
t.common_cases("target and viewport")

# QueryInterface: the wrappers answer for what they implement; what the
# runtime refuses stays refused, with the output cleared.
qi, _ = run("qi", ["--frames", "3", "--query-interface"])
for obj, iid in (("d3d8", "IUnknown"), ("d3d8", "IDirect3D8"), ("device", "IUnknown"), ("device", "IDirect3DDevice8")):
    check("QueryInterface %s %s gives the wrapper" % (obj, iid),
          re.search(r"qi %s %s hr=0x0 same=1" % (obj, iid), qi) is not None, qi[-3000:])
check("refused interfaces stay refused with the output cleared",
      re.search(r"qi device IDirect3D8 hr=0x[0-9A-F]+ same=0 null=1", qi) is not None and
      re.search(r"qi d3d8 IDirect3DDevice8 hr=0x[0-9A-F]+ same=0 null=1", qi) is not None, qi[-3000:])

# The game counts the same references with and without the HUD (shown).
count_args = ["--frames", "12", "--probe-frames", "1,6,12", "--ref-counts"]
plain_counts, _ = run("ref-counts-plain", count_args, with_proxy=False)
proxied_counts, log = run("ref-counts", count_args)
lines = ref_count_lines
check("reference counts as without the HUD", len(lines(plain_counts)) == 3 and
      lines(plain_counts) == lines(proxied_counts), "\n%s\nvs\n%s" % (lines(plain_counts), lines(proxied_counts)))
check("HUD drawn while counting", "Proxydx8: First Present (device)" in log, log)
check("nothing of the Direct3D 9 frame in the log", "Proxydx9" not in log and "DX9" not in log, log)

t.finish()
