"""morva-grid on LAS and LAZ files from other writers (MORVA_SHARED_DATA/real;
skipped, saying so, where absent): every file makes a raster in its own CRS
(--input-crs where it states none) whose count band holds every point; the
raster of autzen_trim.las (international feet) at 6 ft equals, cell by cell,
a binning of laspy's coordinates, and its GeoTIFF keys name the file's CRS
and its linear unit (foot).

usage: real_files_check.py MORVA_GRID SHARED_DATA WORK_FOLDER
"""
import os
import subprocess
import sys

import laspy
import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "companions"))
from case_checks import check_cells  # noqa: E402  (the cases' cell check and raster reader)
from case_raster import read_raster  # noqa: E402

GRID, SHARED, WORK = sys.argv[1:4]
real = os.path.join(SHARED, "real")
if not os.path.isdir(real):
    print(f"skipped: no folder {real} of real point clouds")
    sys.exit(77)
os.makedirs(WORK, exist_ok=True)

WITHOUT_CRS = {"sample_c.las": "EPSG:2994", "simple.laz": "EPSG:2994"}
BANDS = ["min", "max", "mean", "count", "stdev"]
failures = []
for name in sorted(f for f in os.listdir(real) if f.endswith((".las", ".laz"))):
    path, out = os.path.join(real, name), os.path.join(WORK, name + ".tif")
    resolution = "6" if name.startswith("autzen") else "10"
    crs = ["--input-crs", WITHOUT_CRS[name]] if name in WITHOUT_CRS else []
    run = subprocess.run([GRID, "--resolution", resolution] + crs + [path, out], capture_output=True, text=True)
    if run.returncode != 0:
        failures.append(f"{name}: exit {run.returncode}: {run.stderr.strip()}")
        continue
    las = laspy.read(path)
    # The default filter: withheld points and noise (classes 7 and 18) left out.
    classes = np.asarray(las.classification)
    kept = ~np.asarray(las.withheld).astype(bool) & (classes != 7) & (classes != 18)
    pixels, geo = read_raster(out)
    total = pixels[:, :, BANDS.index("count")].astype(np.float64).sum()
    if total != kept.sum():
        failures.append(f"{name}: the count band sums to {total}, not the {kept.sum()} points kept")
    if int(geo.get("GTModelTypeGeoKey", 0)) != 1:
        failures.append(f"{name}: the raster is not in a projected CRS: {geo}")
    if name == "autzen_trim.las":
        unit = geo.get("ProjLinearUnitsGeoKey")
        if int(unit) != 9002:
            failures.append(f"{name}: the linear unit key is {unit}, not 9002 (international foot)")
        try:
            compared, _ = check_cells(pixels, geo, BANDS, np.asarray(las.x)[kept], np.asarray(las.y)[kept],
                                               np.asarray(las.z)[kept], -9999.0)
            print(f"{name}: {compared} cells equal laspy's binning")
        except SystemExit as e:
            failures.append(f"{name}: the cells differ from laspy's binning: {e}")
    # Without --input-crs, a file that states no CRS is refused, naming the option.
    if name in WITHOUT_CRS:
        run = subprocess.run([GRID, path, out + ".no-crs.tif"], capture_output=True, text=True)
        if run.returncode != 1 or "--input-crs CRS" not in run.stderr or os.path.exists(out + ".no-crs.tif"):
            failures.append(f"{name}: without --input-crs: exit {run.returncode}, {run.stderr.strip()!r}")

# --classes 2 --returns last on a file of several classes and returns.
path = os.path.join(real, "file_with_both_wkt_and_geotiff_vlrs.las")
if os.path.exists(path):
    out = os.path.join(WORK, "ground-last.tif")
    run = subprocess.run([GRID, "--classes", "2", "--returns", "last", path, out], capture_output=True, text=True)
    las = laspy.read(path)
    want = ((np.asarray(las.classification) == 2) & ~np.asarray(las.withheld).astype(bool) &
            (np.asarray(las.return_number) == np.asarray(las.number_of_returns))).sum()
    got = read_raster(out)[0][:, :, 3].astype(np.float64).sum() if run.returncode == 0 else None
    if got != want:
        failures.append(f"--classes 2 --returns last: {got} points gridded, laspy selects {want}: {run.stderr}")

for f in failures:
    print(f)
sys.exit(1 if failures else 0)
