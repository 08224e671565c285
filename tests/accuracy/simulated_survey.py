"""A simulated survey with trees and check points, processed by morva and
written as LAS by morva-las, for the accuracy tests: the points (laspy) and
the simulator's truth per point."""
import os
import re
import subprocess

import laspy
import numpy as np

TRUTH = np.dtype([("lat", "<f8"), ("lon", "<f8"), ("h", "<f8"), ("ground", "<f8"), ("cls", "u1"), ("pad", "V7")])


def simulate(folder, sim, morva, morva_las, checkpoints, geoid_shift=0.0):
    """points.las and checkpoints.csv in folder; returns the points and their truth (one entry each)."""
    subprocess.run([sim, "--objects", "trees", "--checkpoints", str(checkpoints), "--duration", "4", folder],
                   check=True, capture_output=True)
    if geoid_shift:
        # Every geoid height raised: the heights above it drop by the shift.
        path = os.path.join(folder, "geoid.txt")
        lines = open(path).read().splitlines()
        shifted = [lines[0]] + [" ".join(f"{float(v) + geoid_shift:.6f}" for v in line.split()) for line in lines[1:]]
        open(path, "w").write("\n".join(shifted) + "\n")
    subprocess.run([morva], stdin=open(os.path.join(folder, "run.in")), cwd=folder, check=True, capture_output=True)
    crs = re.search(r"EPSG:\d+", open(os.path.join(folder, "checkpoints.csv")).readline()).group(0)
    subprocess.run([morva_las, "--crs", crs, "--time-of-day", "run.in", "points.las"], cwd=folder, check=True,
                   capture_output=True)
    las = laspy.read(os.path.join(folder, "points.las"))
    truth = np.fromfile(os.path.join(folder, "truth.bin"), dtype=TRUTH)
    assert len(truth) == len(las.points), "truth and points differ in count"
    return las, truth


def density_cells(xy, cell):
    """An independent count of points in square cells: the counts of the cells
    holding points, and the cells of the data's area (on each row of cells,
    every cell from the first holding points to the last)."""
    keys, counts = np.unique(np.floor(np.asarray(xy) / cell).astype(np.int64), axis=0, return_counts=True)
    area = 0
    for row in np.unique(keys[:, 1]):
        columns = keys[keys[:, 1] == row, 0]
        area += int(columns.max() - columns.min() + 1)
    return counts, area
