"""morva-overlap --by-source-id on files from other writers holding several
flight lines (MORVA_SHARED_DATA/real: sample_c.las, four lines, no CRS;
append-bug.laz, LAZ in Lambert-93; skipped, saying so, where absent): each
point source ID is one flight whose points, cells and overlap cells with
every other equal an independent binning of laspy's coordinates (withheld
points and classes 7 and 18 left out, as by default).

usage: by_source_id_check.py MORVA_OVERLAP SHARED_DATA WORK_FOLDER
"""
import json
import os
import subprocess
import sys

import laspy
import numpy as np

OVERLAP, SHARED, WORK = sys.argv[1:4]
real = os.path.join(SHARED, "real")
if not os.path.isdir(real):
    print(f"skipped: no folder {real} of real point clouds")
    sys.exit(77)
os.makedirs(WORK, exist_ok=True)
RESOLUTION = 5.0
failures = []
for name, extra in (("sample_c.las", ["--input-crs", "EPSG:2994"]), ("append-bug.laz", [])):
    path, report = os.path.join(real, name), os.path.join(WORK, name + ".json")
    run = subprocess.run([OVERLAP, "--by-source-id", "--resolution", str(RESOLUTION), "--json", report] + extra + [path],
                         capture_output=True, text=True)
    if run.returncode not in (0, 3, 4):
        failures.append(f"{name}: exit {run.returncode}: {run.stderr.strip()[-300:]}")
        continue
    d = json.load(open(report))
    las = laspy.read(path)
    x, y = np.asarray(las.x), np.asarray(las.y)
    ids, classes = np.asarray(las.point_source_id), np.asarray(las.classification)
    keep = ~np.asarray(las.withheld).astype(bool) & (classes != 7) & (classes != 18)
    wanted = sorted(int(i) for i in np.unique(ids[keep]))
    got = [int(f["name"].rsplit("#", 1)[1]) for f in d["flights"]]
    if got != wanted:
        failures.append(f"{name}: flights {got}, laspy's point source IDs {wanted}")
        continue
    cells = {}
    for f, i in zip(d["flights"], got):
        m = keep & (ids == i)
        cells[i] = set(zip(np.floor(x[m] / RESOLUTION).astype(np.int64).tolist(),
                           (np.ceil(y[m] / RESOLUTION).astype(np.int64) - 1).tolist()))
        if f["points"] != int(m.sum()) or f["cells"] != len(cells[i]):
            failures.append(f"{name}#{i}: {f['points']} points in {f['cells']} cells, laspy {m.sum()} in {len(cells[i])}")
    for p in d["pairs"]:
        a, b = (int(p[k].rsplit("#", 1)[1]) for k in ("a", "b"))
        if p["overlap_cells"] != len(cells[a] & cells[b]):
            failures.append(f"{name}: {a}-{b}: {p['overlap_cells']} overlap cells, laspy {len(cells[a] & cells[b])}")
    print(f"{name}: {len(got)} flights, {len(d['pairs'])} pairs as laspy's binning")
for f in failures:
    print(f)
sys.exit(1 if failures else 0)
