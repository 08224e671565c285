"""morva-ground with run controls as inputs, end to end: a simulated survey
with objects (as the flat300 line of scenes.table), processed by morva, then
(a) classified from its run control and (b) made a LAS file by morva-las
--crs utm and that classified. Every field and the header of (a) must equal
(b)'s (laspy), the classes must meet flat300's limits against the
simulator's truth, options shared with morva-las must give its records, and
a run control mixed with LAS inputs must agree with them in CRS and layout.
Every refusal: one line naming the program once, status 1, nothing written.

usage: run_control_check.py BUILD_DIR WORK_FOLDER SCENES_TABLE
"""
import os
import shutil
import subprocess
import sys

import laspy
import numpy as np

BUILD, WORK, TABLE = sys.argv[1:4]
TOOL = {t: os.path.join(BUILD, p) for t, p in (("sim", "tools/sim/morva-sim"), ("morva", "src/morva"),
                                                ("las", "tools/las/morva-las"), ("ground", "tools/ground/morva-ground"))}
shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
failures = []


def work(*name):
    return os.path.join(WORK, *name)


def run(tool, *args, cwd=WORK):
    return subprocess.run([TOOL[tool], *args], capture_output=True, text=True, cwd=cwd)


def survey(name, *options, morva=()):
    subprocess.run([TOOL["sim"], "--objects", "trees,buildings,bridge,lowveg,outliers", "--range-noise", "0.02",
                    "--height", "300", "--surface", "flat", "--seed", "1", "--truth-grid", "0", *options, work(name)],
                   check=True, capture_output=True)
    with open(work(name, "run.in"), "rb") as stdin:
        subprocess.run([TOOL["morva"], *morva], stdin=stdin, cwd=work(name), check=True, capture_output=True)


def made(tool, *args):
    r = run(tool, *args)
    if r.returncode != 0:
        failures.append(f"{tool} {' '.join(args)}: exit {r.returncode}: {r.stderr.strip()}")
    return r.returncode == 0


def same_file(a, b, what):
    """Every point field and the header of a equal b's, read by laspy."""
    la, lb = laspy.read(work(a)), laspy.read(work(b))
    ha, hb = la.header, lb.header
    for field in ("point_format", "version", "scales", "offsets", "mins", "maxs", "point_count", "global_encoding",
                  "file_source_id", "creation_date", "generating_software", "system_identifier"):
        va, vb = getattr(ha, field), getattr(hb, field)
        va, vb = getattr(va, "value", va), getattr(vb, "value", vb)
        if not np.array_equal(np.asarray(va), np.asarray(vb)) if isinstance(va, np.ndarray) else va != vb:
            failures.append(f"{what}: header {field} {va} against {vb}")
    vlrs = lambda h: [(v.user_id, v.record_id, v.description, bytes(v.record_data_bytes())) for v in h.vlrs]
    if vlrs(ha) != vlrs(hb):
        failures.append(f"{what}: other records (coordinate system, extra bytes)")
    names = list(la.point_format.dimension_names)
    if names != list(lb.point_format.dimension_names):
        failures.append(f"{what}: fields {names} against {list(lb.point_format.dimension_names)}")
    for name in names:
        if not np.array_equal(np.asarray(la[name]), np.asarray(lb[name])):
            failures.append(f"{what}: field {name} differs")
    return la


# The survey of scenes.table's flat300 line, its limits from there.
limits = next(line.split() for line in open(TABLE) if line.startswith("flat300 "))
max_i, max_ii, max_ii_tall = map(float, limits[4:7])
survey("flat", "--duration", "4")
inp = os.path.join("flat", "run.in")

# (a) from the run control, (b) through morva-las --crs utm: the same file.
if made("ground", inp, "a.laz") and made("las", "--crs", "utm", inp, "p.las") and made("ground", "p.las", "b.laz"):
    a = same_file("a.laz", "b.laz", "run control against morva-las --crs utm")
    if open(work("a.laz"), "rb").read() != open(work("b.laz"), "rb").read():
        failures.append("run control against morva-las --crs utm: other bytes")
    # The classes against the truth (same order as the scan points).
    truth = np.fromfile(work("flat", "truth.bin"), dtype=[("lat", "<f8"), ("lon", "<f8"), ("h", "<f8"),
                                                         ("ground", "<f8"), ("cls", "u1"), ("pad", "V7")])
    got = np.asarray(a.classification)
    if len(got) != len(truth):
        failures.append(f"{len(got)} points, the truth {len(truth)}")
    else:
        ground, outlier = truth["cls"] == 2, truth["cls"] == 7
        objects = ~ground & ~outlier
        tall = objects & (truth["h"] - truth["ground"] > 0.5)
        type_i, type_ii = 100 * np.mean(got[ground] != 2), 100 * np.mean(got[objects] == 2)
        type_ii_tall = 100 * np.mean(got[tall] == 2)
        print(f"run control: type I {type_i:.2f} %, type II {type_ii:.2f} %, above 0.5 m {type_ii_tall:.2f} %")
        if type_i > max_i or type_ii > max_ii or type_ii_tall > max_ii_tall or np.any(got[outlier] != 7):
            failures.append(f"classes against the truth: type I {type_i:.2f} %, type II {type_ii:.2f} %, "
                            f"above 0.5 m {type_ii_tall:.2f} %, {int(np.sum(got[outlier] != 7))} outliers not 7")

# The options morva-las shares give its records: a named projected CRS, date, source ID, geodesy.
SHARED = ["--crs", "EPSG:25831", "--date", "2021-03-04", "--source-id", "17", "--geodesy", "ellipsoid"]
if made("ground", *SHARED, inp, "c.las") and made("las", *SHARED, inp, "q.las") and made("ground", "q.las", "d.las"):
    same_file("c.las", "d.las", "shared options")

# Text scan points (extra bytes after format 6).
survey("text", "--duration", "1", "--output", "text")
txt = os.path.join("text", "run.in")
if made("ground", txt, "e.las") and made("las", "--crs", "utm", txt, "r.las") and made("ground", "r.las", "f.las"):
    same_file("e.las", "f.las", "text scan points")

# The geodesy from the run's record, as morva-las takes it.
survey("ell", "--duration", "1", morva=["--geodesy", "ellipsoid", "--metadata", "rec.json"])
ell, rec = os.path.join("ell", "run.in"), os.path.join("ell", "rec.json")
if made("ground", "--metadata", rec, ell, "i.las") and made("las", "--crs", "utm", "--metadata", rec, ell, "s.las") \
        and made("ground", "s.las", "j.las"):
    if [v.description for v in same_file("i.las", "j.las", "--metadata").header.vlrs] != ["exact ellipsoidal georeferencing"]:
        failures.append("--metadata: the coordinate system record does not say the run's geodesy")

# A LAS input first, then the run: the run takes the LAS's offsets, and its
# points are written as in the LAS (classes as of one cloud of both).
if made("ground", "p.las", inp, "g.las"):
    g = laspy.read(work("g.las"))
    half = len(g.points) // 2
    for name in ("X", "Y", "Z", "intensity", "gps_time", "user_data", "point_source_id"):
        if not np.array_equal(np.asarray(g[name][:half]), np.asarray(g[name][half:])):
            failures.append(f"a LAS and its run in one output: field {name} of the run's points differs")

# One run twice into one output: the records of (a) twice, each half with (a)'s classes.
if made("ground", inp, inp, "h.las") and os.path.exists(work("a.laz")):
    h, a = laspy.read(work("h.las")), laspy.read(work("a.laz"))
    for name in a.point_format.dimension_names:
        if not np.array_equal(np.asarray(h[name]), np.concatenate([np.asarray(a[name])] * 2)):
            failures.append(f"one run twice into one output: field {name} is not (a)'s twice")

# Refusals: (what, arguments, what the one line says); status 1, nothing written.
os.makedirs(work("empty"))
shutil.copy(work("flat", "run.in"), work("empty", "run.in"))
shutil.copy(work("flat", "scan.bin"), work("empty", "scan.bin"))
open(work("empty", "points.bin"), "wb").close()
shutil.copytree(work("flat"), work("cut"), ignore=shutil.ignore_patterns("truth.bin"))
with open(work("cut", "points.bin"), "r+b") as f:
    f.truncate(os.path.getsize(work("cut", "points.bin")) - 5)
shutil.copytree(work("flat"), work("lost"), ignore=shutil.ignore_patterns("truth.bin", "points.bin"))
shutil.copytree(work("flat"), work("undated"), ignore=shutil.ignore_patterns("truth.bin", "scan.bin"))
os.symlink("points.bin", work("flat", "link.las"))
os.symlink("rec.json", work("ell", "rec.las"))
shutil.copytree(work("flat"), work("unwanted"), ignore=shutil.ignore_patterns("truth.bin", "*.las"))
lines = open(work("unwanted", "run.in")).read().splitlines(keepends=True)
lines[3] = "0\n"  # the scan-point file's line: none written
open(work("unwanted", "run.in"), "w").write("".join(lines))
with open(work("garbled.in"), "w") as f:
    f.write("not a run control\n")
REFUSALS = [
    # guards: a run control refused outright ("make a projected LAS or LAZ file of them first"); now its
    # points are classified, and a run without points stops before anything is written.
    ("no points", [os.path.join("empty", "run.in"), "r1.laz"], "holds no points"),
    ("scan points missing", [os.path.join("lost", "run.in"), "r2.laz"], "its scan-point file"),
    ("partial record", [os.path.join("cut", "run.in"), "r3.laz"], "partial record"),
    ("no scan-point file named", [os.path.join("unwanted", "run.in"), "r13.laz"], "names no scan-point file"),
    ("not a run control", ["garbled.in", "r4.laz"], "the run control"),
    ("no flight date", [os.path.join("undated", "run.in"), "r5.laz"], "--date"),
    ("geodesy against the record", ["--metadata", rec, "--geodesy", "flat", ell, "r10.laz"], "contradicts"),
    ("record of two runs", ["--metadata", rec, ell, inp, "r11.laz"], "one run control"),
    # guards: the record of another run (text scan points, not the record's binary ones) taken for this one.
    ("record of another run", ["--metadata", rec, txt, "r12.laz"], f"the run's record {rec} is not of {txt}: it names"),
    ("output over the record", ["--metadata", rec, ell, rec.replace(".json", ".las")], "choose another name"),
    ("geographic --crs", ["--crs", "EPSG:4326", inp, "r6.laz"], "not a projected coordinate system"),
    ("LAS in another CRS", ["q.las", inp, "r7.laz"], "one output needs one coordinate system"),
    ("other layout", ["p.las", txt, "r8.laz"], "one layout"),
    # guards: the program named twice ("morva-ground: morva-ground: ...") on its own refusals.
    ("not LAS out", [inp, "r9.txt"], "must end in .las or .laz"),
    ("output a link to the scan points", [inp, os.path.join("flat", "link.las")], "choose another name"),
]
before = sorted(os.listdir(WORK))
for what, args, says in REFUSALS:
    r = run("ground", *args)
    lines = r.stderr.strip().splitlines()
    last = lines[-1] if lines else ""
    if r.returncode != 1 or says not in last or not last.startswith("morva-ground: ") \
            or last.startswith("morva-ground: morva-ground") \
            or len([l for l in lines if not l.startswith(("morva-ground: warning", "morva-ground: flight date"))]) != 1:
        failures.append(f"{what}: exit {r.returncode}, stderr {r.stderr.strip()!r}; wanted 1 and one line with {says!r}")
if sorted(os.listdir(WORK)) != before:
    failures.append(f"a refusal left files: {sorted(set(os.listdir(WORK)) - set(before))}")

for f in failures:
    print("FAIL", f)
print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
