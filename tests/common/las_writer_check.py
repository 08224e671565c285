"""The companions' LAS/LAZ writer against laspy with lazrs.

Every file in MORVA_SHARED_DATA/real (skipped, saying so, where absent) and
a few laspy writes here is copied by las_copy (the reader's records through
the writer) as LAS and as LAZ (one thread and two): laspy reads every record
of the copy byte for byte equal to the source's, the header's point count,
counts by return and bounds equal those of the points, the records
(extended ones too) are carried, the reader's figures of the copy equal the
source's, and the LAZ is at most 2 % larger than what lazrs writes for the points.

usage: las_writer_check.py LAS_COPY LAS_FIGURES SHARED_DATA WORK_FOLDER
"""
import json
import os
import subprocess
import sys

import laspy
from laspy.vlrs.vlrlist import VLRList
import numpy as np

COPY, FIGURES, SHARED, WORK = sys.argv[1:5]
failures = []


def records(vlrs):
    return [(v.user_id, v.record_id, bytes(v.record_data_bytes())) for v in vlrs
            if not (v.user_id == "laszip encoded" and v.record_id == 22204)]


def header_bytes(path, start, end):
    with open(path, "rb") as f:
        return f.read(end)[start:end]


def lazrs_size(source, path):
    """Bytes of point data (chunk table included) lazrs writes for the source's points."""
    laspy.read(source).write(path, laz_backend=laspy.LazBackend.Lazrs)
    return os.path.getsize(path) - int.from_bytes(header_bytes(path, 96, 100), "little")


def check_copy(source, name, threads):
    copy = os.path.join(WORK, name)
    run = subprocess.run([COPY, source, copy, str(threads)], capture_output=True, text=True)
    what = f"{os.path.basename(source)} -> {name} ({threads} threads)"
    if run.returncode != 0:
        failures.append(f"{what}: las_copy stopped: {run.stderr.strip()}")
        return
    src, out = laspy.read(source), laspy.read(copy)
    h = out.header
    checks = {
        "version": (str(h.version), str(src.header.version)),
        "point format": (h.point_format.id, src.header.point_format.id),
        "extra bytes": (h.point_format.num_extra_bytes, src.header.point_format.num_extra_bytes),
        "point count": (h.point_count, len(src.points)),
        "records": (src.points.array.tobytes() == out.points.array.tobytes(), True),
        "scales": (list(h.scales), list(src.header.scales)),
        "offsets": (list(h.offsets), list(src.header.offsets)),
        # file source id, global encoding; creation day and year
        "header fields": (header_bytes(copy, 4, 8) + header_bytes(copy, 90, 94),
                          header_bytes(source, 4, 8) + header_bytes(source, 90, 94)),
        "vlrs": (records(h.vlrs), records(src.header.vlrs)),
        "evlrs": (records(out.evlrs or []), records(src.evlrs or [])),
    }
    returns = np.bincount(np.asarray(out.return_number, dtype=np.int64), minlength=16)[1:16]
    top = 15 if h.point_format.id >= 6 else 5
    checks["counts by return"] = (list(h.number_of_points_by_return)[:top], returns[:top].tolist())
    if len(out.points):
        checks["mins"] = (list(h.mins), [float(np.min(out.x)), float(np.min(out.y)), float(np.min(out.z))])
        checks["maxs"] = (list(h.maxs), [float(np.max(out.x)), float(np.max(out.y)), float(np.max(out.z))])
    # The companions' reader: the same figures from the copy as from the source.
    figures = [json.loads(subprocess.run([FIGURES, p], capture_output=True, text=True).stdout or "{}")
               for p in (source, copy)]
    for f in figures:
        f.pop("compressed", None)
    checks["reader figures"] = (figures[1], figures[0])
    if name.endswith(".laz") and len(out.points):
        ours = os.path.getsize(copy) - h.offset_to_point_data - sum(60 + len(r[2]) for r in records(out.evlrs or []))
        theirs = lazrs_size(source, os.path.join(WORK, "lazrs-" + name))
        # No more than 2 % above lazrs's size (smaller is welcome).
        checks["size"] = (True, True) if ours <= 1.02 * theirs else (f"{ours} bytes", f"lazrs {theirs}")
    for key, (got, want) in checks.items():
        if got != want:
            failures.append(f"{what}: {key}: {str(got)[:200]}, wanted {str(want)[:200]}")


def synthetic(name, fmt, version, n, evlr):
    """Many returns (beyond the legacy five) and, in LAS 1.4, an extended record."""
    rng = np.random.default_rng(fmt)
    las = laspy.LasData(laspy.LasHeader(point_format=fmt, version=version))
    las.header.scales = [0.001, 0.001, 0.001]
    las.header.offsets = [300000.0, 6000000.0, 0.0]
    las.x = 300000 + rng.uniform(-50, 50, n)
    las.y = 6000000 + rng.uniform(-50, 50, n)
    las.z = rng.uniform(-20, 80, n)
    top = 15 if fmt >= 6 else 7
    las.number_of_returns = rng.integers(1, top + 1, n)
    las.return_number = np.minimum(rng.integers(0, top + 1, n), las.number_of_returns)
    las.intensity = rng.integers(0, 65535, n)
    las.classification = rng.integers(0, 32, n)
    if "gps_time" in las.point_format.dimension_names:
        las.gps_time = np.sort(rng.uniform(0, 1e5, n))
    if evlr:
        las.evlrs = VLRList([laspy.VLR("morva test", 42, "an extended record", bytes(range(256)) * 300)])
    path = os.path.join(WORK, name)
    las.write(path)
    return path


os.makedirs(WORK, exist_ok=True)
sources = []
real = os.path.join(SHARED, "real")
if os.path.isdir(real):
    sources += [os.path.join(real, f) for f in sorted(os.listdir(real)) if f.endswith((".las", ".laz"))]
else:
    print(f"skipped the real files: no folder {real}")
sources += [synthetic("returns-f1.las", 1, "1.2", 120001, False), synthetic("returns-f10.las", 10, "1.4", 70000, True),
            synthetic("empty-f6.las", 6, "1.4", 0, False)]
for source in sources:
    stem = os.path.splitext(os.path.basename(source))[0]
    check_copy(source, stem + "-copy.las", 1)
    check_copy(source, stem + "-copy.laz", 1)
    check_copy(source, stem + "-copy2.laz", 2)
print(f"{len(sources)} files copied as LAS and LAZ and compared with laspy")
for f in failures:
    print(f)
sys.exit(1 if failures else 0)
