"""morva-ground with its tiles spilled to disk (a --max-memory below what the
points take in memory) against the same command held in memory: the output's
bytes must be the same, laspy must read the same classes from it, the
summary must tally them and say the tiles went to disk, and nothing but the
output may be left in its folder (the temporaries are gone however the
program ends: a bound too small for one tile is refused with one line, a
SIGTERM while the points are spilled leaves nothing). One case of
spill_cases.table; skipped, saying so, where the shared data is absent.

usage: spill_check.py BUILD_DIR SHARED_DATA WORK NAME INPUTS OUTPUT BOUND EXPECT [OPTIONS...]
"""
import os
import shutil
import signal
import subprocess
import sys
import time

import laspy
import numpy as np

BUILD, SHARED, WORK, NAME, INPUTS, OUTPUT, BOUND, EXPECT = sys.argv[1:9]
OPTIONS = sys.argv[9:]
TOOL = {t: os.path.join(BUILD, p) for t, p in (("sim", "tools/sim/morva-sim"), ("morva", "src/morva"),
                                                ("las", "tools/las/morva-las"), ("ground", "tools/ground/morva-ground"))}
folder = os.path.join(WORK, NAME)
shutil.rmtree(folder, ignore_errors=True)
os.makedirs(folder)


def simulated(surface):
    """The run control of a short simulated survey (flat300's objects and noise), made once per case."""
    survey = os.path.join(folder, "sim_" + surface)
    if not os.path.exists(survey):
        subprocess.run([TOOL["sim"], "--objects", "trees,buildings,bridge,lowveg,outliers", "--range-noise", "0.02",
                        "--height", "300", "--surface", surface, "--seed", "1", "--duration", "2", "--truth-grid", "0",
                        survey], check=True, capture_output=True)
        subprocess.run([TOOL["morva"]], stdin=open(os.path.join(survey, "run.in")), cwd=survey, check=True,
                       capture_output=True)
    return os.path.join(survey, "run.in")


def source(word):
    kind, _, rest = word.partition(":")
    if kind == "sim":
        return simulated(rest)
    if kind == "simlas":
        las = os.path.join(folder, f"{rest}.las")
        if not os.path.exists(las):
            subprocess.run([TOOL["las"], "--crs", "EPSG:32631", simulated(rest), las], check=True, capture_output=True)
        return las
    path = os.path.join(SHARED, word)
    if not os.path.exists(path):
        print(f"skipped: no {path}")
        sys.exit(77)
    return path


inputs = [source(w) for w in INPUTS.split(",")]


def outputs_in(sub):
    """The command's outputs in folder/sub, made empty."""
    out = os.path.join(folder, sub)
    os.makedirs(out)
    if OUTPUT == "each":
        return out, [os.path.join(out, "{}.las")], [os.path.join(out, os.path.splitext(os.path.basename(i))[0] + ".las")
                                                     for i in inputs]
    name = os.path.join(out, "out." + OUTPUT)
    return out, [name], [name]


def ground(sub, *bound):
    out, last, made = outputs_in(sub)
    each = ["--each"] if OUTPUT == "each" else []
    return out, made, [TOOL["ground"], *each, *bound, *OPTIONS, *inputs, *last]


failures = []
spill_dir, spilled, spill_cmd = ground("spilled", "--max-memory", BOUND)

if EXPECT == "refused":
    r = subprocess.run(spill_cmd, capture_output=True, text=True)
    lines = r.stderr.strip().splitlines()
    if r.returncode != 1 or len(lines) != 1 or not lines[0].startswith("morva-ground: ") \
            or "give a smaller --tile-size" not in lines[0]:
        failures.append(f"exit {r.returncode}, stderr {r.stderr.strip()!r}: wanted 1 and one line naming --tile-size")
elif EXPECT == "signal":
    p = subprocess.Popen(spill_cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    fds = f"/proc/{p.pid}/fd"
    seen = False
    while p.poll() is None and not seen:
        try:
            seen = any("morva-tmp" in os.readlink(os.path.join(fds, fd)) for fd in os.listdir(fds))
        except OSError:
            pass
        time.sleep(0.002)
    if seen:
        p.send_signal(signal.SIGTERM)
    p.wait()
    if not seen:
        failures.append(f"no temporary file seen open before the program ended (exit {p.returncode})")
    elif p.returncode != -signal.SIGTERM:
        failures.append(f"SIGTERM while spilling: exit {p.returncode}, {p.stderr.read().decode().strip()!r}")
else:
    held_dir, held, held_cmd = ground("held")
    h = subprocess.run(held_cmd, capture_output=True, text=True)
    s = subprocess.run(spill_cmd, capture_output=True, text=True)
    if h.returncode != 0 or s.returncode != 0:
        failures.append(f"exit {h.returncode} held, {s.returncode} spilled: {h.stderr.strip()} {s.stderr.strip()}")
    else:
        if "tile by tile from disk" in h.stdout or s.stdout.count("tile by tile from disk") != len(spilled):
            failures.append(f"the summary does not tell the spilled run alone: {h.stdout!r} {s.stdout!r}")
        for a, b, line in zip(held, spilled, s.stdout.splitlines()):
            if open(a, "rb").read() != open(b, "rb").read():
                failures.append(f"{os.path.basename(b)}: other bytes than in memory")
            ca, cb = np.asarray(laspy.read(a).classification), np.asarray(laspy.read(b).classification)
            if not np.array_equal(ca, cb):
                failures.append(f"{os.path.basename(b)}: {int(np.sum(ca != cb))} classes differ (laspy)")
            if "--keep-existing" not in OPTIONS:
                tally = [int(np.sum(cb == 2)), int(np.sum(cb == 7)), int(np.sum((cb != 2) & (cb != 7)))]
                if f"{len(cb)} points: {tally[0]} ground" not in line or f"{tally[1]} low noise" not in line \
                        or f"{tally[2]} unclassified" not in line:
                    failures.append(f"summary {line!r} against laspy's {len(cb)} points, {tally}")

left = sorted(os.listdir(spill_dir))
wanted = sorted(os.path.basename(m) for m in spilled) if EXPECT == "same" else []
if left != wanted:
    failures.append(f"left beside the output: {left}, wanted {wanted}")

for f in failures:
    print("FAIL", NAME, f)
print(f"{NAME}: {len(failures)} failures")
sys.exit(1 if failures else 0)
