"""The accuracy library end to end on simulated surveys with trees and check
points: morva's points (through morva-las, read with laspy), the ground
points by the simulator's truth classes, and the figures of accuracy_eval
against the test's own computation (scipy's Delaunay triangulation,
barycentric heights, numpy's statistics and cell counts).

  accuracy_test.py MORVA_SIM MORVA MORVA_LAS ACCURACY_EVAL
"""
import os
import subprocess
import sys
import tempfile

import numpy as np
from scipy.spatial import Delaunay, cKDTree

from simulated_survey import density_cells, simulate

SIM, MORVA, MORVA_LAS, EVAL = (os.path.abspath(p) for p in sys.argv[1:5])
MAX_EDGE = 10.0
CELL = 2.0
LEVEL_DENSITY = 2.0  # QL2
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def survey(folder, geoid_shift):
    """A simulated survey processed by morva; ground.xyz, first.xy, checkpoints.csv in folder."""
    las, truth = simulate(folder, SIM, MORVA, MORVA_LAS, 40, geoid_shift)
    xyz = np.column_stack([las.x, las.y, las.z])
    np.savetxt(os.path.join(folder, "ground.xyz"), xyz[truth["cls"] == 2], fmt="%.4f")
    first = np.asarray(las.return_number) == 1
    np.savetxt(os.path.join(folder, "first.xy"), xyz[first][:, :2], fmt="%.4f")


def evaluate(folder, checkpoints="checkpoints.csv"):
    result = subprocess.run([EVAL, "ground.xyz", "first.xy", checkpoints, str(MAX_EDGE), "QL2", str(CELL)],
                            cwd=folder, capture_output=True, text=True)
    return result


def parse(stdout):
    points, figures = {}, {}
    for line in stdout.splitlines():
        words = line.split()
        if words[0] == "point":
            points[words[1]] = (words[2], words[3] == "measured", float(words[4]))
        else:
            figures[words[0]] = words[1:]
    return points, figures


def independent(folder):
    """Per check point: (cover, measured, dz) by scipy's triangulation of the ground points."""
    ground = np.loadtxt(os.path.join(folder, "ground.xyz"))
    origin = ground[:, :2].min(axis=0)
    xy = ground[:, :2] - origin
    triangulation = Delaunay(xy)
    tree = cKDTree(xy)
    rows = [line.strip().split(",") for line in open(os.path.join(folder, "checkpoints.csv"))
            if line.strip() and not line.startswith("#")][1:]
    result = {}
    for cid, e, n, h, cover in rows:
        p = np.array([float(e), float(n)]) - origin
        simplex = triangulation.find_simplex(p)
        nearest, _ = tree.query(p)
        if simplex < 0 or nearest > MAX_EDGE:
            result[cid] = (cover, False, 0.0)
            continue
        corners = triangulation.simplices[simplex]
        v = xy[corners]
        edges = np.linalg.norm(v - np.roll(v, 1, axis=0), axis=1)
        if edges.max() > MAX_EDGE:
            result[cid] = (cover, False, 0.0)
            continue
        t = triangulation.transform[simplex]
        b = t[:2] @ (p - t[2])
        weights = np.append(b, 1 - b.sum())
        result[cid] = (cover, True, float(weights @ ground[corners, 2]) - float(h))
    return result


with tempfile.TemporaryDirectory() as top:
    plain = os.path.join(top, "plain")
    survey(plain, 0.0)
    run = evaluate(plain)
    check(run.returncode == 0, f"accuracy_eval runs ({run.stderr.strip()})")
    points, figures = parse(run.stdout)
    truth = independent(plain)
    check(points.keys() == truth.keys(), "every check point reported")
    check(all(points[k][1] == truth[k][1] for k in truth), "the same check points measured as by scipy")
    measured = [k for k in truth if truth[k][1]]
    check(len(measured) >= 20, f"{len(measured)} of {len(truth)} check points measured")
    check(max(abs(points[k][2] - truth[k][2]) for k in measured) < 1e-3, "dz at each check point within 1 mm")
    dz = np.array([truth[k][2] for k in measured])
    is_open = np.array([truth[k][0] == "open" for k in measured])
    rmse_open = np.sqrt(np.mean(dz[is_open] ** 2))
    vva = np.percentile(np.abs(dz[~is_open]), 95)
    check(abs(float(figures["open"][3]) - rmse_open) < 1e-3, f"RMSEz open {figures['open'][3]} = {rmse_open:.6f}")
    check(abs(float(figures["nva"][0]) - 1.96 * rmse_open) < 1e-3, f"NVA {figures['nva'][0]} = {1.96 * rmse_open:.6f}")
    check(abs(float(figures["vva"][0]) - vva) < 1e-3, f"VVA {figures['vva'][0]} = {vva:.6f}")
    check(abs(float(figures["all"][1]) - dz.mean()) < 1e-6, "mean dz")
    check(abs(float(figures["all"][2]) - dz.std(ddof=1)) < 1e-6, "standard deviation of dz")

    # Density: an independent count of the first returns in 2 m cells.
    first = np.loadtxt(os.path.join(plain, "first.xy"))
    counts, area = density_cells(first, CELL)
    d = figures["density"]
    check(int(d[0]) == len(first) and int(d[1]) == len(counts), f"density: {d[0]} points in {d[1]} cells")
    check(abs(float(d[3]) - len(first) / (area * CELL * CELL)) < 1e-9, f"mean density {d[3]} over {area} cells of data")
    check(int(d[4]) == int(np.sum(counts / (CELL * CELL) >= LEVEL_DENSITY)), f"{d[4]} cells meet QL2")

    # A check point far outside the data is reported, not dropped; a bad line is refused by number.
    lines = open(os.path.join(plain, "checkpoints.csv")).read().splitlines()
    e, n = (float(v) for v in lines[2].split(",")[1:3])
    open(os.path.join(plain, "outside.csv"), "w").write("\n".join(lines + [f"far,{e + 5000:.3f},{n:.3f},10,open"]) + "\n")
    outside_points, _ = parse(evaluate(plain, "outside.csv").stdout)
    check(outside_points.get("far", ("", True, 0))[1] is False, "a check point outside the data: not measured, listed")
    open(os.path.join(plain, "bad.csv"), "w").write("\n".join(lines[:4] + ["9,1,2,x,open"]) + "\n")
    bad = evaluate(plain, "bad.csv")
    check(bad.returncode == 1 and bad.stderr == "*** bad.csv line 5: the height 'x' is not a number\n",
          f"a bad line refused by number: {bad.stderr.strip()}")

    # No check point within the data (another coordinate system): one line, exit 1.
    shifted = lines[:2] + [",".join([f[0], f"{float(f[1]) + 5000:.3f}"] + f[2:]) for f in (l.split(",") for l in lines[2:])]
    open(os.path.join(plain, "elsewhere.csv"), "w").write("\n".join(shifted) + "\n")
    elsewhere = evaluate(plain, "elsewhere.csv")
    check(elsewhere.returncode == 1 and elsewhere.stderr.count("\n") == 1 and "none of the 40" in elsewhere.stderr,
          f"no check point within the data: {elsewhere.stderr.strip()}")

    # A known vertical bias: the geoid raised 5 cm, every height 5 cm lower.
    biased = os.path.join(top, "biased")
    survey(biased, 0.05)
    _, bias_figures = parse(evaluate(biased).stdout)
    mean, error = float(bias_figures["all"][1]), float(bias_figures["all"][4])
    check(abs(mean - -0.05) <= 2 * error, f"mean dz {mean:.4f} is -0.05 within 2 standard errors ({error:.4f})")

if failures:
    print(f"{len(failures)} failed")
    sys.exit(1)
