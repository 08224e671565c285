"""The companions' LAS/LAZ reader against laspy with lazrs.

Every file in MORVA_SHARED_DATA/real (point clouds from other writers; the
test says so and is skipped where the folder is absent) and files laspy
writes here in every point format, uncompressed and LAZ: point count, bounds,
counts per classification, return number and point source ID, sum of Z and
of the other fields equal laspy's. Damaged files stop with one line that
names the file and the fault, exit status 1.

usage: las_reader_check.py LAS_FIGURES SHARED_DATA WORK_FOLDER
"""
import json
import math
import os
import subprocess
import sys
from collections import Counter

import laspy
import numpy as np

FIGURES, SHARED, WORK = sys.argv[1:4]


def counts(values):
    return {str(int(k)): int(n) for k, n in sorted(Counter(np.asarray(values).tolist()).items())}


def laspy_figures(path):
    las = laspy.read(path)
    fmt = las.header.point_format.id
    names = set(las.point_format.dimension_names)
    xyz = [np.asarray(las.x), np.asarray(las.y), np.asarray(las.z)]
    angle = (np.asarray(las.scan_angle, dtype=np.float64) * 0.006 if fmt >= 6
             else np.asarray(las.scan_angle_rank, dtype=np.float64))
    rgb = sum(int(np.asarray(las[c], dtype=np.uint64).sum()) for c in ("red", "green", "blue")) if "red" in names else 0
    return {
        "version": str(las.header.version), "point_format": fmt, "count": len(las.points),
        "extra_bytes": las.point_format.num_extra_bytes,
        "withheld": int(np.asarray(las.withheld).astype(bool).sum()),
        "min": [float(v.min()) for v in xyz] if len(las.points) else None,
        "max": [float(v.max()) for v in xyz] if len(las.points) else None,
        "sum_z": float(xyz[2].sum()),
        "sum_gps_time": float(np.asarray(las.gps_time).sum()) if "gps_time" in names else 0.0,
        "sum_scan_angle": float(angle.sum()),
        "sum_intensity": int(np.asarray(las.intensity, dtype=np.uint64).sum()),
        "sum_number_of_returns": int(np.asarray(las.number_of_returns, dtype=np.uint64).sum()),
        "sum_rgb": rgb,
        "sum_nir": int(np.asarray(las.nir, dtype=np.uint64).sum()) if "nir" in names else 0,
        "classification": counts(las.classification),
        "return_number": counts(las.return_number),
        "point_source_id": counts(las.point_source_id),
    }


def close(a, b):
    if isinstance(a, list):
        return isinstance(b, list) and len(a) == len(b) and all(close(x, y) for x, y in zip(a, b))
    if isinstance(a, float) or isinstance(b, float):
        return math.isclose(a, b, rel_tol=1e-9, abs_tol=1e-6)
    return a == b


failures = []


def check_file(path):
    run = subprocess.run([FIGURES, path], capture_output=True, text=True)
    if run.returncode != 0:
        failures.append(f"{path}: the reader stopped: {run.stderr.strip()}")
        return
    ours, theirs = json.loads(run.stdout), laspy_figures(path)
    for key, want in theirs.items():
        if want is None:
            continue
        if not close(ours.get(key), want):
            failures.append(f"{os.path.basename(path)}: {key}: reader {ours.get(key)}, laspy {want}")


def written(fmt, version, compressed, n=3000, seed=0):
    """A file of every point format that laspy writes, with varied fields."""
    rng = np.random.default_rng(seed + fmt)
    header = laspy.LasHeader(point_format=fmt, version=version)
    header.scales = [0.01, 0.01, 0.001]
    header.offsets = [500000.0, 5000000.0, -10.0]
    las = laspy.LasData(header)
    las.x = 500000 + rng.uniform(0, 1000, n)
    las.y = 5000000 + rng.uniform(0, 1000, n)
    las.z = rng.uniform(-5, 300, n)
    las.intensity = rng.integers(0, 65535, n)
    top = 15 if fmt >= 6 else 7
    las.number_of_returns = rng.integers(1, top + 1, n)
    las.return_number = np.minimum(rng.integers(1, top + 1, n), las.number_of_returns)
    las.classification = rng.integers(0, 256 if fmt >= 6 else 32, n)
    las.withheld = rng.integers(0, 2, n)
    las.point_source_id = rng.integers(1, 5, n)
    if fmt >= 6:
        las.scan_angle = rng.integers(-15000, 15000, n)
    else:
        las.scan_angle_rank = rng.integers(-90, 90, n)
    names = set(las.point_format.dimension_names)
    if "gps_time" in names:
        las.gps_time = rng.uniform(0, 1e6, n)
    for c in ("red", "green", "blue", "nir"):
        if c in names:
            las[c] = rng.integers(0, 65535, n)
    path = os.path.join(WORK, f"format{fmt}-{version}.{'laz' if compressed else 'las'}")
    las.write(path, laz_backend=laspy.LazBackend.Lazrs if compressed else None)
    return path


os.makedirs(WORK, exist_ok=True)
real = os.path.join(SHARED, "real")
if os.path.isdir(real):
    files = sorted(f for f in os.listdir(real) if f.endswith((".las", ".laz")))
    for name in files:
        check_file(os.path.join(real, name))
    print(f"{len(files)} real files compared with laspy")
else:
    print(f"skipped the real files: no folder {real}")

for fmt in range(11):
    for compressed in (False, True):
        # laz-rs compresses formats 4, 5, 9 and 10 (waveform packets) as well.
        check_file(written(fmt, "1.4" if fmt >= 6 else "1.3" if fmt in (4, 5) else "1.2", compressed))
check_file(written(1, "1.1", False))
check_file(written(1, "1.3", True))


# Faults: (what, file maker) -> the reader's line names the file and the fault.
def damaged(name, source, change):
    data = bytearray(open(source, "rb").read())
    change(data)
    path = os.path.join(WORK, name)
    open(path, "wb").write(bytes(data))
    return path


las12 = written(3, "1.2", False)
laz14 = written(6, "1.4", True)
point_offset = int.from_bytes(open(laz14, "rb").read()[96:100], "little")
faults = [
    # guards: a point count beyond the file read past its end
    ("count", damaged("count.las", las12, lambda d: d.__setitem__(slice(107, 111), (10**6).to_bytes(4, "little"))),
     "the header counts 1000000 points"),
    # guards: a record length shorter than the format's fields
    ("length", damaged("length.las", las12, lambda d: d.__setitem__(slice(105, 107), (20).to_bytes(2, "little"))),
     "point records of 20 bytes: point format 3 needs at least 34"),
    # guards: an unknown point format taken for another
    ("format", damaged("format.las", las12, lambda d: d.__setitem__(104, 11)), "point format 11"),
    # guards: a LAS 1.4 point format in a LAS 1.2 file
    ("version", damaged("version.laz", laz14, lambda d: d.__setitem__(25, 2)), "formats 6 to 10 need LAS 1.4"),
    # guards: a non-finite scale making infinite coordinates
    ("scale", damaged("scale.las", las12, lambda d: d.__setitem__(slice(139, 147), np.float64(np.inf).tobytes())),
     "Y scale inf"),
    # guards: a truncated LAZ decoded into garbage
    ("truncated", damaged("truncated.laz", laz14, lambda d: d.__delitem__(slice(len(d) * 2 // 3, None))), "LAZ"),
    # guards: a damaged chunk table offset
    ("chunk table", damaged("table.laz", laz14,
                            lambda d: d.__setitem__(slice(point_offset, point_offset + 8), (2**40).to_bytes(8, "little"))),
     "LAZ"),
]
for what, path, expected in faults:
    run = subprocess.run([FIGURES, path], capture_output=True, text=True)
    lines = run.stderr.strip().splitlines()
    if run.returncode != 1 or len(lines) != 1 or not lines[0].startswith(path + ": ") or expected not in lines[0]:
        failures.append(f"fault {what}: exit {run.returncode}, {run.stderr.strip()!r}, wanted one line with {expected!r}")

for f in failures:
    print(f)
sys.exit(1 if failures else 0)
