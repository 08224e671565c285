"""morva-accuracy end to end on simulated surveys with trees and check
points: its figures against the test's own (scipy's Delaunay triangulation of
the simulator's truth-classified ground points, numpy's statistics and cell
counts), a known vertical bias, the refusals of bad input, and its outputs.

  program_test.py MORVA_SIM MORVA MORVA_LAS MORVA_ACCURACY [SHARED_DATA]

With SHARED_DATA (real point clouds from other writers), a LAZ file of
another writer too: check points on its ground points, its density counted
by laspy; skipped, saying so, without it.
"""
import json
import os
import re
import subprocess
import sys
import tempfile

import laspy
import numpy as np
from scipy.spatial import Delaunay, cKDTree

from simulated_survey import density_cells, simulate

SIM, MORVA, MORVA_LAS, ACCURACY = (os.path.abspath(p) for p in sys.argv[1:5])
SHARED = sys.argv[5] if len(sys.argv) > 5 else ""
MAX_EDGE = 10.0
CELL = 2.0
CHECKPOINTS = 60
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def survey(folder, geoid_shift=0.0):
    """A simulated survey processed by morva, and its points as classified.las (classes from the truth)."""
    las, truth = simulate(folder, SIM, MORVA, MORVA_LAS, CHECKPOINTS, geoid_shift)
    las.classification = np.where(truth["cls"] == 2, 2, 1).astype(np.uint8)
    las.write(os.path.join(folder, "classified.las"))
    return las


def accuracy(folder, *args):
    return subprocess.run([ACCURACY, *args], cwd=folder, capture_output=True, text=True)


def independent(folder, las, checkpoints="checkpoints.csv"):
    """Per check point id: (cover, status, dz) by scipy's triangulation of the class 2 points."""
    ground = np.column_stack([las.x, las.y, las.z])[np.asarray(las.classification) == 2]
    origin = ground[:, :2].min(axis=0)
    xy = ground[:, :2] - origin
    triangulation = Delaunay(xy)
    tree = cKDTree(xy)
    rows = [line.strip().split(",") for line in open(os.path.join(folder, checkpoints))
            if line.strip() and not line.startswith("#")][1:]
    result = {}
    for cid, e, n, h, cover in rows:
        p = np.array([float(e), float(n)]) - origin
        simplex = triangulation.find_simplex(p)
        if simplex < 0:
            result[cid] = (cover, "outside", None)
            continue
        nearest, _ = tree.query(p)
        corners = triangulation.simplices[simplex]
        v = xy[corners]
        edges = np.linalg.norm(v - np.roll(v, 1, axis=0), axis=1)
        if nearest > MAX_EDGE or edges.max() > MAX_EDGE:
            result[cid] = (cover, "far", None)
            continue
        t = triangulation.transform[simplex]
        b = t[:2] @ (p - t[2])
        weights = np.append(b, 1 - b.sum())
        result[cid] = (cover, "measured", float(weights @ ground[corners, 2]) - float(h))
    return result


def one_line_stop(run, text, outputs, where):
    """Exit 1, one line naming the problem, no output written."""
    return (run.returncode == 1 and run.stdout == "" and run.stderr.count("\n") == 1 and text in run.stderr
            and not any(os.path.exists(os.path.join(where, o)) for o in outputs))


with tempfile.TemporaryDirectory() as top:
    plain = os.path.join(top, "plain")
    las = survey(plain)
    common = ["--max-edge", str(MAX_EDGE), "--density-cell", str(CELL), "--min-checkpoints", "10"]
    run = accuracy(plain, *common, "--json", "a.json", "--csv", "a.csv", "--picture", "a.png",
                   "checkpoints.csv", "classified.las")
    check(run.returncode in (0, 3, 4), f"morva-accuracy runs on a LAS file ({run.returncode}: {run.stderr.strip()})")
    j = json.load(open(os.path.join(plain, "a.json")))
    truth = independent(plain, las)
    got = {c["id"]: c for c in j["checkpoints"]}
    check(got.keys() == truth.keys(), "every check point listed")
    check(all(got[k]["status"] == truth[k][1] for k in truth),
          "each check point measured, outside or far as by scipy: " +
          str([(k, got[k]["status"], truth[k][1]) for k in truth if got[k]["status"] != truth[k][1]]))
    measured = [k for k in truth if truth[k][1] == "measured"]
    check(len(measured) >= 40, f"{len(measured)} of {len(truth)} check points measured")
    check(max(abs(got[k]["dz"] - truth[k][2]) for k in measured) < 1e-3, "dz at each check point within 1 mm")
    dz = np.array([truth[k][2] for k in measured])
    is_open = np.array([truth[k][0] == "open" for k in measured])
    rmse_open = np.sqrt(np.mean(dz[is_open] ** 2))
    vva = np.percentile(np.abs(dz[~is_open]), 95)
    check(abs(j["open"]["rmse"] - rmse_open) < 1e-3, f"RMSEz open {j['open']['rmse']:.6f} = {rmse_open:.6f}")
    check(abs(j["open"]["nva"] - 1.96 * rmse_open) < 1e-3, f"NVA {j['open']['nva']:.6f} = {1.96 * rmse_open:.6f}")
    check(abs(j["vegetated"]["vva"] - vva) < 1e-3, f"VVA {j['vegetated']['vva']:.6f} = {vva:.6f}")
    check(abs(j["open"]["mean"] - dz[is_open].mean()) < 1e-6 and abs(j["open"]["std"] - dz[is_open].std(ddof=1)) < 1e-6,
          "open mean and standard deviation")
    check(j["not_measured"] == {"outside": sum(truth[k][1] == "outside" for k in truth),
                                "far": sum(truth[k][1] == "far" for k in truth)}, f"not measured {j['not_measured']}")
    verdicts = {v["figure"]: v for v in j["verdicts"]}
    check(verdicts["NVA"]["verdict"] == "pass" and verdicts["VVA"]["verdict"] == "pass",
          "NVA and VVA of centimetre errors pass QL2")
    check(j["checkpoint_vertical"] == j["crs"]["vertical"]["name"] == "height above geoid grid geoid.txt",
          f"the heights' system {j['crs']['vertical']}")
    check(j["crs"]["horizontal"]["epsg"] == int(re.search(r"EPSG:(\d+)", open(os.path.join(plain, "checkpoints.csv")).readline()).group(1)),
          f"the horizontal CRS {j['crs']['horizontal']}")

    # Density: an independent count of the first returns in 2 m cells.
    first = np.column_stack([las.x, las.y])[np.asarray(las.return_number) == 1]
    counts, area = density_cells(first, CELL)
    d = j["density"]
    check(d["points"] == len(first) and d["cells"] == len(counts) and d["void_cells"] == area - len(counts),
          f"density: {d['points']} points in {d['cells']} cells and {d['void_cells']} voids")
    check(abs(d["mean"] - len(first) / (area * CELL * CELL)) < 1e-9, f"mean density {d['mean']}")
    share = np.sum(counts / (CELL * CELL) >= 2.0) / area
    check(abs(d["share_meeting"] - share) < 1e-12, f"share of cells meeting QL2 {d['share_meeting']} = {share}")
    check(d["verdict"] == ("pass" if share >= 0.9 and d["mean"] >= 2 else "fail"), f"density verdict {d['verdict']}")

    # The CSV says the same, one line per check point; the picture is a PNG.
    lines = open(os.path.join(plain, "a.csv")).read().splitlines()
    check(len(lines) == 1 + CHECKPOINTS and lines[0].startswith("id,easting,northing,height,land_cover,lidar_height,dz,status"),
          "the CSV: a header and a line per check point")
    row = dict(zip(lines[0].split(","), lines[1].split(",")))
    check(row["status"] == got[row["id"]]["status"], "the CSV's status as the JSON's")
    check(open(os.path.join(plain, "a.png"), "rb").read(8) == b"\x89PNG\r\n\x1a\n", "the picture is a PNG")
    # The table names every figure and every check point not measured.
    check(all(w in run.stdout for w in ("RMSEz", "NVA", "VVA", "density")), "the table names every figure")
    check(all(k in run.stdout for k in truth if truth[k][1] != "measured"), "the table lists every point not measured")

    # The run control itself: its scan points classified here; every check
    # point the LAS file measures within a few centimetres of it.
    run_rc = accuracy(plain, *common, "--json", "rc.json", "checkpoints.csv", "run.in")
    check(run_rc.returncode in (0, 3, 4), f"morva-accuracy runs on a run control ({run_rc.stderr.strip()})")
    rc = {c["id"]: c for c in json.load(open(os.path.join(plain, "rc.json")))["checkpoints"]}
    both = [k for k in measured if rc[k]["status"] == "measured"]
    check(len(both) >= 0.8 * len(measured), f"{len(both)} of {len(measured)} measured from the run control too")
    check(max(abs(rc[k]["dz"] - got[k]["dz"]) for k in both) < 0.05, "its dz within 5 cm of the truth-classified ones")

    # Exit statuses a script can rely on: 3 a fail, 4 a figure not tested, 0 all pass.
    statuses = [
        (["--limits", "rmsez=0.001,nva=1,vva=1,density=0.01"], 3, "an RMSEz limit of 1 mm fails"),
        (["--limits", "rmsez=1,nva=1,density=0.01"], 4, "no VVA limit: not tested"),
        (["--limits", "rmsez=1,nva=1,vva=1,density=0.01"], 0, "every figure within generous limits"),
        # guards: sparse points in fine cells read as dense (0.47 points/m2 in 1 m cells passed QL3's 0.5)
        (["--limits", "ql3", "--min-checkpoints", "1000", "--density-cell", "1"], 3,
         "--limits any case; too few check points not tested, and the density of 0.47 fails QL3's 0.5"),
    ]
    for args, status, what in statuses:
        r = accuracy(plain, *common, "--json", "s.json", *args, "checkpoints.csv", "classified.las")
        check(r.returncode == status, f"exit {status}: {what} ({r.returncode} {r.stderr.strip()})")
    s = json.load(open(os.path.join(plain, "s.json")))
    check(s["limits"]["name"] == "QL3" and all(v["verdict"] == "not tested" and "fewer than 1000" in v["reason"]
                                               for v in s["verdicts"]), "never a pass without evidence")

    # A check point beyond the data is listed as not measured, never dropped.
    cp = open(os.path.join(plain, "checkpoints.csv")).read().splitlines()
    e, n = (float(v) for v in cp[2].split(",")[1:3])
    open(os.path.join(plain, "beyond.csv"), "w").write("\n".join(cp + [f"beyond,{e + 5000:.3f},{n:.3f},10,open"]) + "\n")
    r = accuracy(plain, *common, "--json", "o.json", "beyond.csv", "classified.las")
    o = json.load(open(os.path.join(plain, "o.json")))
    check(o["not_measured"]["outside"] == 1 and o["checkpoints"][-1]["status"] == "outside" and
          o["checkpoints"][-1]["dz"] is None and o["open"]["count"] == j["open"]["count"] and
          "beyond (open): outside the data" in r.stdout, "a check point beyond the data: listed, left out of the figures")

    # Bad input: one line, exit 1, nothing written.
    cp = open(os.path.join(plain, "checkpoints.csv")).read().splitlines()
    open(os.path.join(plain, "bad.csv"), "w").write("\n".join(cp[:5] + ["99,1,2,x,open"] + cp[5:]) + "\n")
    far_away = cp[:2] + [",".join([f[0], f"{float(f[1]) + 5000:.3f}"] + f[2:]) for f in (l.split(",") for l in cp[2:])]
    open(os.path.join(plain, "elsewhere.csv"), "w").write("\n".join(far_away) + "\n")
    # The check points in the next UTM zone (by PROJ's cs2cs), named so on a comment line.
    zone = int(re.search(r"EPSG:326(\d\d)", cp[0]).group(1))
    moved = subprocess.run(["cs2cs", f"EPSG:326{zone}", f"EPSG:326{zone + 1}", "-f", "%.4f"], capture_output=True,
                           text=True, check=True, input="".join(f"{l.split(',')[1]} {l.split(',')[2]}\n" for l in cp[2:]))
    other = [f"# check points in EPSG:326{zone + 1}", cp[1]] + [
        ",".join([l.split(",")[0], *m.split()[:2], *l.split(",")[3:]]) for l, m in zip(cp[2:], moved.stdout.splitlines())]
    open(os.path.join(plain, "other_zone.csv"), "w").write("\n".join(other) + "\n")
    open(os.path.join(plain, "ellipsoidal.csv"), "w").write(
        "\n".join([cp[0].replace("the geoid grid geoid.txt", "the ellipsoid")] + cp[1:]) + "\n")
    outputs = ["x.json", "x.csv", "x.png"]
    writes = ["--json", "x.json", "--csv", "x.csv", "--picture", "x.png"]
    refusals = [
        # guards: a bad check-point line named by its number
        (["bad.csv", "classified.las"], "bad.csv line 6: the height 'x' is not a number"),
        (["elsewhere.csv", "classified.las"], f"none of the {CHECKPOINTS} check points lies within the ground points"),
        (["other_zone.csv", "classified.las"], f"the check points are in EPSG:326{zone + 1}"),
        # guards: heights of another vertical system (the ellipsoid's against the geoid's) compared
        (["ellipsoidal.csv", "run.in"], "the check points' heights are ellipsoidal height, the inputs' height above geoid grid"),
        (["--checkpoint-crs", "EPSG:4326", "checkpoints.csv", "classified.las"], "is not projected"),
        (["missing.csv", "classified.las"], "missing.csv"),
        (["checkpoints.csv", "missing.las"], "missing.las"),
    ]
    for args, text in refusals:
        r = accuracy(plain, *common, *writes, *args)
        check(one_line_stop(r, text, outputs, plain), f"refused: {' '.join(args)}: {r.stderr.strip()}")
    # Forced, the check points of the other zone are taken back into the inputs' CRS: the same dz.
    forced = accuracy(plain, *common, "--force", "--json", "f.json", "other_zone.csv", "classified.las")
    f = {c["id"]: c for c in json.load(open(os.path.join(plain, "f.json")))["checkpoints"]} if forced.returncode != 1 else {}
    check(forced.returncode != 1 and "warning" in forced.stderr and
          max(abs(f[k]["dz"] - got[k]["dz"]) for k in measured) < 1e-3,
          f"--force takes the check points into the inputs' CRS: the same dz ({forced.stderr.strip()})")
    # No output over an input, nor two outputs of one name.
    for args, text in [
        (["--json", "checkpoints.csv"], "checkpoints.csv"),
        (["--csv", "classified.las"], "classified.las"),
        (["--json", "geoid.txt"], "geoid.txt"),
        (["--json", "same.out", "--csv", "same.out"], "named for two outputs"),
    ]:
        before = {n: open(os.path.join(plain, n), "rb").read() for n in ("checkpoints.csv", "geoid.txt")}
        source = "run.in" if "geoid.txt" in args else "classified.las"
        r = accuracy(plain, *common, *args, "checkpoints.csv", source)
        after = {n: open(os.path.join(plain, n), "rb").read() for n in before}
        check(one_line_stop(r, text, ["same.out"], plain) and before == after, f"refused: {' '.join(args)}: {r.stderr.strip()}")
    usage = accuracy(plain, "checkpoints.csv")
    check(usage.returncode == 2, "a missing INPUT is a usage error, exit 2")

    # A known vertical bias: the geoid raised 5 cm, every height 5 cm lower.
    biased = os.path.join(top, "biased")
    survey(biased, 0.05)
    r = accuracy(biased, *common, "--json", "b.json", "checkpoints.csv", "run.in")
    b = json.load(open(os.path.join(biased, "b.json")))["all"]
    check(abs(b["mean"] - -0.05) <= 2 * b["standard_error"],
          f"mean dz {b['mean']:.4f} is -0.05 within 2 standard errors ({b['standard_error']:.4f})")
    plain_all = json.load(open(os.path.join(plain, "rc.json")))["all"]
    check(abs(b["mean"] - plain_all["mean"] - -0.05) <= b["standard_error"],
          f"and 5 cm below the unbiased survey's mean {plain_all['mean']:.4f} within one standard error")


def real_laz(folder):
    """Check points on ground points of a LAZ file of another writer: dz 0; its density by laspy's count."""
    path = os.path.join(SHARED, "real", "las_with_several_extra_byte_bloc.laz")
    if not os.path.exists(path):
        print(f"skipped: no {path} (the shared real point clouds)")
        return
    las = laspy.read(path)
    x, y, z = np.asarray(las.x), np.asarray(las.y), np.asarray(las.z)
    cls = np.asarray(las.classification)
    picked = np.random.default_rng(7).choice(np.flatnonzero(cls == 2), 40, replace=False)
    with open(os.path.join(folder, "real.csv"), "w") as out:
        out.write("id,easting,northing,height,land_cover\n")
        for i, k in enumerate(picked):
            out.write(f"r{i},{x[k]:.2f},{y[k]:.2f},{z[k]:.2f},{('open', 'vegetated')[i % 2]}\n")
    run = accuracy(folder, "--json", "real.json", "--density-cell", str(CELL), "real.csv", path)
    check(run.returncode == 0, f"a LAZ file of another writer: every figure passes ({run.returncode} {run.stderr.strip()})")
    j = json.load(open(os.path.join(folder, "real.json")))
    check(all(c["status"] == "measured" and abs(c["dz"]) < 1e-6 for c in j["checkpoints"]),
          "check points on its ground points: dz 0")
    kept = (np.asarray(las.return_number) == 1) & ~np.isin(cls, [7, 18]) & ~np.asarray(las.withheld, dtype=bool)
    _, counts = np.unique(np.floor(np.column_stack([x, y])[kept] / CELL), axis=0, return_counts=True)
    d = j["density"]
    check(d["points"] == kept.sum() and d["cells"] == len(counts) and
          d["cells_meeting"] == int(np.sum(counts / CELL**2 >= 2.0)),
          f"its density as laspy counts it: {d['points']} first returns in {d['cells']} cells")
    # guards: figures in feet passed off as metres (limits, edges and density are metric)
    feet = accuracy(folder, "--json", "feet.json", "real.csv", os.path.join(SHARED, "real", "autzen_trim.las"))
    check(one_line_stop(feet, "measures in foot", ["feet.json"], folder), f"a CRS in feet refused: {feet.stderr.strip()}")


if SHARED:
    with tempfile.TemporaryDirectory() as top:
        real_laz(top)
else:
    print("skipped: the real point clouds (no SHARED_DATA given)")

if failures:
    print(f"{len(failures)} failed")
    sys.exit(1)
