"""morva-ground on a simulated scene against the truth of every point: the
survey from morva-sim (objects, 2 cm range noise), processed by morva, made
a LAS file in UTM 31N by morva-las, classified, and compared point by point
with truth.bin (same order). Fails when type I, type II, type II of the
objects more than 0.5 m above the ground or the share of the low vegetation
called ground exceeds its limit, or an outlier is not class 7. Also says how
much of the low vegetation lies within 6 cm (three times the range noise) of
the ground: no classifier can tell those points from it. And what the best
rule judging a point by its height above the ground could reach, knowing the
true ground exactly: with type I held at 2 %, its type II.

usage: scene_check.py BUILD_DIR WORK NAME HEIGHT SURFACE SEED MAX_I MAX_II MAX_II_TALL MAX_LOW_VEGETATION
"""
import os
import shutil
import subprocess
import sys

import laspy
import numpy as np

build, work, name, height, surface, seed = sys.argv[1:7]
max_i, max_ii, max_ii_tall, max_low = map(float, sys.argv[7:11])
folder = os.path.join(work, name)
shutil.rmtree(folder, ignore_errors=True)
os.makedirs(work, exist_ok=True)
tool = {t: os.path.join(build, p) for t, p in (("sim", "tools/sim/morva-sim"), ("morva", "src/morva"),
                                                 ("las", "tools/las/morva-las"), ("ground", "tools/ground/morva-ground"))}
subprocess.run([tool["sim"], "--objects", "trees,buildings,bridge,lowveg,outliers", "--range-noise", "0.02",
                "--height", height, "--surface", surface, "--seed", seed, "--duration", "4", "--truth-grid", "0", folder],
               check=True, capture_output=True)
subprocess.run([tool["morva"]], stdin=open(os.path.join(folder, "run.in")), cwd=folder, check=True, capture_output=True)
subprocess.run([tool["las"], "--crs", "EPSG:32631", "run.in", "points.las"], cwd=folder, check=True, capture_output=True)
subprocess.run([tool["ground"], "points.las", "ground.las"], cwd=folder, check=True, capture_output=True)

truth = np.fromfile(os.path.join(folder, "truth.bin"), dtype=[("lat", "<f8"), ("lon", "<f8"), ("h", "<f8"),
                                                             ("ground", "<f8"), ("cls", "u1"), ("pad", "V7")])
got = np.asarray(laspy.read(os.path.join(folder, "ground.las")).classification)
if len(got) != len(truth):
    sys.exit(f"{name}: {len(got)} points, the truth {len(truth)}")
ground, outlier = truth["cls"] == 2, truth["cls"] == 7
objects = ~ground & ~outlier
above = truth["h"] - truth["ground"]
tall = objects & (above > 0.5)
low = truth["cls"] == 3  # low vegetation
type_i = 100 * np.mean(got[ground] != 2)
type_ii = 100 * np.mean(got[objects] == 2)
type_ii_tall = 100 * np.mean(got[tall] == 2)
type_low = 100 * np.mean(got[low] == 2)
hidden = 100 * np.mean(above[low] <= 0.06)
missed = int(np.sum(got[outlier] != 7))
# The rule "ground within t of the true ground", t the lowest keeping type I
# at 2 %: the measured heights' rises above the truth's ground, the range
# noise alone on ground points.
rise = np.asarray(laspy.read(os.path.join(folder, "points.las")).z) - truth["ground"]
bound_t = np.quantile(rise[ground], 0.98)
bound_ii = 100 * np.mean(rise[objects] <= bound_t)
print(f"{name}: {len(got)} points: type I {type_i:.2f} %, type II {type_ii:.2f} % "
      f"({type_ii_tall:.2f} % of objects above 0.5 m), outliers {outlier.sum()} of which {missed} not class 7, "
      f"{int(np.sum((got == 7) & ~outlier))} other points class 7; low vegetation: {low.sum()} points, "
      f"{type_low:.2f} % called ground, {hidden:.2f} % within 6 cm of the ground; knowing the true ground, "
      f"ground within {100 * bound_t:.1f} cm of it: type I 2 %, type II {bound_ii:.2f} %")
faults = [f"type I {type_i:.2f} % above {max_i}" for _ in [0] if type_i > max_i]
faults += [f"type II {type_ii:.2f} % above {max_ii}" for _ in [0] if type_ii > max_ii]
faults += [f"type II above 0.5 m {type_ii_tall:.2f} % above {max_ii_tall}" for _ in [0] if type_ii_tall > max_ii_tall]
faults += [f"low vegetation called ground {type_low:.2f} % above {max_low}" for _ in [0] if type_low > max_low]
faults += [f"{missed} outliers not class 7" for _ in [0] if missed]
for f in faults:
    print("FAIL", f)
sys.exit(1 if faults else 0)
