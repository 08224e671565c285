"""morva-las's LAZ against its LAS, read by laspy with lazrs (a decoder of
its own, beside the laz-perf of las_check.mjs), and read back by morva-grid
and morva-overlap.

For each simulated survey of SURVEYS (binary and text scan points, flat and
ellipsoidal georeferencing, geographic and projected): every field of every
point of the LAZ equals the LAS's, so do the header's counts, bounds, scales,
offsets and records (the laszip record aside); the LAZ is at most 2 % larger
than what lazrs writes for the LAS's points; and morva-grid makes the same
raster from either. Two overlapping flights as LAS and as LAZ give
morva-overlap the same figures.

usage: laz_out_check.py BUILD_DIR WORK_FOLDER
"""
import json
import os
import shutil
import subprocess
import sys

import laspy
import numpy as np
from osgeo import gdal

BUILD, WORK = sys.argv[1:3]
MORVA = os.path.join(BUILD, "src", "morva")
SIM = os.path.join(BUILD, "tools", "sim", "morva-sim")
LAS = os.path.join(BUILD, "tools", "las", "morva-las")
GRID = os.path.join(BUILD, "tools", "grid", "morva-grid")
OVERLAP = os.path.join(BUILD, "tools", "overlap", "morva-overlap")
ELLIPSOID = (["--geodesy", "ellipsoid", "--metadata", "run.json"], ["--metadata", "run.json"])

# name: morva-sim options, navg (text records averaged), morva options, morva-las options
SURVEYS = {
    "binary_flat": (["--output", "binary", "--geoid", "off", "--duration", "4"], 1, [], []),
    "binary_ellipsoid_utm": (["--output", "binary", "--duration", "4"], 1, ELLIPSOID[0], ELLIPSOID[1] + ["--crs", "utm"]),
    "text_flat": (["--output", "text", "--geoid", "off", "--duration", "4"], 1, [], ["--date", "2024-05-18"]),
    "text_averaged_ellipsoid": (["--output", "text", "--duration", "4"], 3, ELLIPSOID[0], ELLIPSOID[1]),
}
failures = []


def run(argv, cwd=None, stdin=None):
    done = subprocess.run(argv, cwd=cwd, stdin=stdin, capture_output=True)
    if done.returncode != 0:
        sys.exit(f"FAIL: {' '.join(argv)}: exit {done.returncode}: {done.stderr.decode(errors='replace')[-500:]}")
    return done


def survey(folder, sim, navg, morva_args):
    shutil.rmtree(folder, ignore_errors=True)
    run([SIM] + sim + [folder])
    control = os.path.join(folder, "run.in")
    if navg > 1:  # the tenth line begins with navg
        lines = open(control, encoding="latin-1").read().split("\n")
        lines[9] = str(navg) + lines[9][len(lines[9].split()[0]) + (len(lines[9]) - len(lines[9].lstrip())):]
        open(control, "w", encoding="latin-1").write("\n".join(lines))
    with open(control, "rb") as stdin:
        run([MORVA] + morva_args, cwd=folder, stdin=stdin)


def records(vlrs):
    return [(v.user_id, v.record_id, bytes(v.record_data_bytes())) for v in vlrs
            if not (v.user_id == "laszip encoded" and v.record_id == 22204)]


def compare_files(name, las_path, laz_path):
    a, b = laspy.read(las_path), laspy.read(laz_path)
    ha, hb = a.header, b.header
    pairs = {
        "points": (a.points.array.tobytes() == b.points.array.tobytes(), True),
        "point count": (hb.point_count, ha.point_count),
        "counts by return": (list(hb.number_of_points_by_return), list(ha.number_of_points_by_return)),
        "mins": (list(hb.mins), list(ha.mins)), "maxs": (list(hb.maxs), list(ha.maxs)),
        "scales": (list(hb.scales), list(ha.scales)), "offsets": (list(hb.offsets), list(ha.offsets)),
        "records": (records(hb.vlrs), records(ha.vlrs)),
        "compressed": (hb.are_points_compressed, True),
    }
    for key, (got, want) in pairs.items():
        if got != want:
            failures.append(f"{name}: LAZ {key}: {str(got)[:120]}, LAS {str(want)[:120]}")
    if not len(a.points) > 10000:
        failures.append(f"{name}: only {len(a.points)} points")
    # The size lazrs reaches for the same points (point data and chunk table).
    lazrs = os.path.join(os.path.dirname(laz_path), "lazrs.laz")
    a.write(lazrs, laz_backend=laspy.LazBackend.Lazrs)
    ours = os.path.getsize(laz_path) - hb.offset_to_point_data
    theirs = os.path.getsize(lazrs) - laspy.read(lazrs).header.offset_to_point_data
    print(f"{name}: {len(a.points)} points, LAZ point data {ours} bytes, lazrs {theirs} ({ours / theirs - 1:+.2%}); "
          f"LAS {os.path.getsize(las_path)} bytes")
    if ours > 1.02 * theirs:
        failures.append(f"{name}: the LAZ's points take {ours} bytes, lazrs's {theirs}: more than 2 % above")


def raster(path):
    ds = gdal.Open(path)
    return ([ds.GetRasterBand(k + 1).ReadAsArray() for k in range(ds.RasterCount)], ds.GetGeoTransform(),
            ds.GetProjection())


def compare_grids(name, folder):
    outputs = []
    for suffix in ("las", "laz"):
        tif = os.path.join(folder, f"dem-{suffix}.tif")
        run([GRID, "--resolution", "2", os.path.join(folder, f"out.{suffix}"), tif])
        outputs.append(raster(tif))
    (bands_a, geo_a, crs_a), (bands_b, geo_b, crs_b) = outputs
    same = geo_a == geo_b and crs_a == crs_b and len(bands_a) == len(bands_b) and all(
        np.array_equal(x, y, equal_nan=True) for x, y in zip(bands_a, bands_b))
    if not same:
        failures.append(f"{name}: morva-grid's raster from the LAZ differs from the one from the LAS")


os.makedirs(WORK, exist_ok=True)
for name, (sim, navg, morva_args, las_args) in SURVEYS.items():
    folder = os.path.join(WORK, name)
    survey(folder, sim, navg, morva_args)
    run([LAS] + las_args + ["run.in", "out.las"], cwd=folder)
    run([LAS] + las_args + ["run.in", "out.laz"], cwd=folder)
    compare_files(name, os.path.join(folder, "out.las"), os.path.join(folder, "out.laz"))
    compare_grids(name, folder)

# Two overlapping flights (east and west), as LAS and as LAZ: morva-overlap's figures.
common = ["--nmeas", "400", "--scan-rate", "50", "--duration", "6", "--speed", "50", "--geoid", "off",
          "--surface", "flat", "--ground", "10", "--output", "binary"]
flights = {"east": ["--heading", "90", "--lat", "52", "--lon", "5"],
           "west": ["--heading", "270", "--lat", "52.0012", "--lon", "5.0043"]}
figures = {}
for suffix in ("las", "laz"):
    inputs = []
    for flight, options in flights.items():
        folder = os.path.join(WORK, "overlap", flight)
        if suffix == "las":
            survey(folder, common + options, 1, [])
        run([LAS, "run.in", f"{flight}.{suffix}"], cwd=folder)
        inputs.append(os.path.join(folder, f"{flight}.{suffix}"))
    report = os.path.join(WORK, "overlap", f"{suffix}.json")
    done = subprocess.run([OVERLAP, "--resolution", "3", "--json", report] + inputs, capture_output=True)
    if done.returncode not in (0, 3, 4):
        failures.append(f"morva-overlap on the {suffix.upper()} files: exit {done.returncode}: {done.stderr.decode()}")
        continue
    pairs = json.load(open(report))["pairs"]
    figures[suffix] = [{k: v for k, v in p.items() if not isinstance(v, str) or k == "verdict"} for p in pairs]
if "las" in figures and figures.get("las") != figures.get("laz"):
    failures.append(f"morva-overlap: figures from the LAZ {figures.get('laz')} differ from the LAS's {figures['las']}")
elif figures:
    print(f"morva-overlap: {len(figures['las'])} pair(s), the same figures from the LAS and the LAZ")

for f in failures:
    print(f)
sys.exit(1 if failures else 0)
