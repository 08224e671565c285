"""morva-ground end to end on files from other writers (SHARED_DATA/real;
skipped, saying so, where absent), read back with laspy: every field but the
class unchanged, the class flags of formats 0-5 kept, the same bytes
whatever --threads and --tile-size, several inputs into one output, --each,
--keep-existing, and every refusal (one line, its status, nothing written).

usage: program_check.py MORVA_GROUND SHARED_DATA WORK_FOLDER
"""
import os
import shutil
import subprocess
import sys

import laspy
import numpy as np

GROUND, SHARED, WORK = sys.argv[1:4]
REAL = os.path.join(SHARED, "real")
if not os.path.isdir(REAL):
    print(f"skipped: no folder {REAL} of real point clouds")
    sys.exit(77)
shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
AUTZEN = os.path.join(REAL, "autzen_trim.las")        # format 3, feet
AUTZEN7 = os.path.join(REAL, "autzen_trim_7.las")     # the same points, format 7
EXTRA = os.path.join(REAL, "las_with_several_extra_byte_bloc.laz")
failures = []


def work(name):
    return os.path.join(WORK, name)


def run(*args):
    return subprocess.run([GROUND, *args], capture_output=True, text=True)


def classify(inputs, output, *options):
    r = run(*options, *inputs, output)
    if r.returncode != 0:
        failures.append(f"{' '.join(options)} {inputs} -> {output}: exit {r.returncode}: {r.stderr.strip()}")
        return None
    return laspy.read(output)


def same_except_class(source, result, what):
    a = laspy.read(source) if isinstance(source, str) else source
    if a.header.point_format.id != result.header.point_format.id or len(a.points) != len(result.points):
        failures.append(f"{what}: format or count changed")
        return
    for name in a.point_format.dimension_names:
        if name == "classification":
            continue
        if not np.array_equal(np.asarray(a[name]), np.asarray(result[name])):
            failures.append(f"{what}: field {name} changed")
    classes = set(np.unique(np.asarray(result.classification)).tolist())
    if not classes <= {1, 2, 7}:
        failures.append(f"{what}: classes {sorted(classes)} beyond 1, 2, 7")


# Every field but the class unchanged, in formats 3 and 7 and from LAZ with extra bytes.
for name, source in (("f3", AUTZEN), ("f7", AUTZEN7), ("extra", EXTRA)):
    out = classify([source], work(name + ".las"))
    if out is not None:
        same_except_class(source, out, name)

# guards: the class written over the flag bits beside it (formats 0-5 share one byte).
flagged = laspy.read(AUTZEN)
flagged.synthetic = (np.arange(len(flagged.points)) % 3 == 0).astype(np.uint8)
flagged.key_point = (np.arange(len(flagged.points)) % 5 == 0).astype(np.uint8)
flagged.write(work("flagged_in.las"))
out = classify([work("flagged_in.las")], work("flagged.las"))
if out is not None:
    same_except_class(work("flagged_in.las"), out, "flags")

# LAZ out: the same points and classes as LAS out.
laz = classify([AUTZEN], work("f3.laz"))
las = laspy.read(work("f3.las"))
if laz is not None:
    same_except_class(las, laz, "LAZ")
    if not np.array_equal(np.asarray(las.classification), np.asarray(laz.classification)):
        failures.append("LAZ out: other classes than LAS out")

# The same bytes whatever the threads and tiles.
one = classify([AUTZEN], work("t1.las"), "--threads", "1")
two = classify([AUTZEN], work("t2.las"), "--threads", "2", "--tile-size", "300")
if one is not None and two is not None and open(work("t1.las"), "rb").read() != open(work("t2.las"), "rb").read():
    failures.append("--threads 2 --tile-size 300 wrote other bytes than --threads 1")

# guards: with more threads each block of the output is written while the next is filled, in order.
for ext in ("las", "laz"):
    paths = [work(f"blocks{threads}.{ext}") for threads in (1, 2)]
    ran = [classify([EXTRA], path, "--threads", str(threads)) for path, threads in zip(paths, (1, 2))]
    if None not in ran and open(paths[0], "rb").read() != open(paths[1], "rb").read():
        failures.append(f"{ext.upper()} out of {len(ran[0].points)} points: --threads 2 wrote other bytes than --threads 1")

# Lengths default to metres put in the CRS's feet: the same as giving them in feet.
feet = classify([AUTZEN], work("feet.las"), "--cell-size", str(1 / 0.3048), "--max-window", str(24 / 0.3048),
                "--height-threshold", str(0.5 / 0.3048), "--low-noise-depth", str(1 / 0.3048),
                "--low-noise-radius", str(3 / 0.3048), "--fill-distance", str(20 / 0.3048),
                "--tile-size", str(750 / 0.3048))
if feet is not None and one is not None:
    agree = np.mean(np.asarray(feet.classification) == np.asarray(one.classification))
    if agree < 0.999:
        failures.append(f"defaults in feet agree with the lengths given in feet on only {agree:.4f} of the points")

# Two inputs into one output: the points of both, in order; duplicates get the single run's classes.
both = classify([AUTZEN, AUTZEN], work("both.las"))
if both is not None and one is not None:
    single = np.asarray(one.classification)
    if not np.array_equal(np.asarray(both.classification), np.concatenate([single, single])):
        failures.append("two copies of one input did not each get that input's classes")

# --each: one output per input, each as its own run.
os.makedirs(work("each"))
shutil.copy(AUTZEN, work("each/a.las"))
shutil.copy(AUTZEN7, work("each/b.las"))
r = run("--each", work("each/a.las"), work("each/b.las"), work("each/{}_ground.las"))
if r.returncode != 0:
    failures.append(f"--each: exit {r.returncode}: {r.stderr.strip()}")
elif one is not None:
    for stem in ("a", "b"):
        got = np.asarray(laspy.read(work(f"each/{stem}_ground.las")).classification)
        if not np.array_equal(got, np.asarray(one.classification)):
            failures.append(f"--each: {stem}_ground.las differs from a single run")

# --keep-existing: only classes 0 and 1 change; class 2 stays; others keep theirs.
mixed = laspy.read(AUTZEN)
cls = np.asarray(mixed.classification).copy()
cls[::7] = 6
cls[1::11] = 0
mixed.classification = cls
mixed.write(work("mixed.las"))
kept = classify([work("mixed.las")], work("kept.las"), "--keep-existing")
if kept is not None:
    got = np.asarray(kept.classification)
    fixed = (cls != 0) & (cls != 1)
    if not np.array_equal(got[fixed], cls[fixed]):
        failures.append("--keep-existing changed a class other than 0 or 1")
    if not set(np.unique(got[~fixed]).tolist()) <= {1, 2, 7}:
        failures.append("--keep-existing left a point of class 0 or 1 unclassified")

# Refusals: (what, arguments, status, what the line says); nothing may be written.
empty = laspy.LasData(laspy.LasHeader(point_format=3, version="1.2"))
empty.header.vlrs = laspy.read(AUTZEN).header.vlrs  # its CRS
empty.write(work("empty.las"))
shutil.copy(AUTZEN, work("input.las"))
degrees = laspy.LasData(laspy.LasHeader(point_format=3, version="1.2"))
degrees.header.scales = np.array([1e-7, 1e-7, 0.001])
degrees.x = 5 + np.arange(1000) % 40 * 1e-5
degrees.y = 52 + np.arange(1000) // 40 * 1e-5
degrees.z = np.full(1000, 10.0)
degrees.write(work("degrees.las"))
REFUSALS = [
    ("no points", [work("empty.las"), work("r1.las")], 1, "holds no points"),
    ("no CRS", [os.path.join(REAL, "sample_c.las"), work("r2.las")], 1, "no coordinate system"),
    ("geographic", ["--input-crs", "EPSG:4258", work("degrees.las"), work("r3.las")], 1, "longitude and latitude"),
    ("window below cell", ["--cell-size", "10", "--max-window", "5", AUTZEN, work("r4.las")], 1, "less than the cell size"),
    ("output over input", [work("input.las"), work("input.las")], 1, "input"),
    ("not LAS", [AUTZEN, work("r6.txt")], 1, "must end in .las or .laz"),
    ("layouts differ", [AUTZEN, AUTZEN7, work("r7.las")], 1, "--each"),
    ("missing output", [AUTZEN], 2, "missing OUTPUT"),
    ("--each without {}", ["--each", AUTZEN, work("r9.las")], 2, "{}"),
    ("bad number", ["--slope", "x", AUTZEN, work("r10.las")], 2, "not a number"),
]
before = sorted(os.listdir(WORK))
for what, args, status, says in REFUSALS:
    r = run(*args)
    lines = r.stderr.strip().splitlines()
    if r.returncode != status or len(lines) != 1 or says not in lines[0] or not lines[0].startswith("morva-ground"):
        failures.append(f"{what}: exit {r.returncode}, stderr {r.stderr.strip()!r}; wanted {status} and one line with {says!r}")
if sorted(os.listdir(WORK)) != before:
    failures.append(f"a refusal left files: {sorted(set(os.listdir(WORK)) - set(before))}")
if open(work("input.las"), "rb").read() != open(AUTZEN, "rb").read():
    failures.append("the input named as output was changed")

for f in failures:
    print("FAIL", f)
print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
