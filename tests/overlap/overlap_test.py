"""morva-overlap end to end on simulated campaigns: three flights over one flat
surface (a east, b west between them, c east beside a), processed by morva as
simulated and with a roll misalignment of 0.05 degrees stated in every run
control but absent from the truth. Every figure is recomputed here from the
scan-point records, with UTM coordinates from GeographicLib's GeoConvert and
planes from numpy, not from the program's code."""
import itertools
import json
import math
import os
import shutil
import subprocess
import sys

import numpy as np
import pytest
import tifffile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "companions"))
from case_raster import read_raster  # noqa: E402  (tifffile, with the floating-point predictor undone by numpy)

BIN = os.environ["MORVA_BUILD"]
MORVA = os.path.join(BIN, "src", "morva")
SIM = os.path.join(BIN, "tools", "sim", "morva-sim")
OVERLAP = os.path.join(BIN, "tools", "overlap", "morva-overlap")
RES = 3.0
ROLL = 0.05
COMMON = ["--nmeas", "400", "--scan-rate", "50", "--duration", "6", "--speed", "50", "--geoid", "off",
          "--surface", "flat", "--ground", "10"]
FLIGHTS = {"a": ["--heading", "90", "--lat", "52", "--lon", "5"],
           "b": ["--heading", "270", "--lat", "52.0012", "--lon", "5.0043"],
           "c": ["--heading", "90", "--lat", "52.0024", "--lon", "5"]}
RECORD = np.dtype([("t", "<i4"), ("lat", "<i4"), ("lon", "<i4"), ("h", "<i4"), ("ampl", "u1"), ("index", "u1")])


def run_morva(folder):
    with open(os.path.join(folder, "run.in"), "rb") as stdin, open(os.path.join(folder, "morva.log"), "wb") as log:
        subprocess.run([MORVA], cwd=folder, stdin=stdin, stdout=log, stderr=subprocess.DEVNULL, check=True)


def set_roll(folder, roll):
    path = os.path.join(folder, "run.in")
    lines = open(path).read().splitlines()
    lines = [f"0 {roll} 0".ljust(30) + "dpitch droll dheading (degrees)" if "dpitch" in ln else ln for ln in lines]
    open(path, "w").write("\n".join(lines) + "\n")


@pytest.fixture(scope="module")
def campaigns(tmp_path_factory):
    top = tmp_path_factory.mktemp("overlap")
    clean, roll = str(top / "clean"), str(top / "roll")
    for name, options in FLIGHTS.items():
        subprocess.run([SIM] + COMMON + options + [os.path.join(clean, name)], check=True, stdout=subprocess.DEVNULL)
        run_morva(os.path.join(clean, name))
    shutil.copytree(clean, roll)
    for name in FLIGHTS:
        set_roll(os.path.join(roll, name), ROLL)
        run_morva(os.path.join(roll, name))
    return {"clean": clean, "roll": roll}


# Exit status: 0 every pair tested and passing, 3 a failure, 4 none but a pair not tested.
STATUS = {"clean": 0, "roll": 3}


def overlap(campaign, *options, status=None):
    out = os.path.join(campaign, "out")
    os.makedirs(out, exist_ok=True)
    done = subprocess.run([OVERLAP, "--resolution", str(RES), "--json", os.path.join(out, "o.json"),
                           "--rasters", os.path.join(out, "dz"), *options, campaign],
                          capture_output=True, text=True)
    want = STATUS.get(os.path.basename(campaign), 0) if status is None else status
    assert done.returncode == want, done.stderr
    with open(os.path.join(out, "o.json")) as f:
        return json.load(f)


def utm(lat, lon):
    """Easting and northing in the zone GeoConvert picks, micrometre digits."""
    text = "\n".join(f"{a:.7f} {o:.7f}" for a, o in zip(lat, lon)) + "\n"
    out = subprocess.run(["GeoConvert", "-u", "-p", "6"], input=text, capture_output=True, text=True, check=True)
    fields = np.array([ln.split()[1:3] for ln in out.stdout.splitlines()], dtype=float)
    return fields[:, 0], fields[:, 1]


def strip_cells(folder):
    """Per cell of the strip: plane height at the centre, whether smooth, its
    squared residuals, point count and the intercept's variance factor."""
    r = np.fromfile(os.path.join(folder, "points.bin"), dtype=RECORD)
    e, n = utm(r["lat"] * 1e-7, r["lon"] * 1e-7)
    z = r["h"] * 1e-3
    ix = np.floor(e / RES).astype(np.int64)
    iy = np.ceil(n / RES).astype(np.int64) - 1
    order = np.lexsort((ix, iy))
    keys = np.stack([ix[order], iy[order]], axis=1)
    starts = np.flatnonzero(np.r_[True, np.any(keys[1:] != keys[:-1], axis=1)])
    ends = np.r_[starts[1:], len(order)]
    cells = {}
    for s, t in zip(starts, ends):
        idx = order[s:t]
        cx, cy = keys[s]
        x = e[idx] - (cx + 0.5) * RES
        y = n[idx] - (cy + 0.5) * RES
        cell = {"n": len(idx), "smooth": False}
        if len(idx) >= 3:
            a = np.c_[np.ones(len(idx)), x, y]
            beta, _, rank, _ = np.linalg.lstsq(a, z[idx], rcond=None)
            if rank == 3:
                resid = z[idx] - a @ beta
                sq = float(resid @ resid)
                rough = math.sqrt(sq / (len(idx) - 3)) if len(idx) > 3 else 0.0
                slope = math.degrees(math.atan(math.hypot(beta[1], beta[2])))
                spread = np.linalg.eigvalsh(np.cov(np.c_[x, y].T, bias=True))[0]
                cell.update(height=beta[0], sq=sq, variance=np.linalg.inv(a.T @ a)[0, 0],
                            smooth=len(idx) >= 4 and rough <= 0.05 and slope <= 10 and spread >= RES * RES / 48)
        cells[(int(cx), int(cy))] = cell
    # The flight line: position against the records' order, through their centre.
    k = np.arange(len(e), dtype=float)
    ve, vn = np.polyfit(k, e, 1)[0], np.polyfit(k, n, 1)[0]
    speed = math.hypot(ve, vn)
    line = (e.mean(), n.mean(), ve / speed, vn / speed)
    return cells, line, len(r)


def right_of(line, x, y):
    cx, cy, ux, uy = line
    return (x - cx) * uy - (y - cy) * ux


EXPECTED = {}


def expected(campaign, names=tuple(FLIGHTS)):
    """Figures of every pair and flight, computed once per campaign."""
    if (campaign, names) not in EXPECTED:
        EXPECTED[(campaign, names)] = computed(campaign, names)
    return EXPECTED[(campaign, names)]


def computed(campaign, names):
    strips = {name: strip_cells(os.path.join(campaign, name)) for name in names}
    pairs = {}
    for a, b in itertools.combinations(names, 2):
        ca, cb = strips[a][0], strips[b][0]
        both = sorted(set(ca) & set(cb))
        smooth = [k for k in both if ca[k]["smooth"] and cb[k]["smooth"]]
        dz = np.array([ca[k]["height"] - cb[k]["height"] for k in smooth])
        x = np.array([(k[0] + 0.5) * RES for k in smooth])
        y = np.array([(k[1] + 0.5) * RES for k in smooth])
        var = np.array([ca[k]["variance"] + cb[k]["variance"] for k in smooth])
        pairs[(a, b)] = {"overlap_cells": len(both), "smooth_cells": len(smooth), "mean_m": dz.mean(),
                         "median_m": np.median(dz), "std_m": dz.std(ddof=1), "rmsdz_m": math.sqrt((dz ** 2).mean()),
                         "p95_abs_m": np.percentile(np.abs(dz), 95), "max_abs_m": np.abs(dz).max(),
                         "gradient_right_of_a": np.polyfit(right_of(strips[a][1], x, y), dz, 1)[0],
                         "gradient_right_of_b": np.polyfit(right_of(strips[b][1], x, y), dz, 1)[0],
                         "cells": dict(zip(smooth, dz)), "x": x, "y": y, "variance": var}
    flights = {}
    for name, (cells, line, count) in strips.items():
        sm = [c for c in cells.values() if c["smooth"]]
        flights[name] = {"points": count, "cells": len(cells), "smooth_cells": len(sm),
                         "precision_m": math.sqrt(sum(c["sq"] for c in sm) / sum(c["n"] - 3 for c in sm)),
                         "heading_deg": math.degrees(math.atan2(line[2], line[3])) % 360}
    return pairs, flights


@pytest.mark.parametrize("which", ["clean", "roll"])
def test_every_figure_equals_an_independent_computation(campaigns, which):
    got = overlap(campaigns[which])
    pairs, flights = expected(campaigns[which])
    assert [(p["a"], p["b"]) for p in got["pairs"]] == list(pairs)
    for p in got["pairs"]:
        want = pairs[(p["a"], p["b"])]
        for key in ("overlap_cells", "smooth_cells"):
            assert p[key] == want[key], (p["a"], p["b"], key)
        for key in ("mean_m", "median_m", "std_m", "rmsdz_m", "p95_abs_m", "max_abs_m"):
            assert p[key] == pytest.approx(want[key], abs=2e-6), (p["a"], p["b"], key)
        for key in ("gradient_right_of_a", "gradient_right_of_b"):
            assert p[key] == pytest.approx(want[key], abs=2e-7), (p["a"], p["b"], key)
    for f in got["flights"]:
        want = flights[f["name"]]
        for key in ("points", "cells", "smooth_cells"):
            assert f[key] == want[key], (f["name"], key)
        assert f["precision_m"] == pytest.approx(want["precision_m"], rel=1e-4)
        assert f["heading_deg"] == pytest.approx(want["heading_deg"], abs=1e-3)


def test_without_error_the_rmsdz_is_the_noise_of_the_cells_point_counts(tmp_path):
    sim_help = subprocess.run([SIM, "--help"], capture_output=True, text=True).stdout
    if "--range-noise" not in sim_help:
        pytest.skip("morva-sim has no --range-noise yet")
    noise = 0.02
    campaign = str(tmp_path / "noise")
    for name in ("a", "b"):
        subprocess.run([SIM] + COMMON + FLIGHTS[name] + ["--range-noise", str(noise), "--seed", str(ord(name)),
                                                         os.path.join(campaign, name)], check=True, stdout=subprocess.DEVNULL)
        run_morva(os.path.join(campaign, name))
    got = overlap(campaign, "--max-roughness", "0.1")
    pairs, flights = expected(campaign, ("a", "b"))
    (p,) = got["pairs"]
    # Each plane's height at the centre carries sigma^2 (X'X)^-1 [0, 0], sigma
    # the vertical part of the range noise (the beams lean by up to 30 degrees).
    sigma = math.sqrt(np.mean([f["precision_m"] ** 2 for f in flights.values()]))
    assert noise * math.cos(math.radians(30)) * 0.95 < sigma < noise * 1.05
    want = sigma * math.sqrt(pairs[("a", "b")]["variance"].mean())
    assert 0.85 * want < p["rmsdz_m"] < 1.15 * want, (p["rmsdz_m"], want)
    assert abs(p["mean_m"]) < 3 * want / math.sqrt(p["smooth_cells"]) + 1e-4


def aircraft_line(folder):
    t = np.loadtxt(os.path.join(folder, "trajectory.txt"))
    e, n = utm(t[:, 1], t[:, 2])
    ve, vn = e[-1] - e[0], n[-1] - n[0]
    s = math.hypot(ve, vn)
    return e.mean(), n.mean(), ve / s, vn / s


def test_a_roll_error_shows_as_the_analytic_dz_and_gradient_signs(campaigns):
    got = overlap(campaigns["roll"], "--limits", "QL1")
    pairs, _ = expected(campaigns["roll"])
    lines = {name: aircraft_line(os.path.join(campaigns["roll"], name)) for name in FLIGHTS}
    # A roll stated in the run control but absent from the scanner turns the
    # computed ground about the flight line: the right side of a strip lies
    # lower by tan(roll) for every metre right of the aircraft.
    k = math.tan(math.radians(ROLL))
    for p in got["pairs"]:
        want = pairs[(p["a"], p["b"])]
        analytic = -k * (right_of(lines[p["a"]], want["x"], want["y"]) - right_of(lines[p["b"]], want["x"], want["y"]))
        assert abs(p["mean_m"] - analytic.mean()) < 0.005, (p["a"], p["b"])
        assert p["verdict"] == "fail"
    by = {(p["a"], p["b"]): p for p in got["pairs"]}
    # Opposite directions: dz grows across the overlap, with opposite signs
    # right of each flight line; the same direction: an offset, no gradient.
    for pair in (("a", "b"), ("b", "c")):
        assert by[pair]["gradient_right_of_a"] == pytest.approx(-2 * k, rel=0.02)
        assert by[pair]["gradient_right_of_b"] == pytest.approx(2 * k, rel=0.02)
    assert abs(by[("a", "c")]["gradient_right_of_a"]) < 0.02 * k
    assert by[("a", "c")]["mean_m"] == pytest.approx(0.233, abs=0.005)


def test_difference_rasters_read_back_hold_the_figures(campaigns):
    got = overlap(campaigns["roll"])
    pairs, _ = expected(campaigns["roll"])
    for p in got["pairs"]:
        pixels, geo = read_raster(p["raster"])
        assert pixels.dtype == np.float32 and pixels.shape[2] == 1
        image = pixels[:, :, 0]
        with tifffile.TiffFile(p["raster"]) as tif:
            assert tif.pages[0].tags["GDAL_NODATA"].value.strip("\x00") == "-999999"
        assert geo["ProjectedCSTypeGeoKey"] == 32631
        scale, tie = geo["ModelPixelScale"], geo["ModelTiepoint"]
        assert scale[0] == RES and scale[1] == RES
        want = pairs[(p["a"], p["b"])]["cells"]
        values, off = [], []
        for (row, col), v in np.ndenumerate(image):
            ix = int(round((tie[3] - tie[0] * RES) / RES)) + col
            iy = int(round(tie[4] / RES)) - 1 - row
            if v == -999999:
                assert (ix, iy) not in want
            else:
                values.append(float(v))
                off.append(abs(v - want[(ix, iy)]))
        # The JSON's figures are those of the raster's values (float32)...
        dz = np.array(values)
        assert len(dz) == len(want) == p["smooth_cells"]
        assert dz.mean() == pytest.approx(p["mean_m"], abs=1e-7)
        assert math.sqrt((dz ** 2).mean()) == pytest.approx(p["rmsdz_m"], abs=1e-7)
        assert np.abs(dz).max() == pytest.approx(p["max_abs_m"], abs=1e-7)
        assert np.median(dz) == pytest.approx(p["median_m"], abs=1e-7)
        # ...and each value the independent one: a point within a tenth of a
        # millimetre of a cell's edge may fall on the other side in GeoConvert's
        # coordinates, moving that cell's plane a little.
        off = np.array(off)
        assert np.mean(off < 2e-6) > 0.99 and off.max() < 2e-3


def one_line_failure(args, cause):
    done = subprocess.run([OVERLAP, *args], capture_output=True, text=True)
    assert done.returncode == 1, (args, done.stderr)
    assert done.stdout == ""
    lines = done.stderr.splitlines()
    assert len(lines) == 1 and lines[0].startswith("morva-overlap: ") and cause in lines[0], lines


def test_every_bad_input_ends_with_its_line(campaigns, tmp_path):
    clean = campaigns["clean"]
    a, b = os.path.join(clean, "a", "run.in"), os.path.join(clean, "b", "run.in")
    # A flight processed in the exact mode, one with heights above a geoid grid,
    # one never processed, one far away.
    exact = str(tmp_path / "exact")
    shutil.copytree(os.path.join(clean, "b"), exact)
    open(os.path.join(exact, "morva.err"), "w").write("morva: geodesy ellipsoid: exact positions on the WGS 84 ellipsoid\n")
    geoid, never, far = str(tmp_path / "geoid"), str(tmp_path / "never"), str(tmp_path / "far")
    subprocess.run([SIM] + COMMON + FLIGHTS["b"] + ["--geoid", "on", geoid], check=True, stdout=subprocess.DEVNULL)
    run_morva(geoid)
    subprocess.run([SIM] + COMMON + FLIGHTS["b"] + [never], check=True, stdout=subprocess.DEVNULL)
    subprocess.run([SIM] + COMMON + ["--lat", "52.1"] + [far], check=True, stdout=subprocess.DEVNULL)
    run_morva(far)
    empty = str(tmp_path / "empty")
    os.makedirs(empty)
    exact_las = str(tmp_path / "exact.las")
    subprocess.run([os.path.join(BIN, "tools", "las", "morva-las"), "--date", "2024-05-17", "--geodesy", "ellipsoid",
                    "run.in", exact_las], cwd=os.path.join(clean, "b"), check=True, capture_output=True)
    cases = [
        ([a, str(tmp_path / "missing" / "run.in")], "missing/run.in"),              # a missing flight
        ([a, os.path.join(never, "run.in")], "points.bin"),                        # a flight not processed
        ([a, os.path.join(exact, "run.in")], "different geodesy modes (flat, ellipsoid)"),
        # guards: a LAS flight's own geodesy (its coordinate system record) was never read, so taken for flat
        ([a, exact_las], "different geodesy modes (flat, ellipsoid)"),
        ([a, os.path.join(geoid, "run.in")], "different systems (ellipsoidal height, height above geoid grid"),
        ([a, os.path.join(far, "run.in")], "no two of the 2 flights overlap"),
        ([a], "one flight only"),
        ([empty], "no folder below it holds a run.in"),
        (["--json", os.path.join(clean, "b", "points.bin"), a, b],                  # never over an input
         "is the same file as the run control's scan-point file of flight"),
    ]
    for args, cause in cases:
        one_line_failure(args, cause)
    # --force compares them all the same, and says so.
    done = subprocess.run([OVERLAP, "--force", a, os.path.join(exact, "run.in")], capture_output=True, text=True)
    assert done.returncode == 0 and "warning: flights" in done.stdout


def test_a_wrong_command_line_is_one_usage_line():
    usage = "; usage: morva-overlap [options] CAMPAIGN_DIR | RUN_CONTROL... (morva-overlap --help)"
    cases = [(["--bogus", "x"], "unknown option --bogus"),
             (["x", "--json"], "option --json needs a value"),
             (["--resolution", "fine", "x"], "option --resolution: 'fine' is not a number"),
             (["--max-slope", "95", "x"], "option --max-slope: 95 is out of range (0 to 90)"),
             (["--limits", "QL4", "x"], "option --limits: 'QL4' is not one of QL0, QL1, QL2, QL3"),
             ([], "missing CAMPAIGN_DIR or RUN_CONTROL")]
    for args, message in cases:
        done = subprocess.run([OVERLAP, *args], capture_output=True, text=True)
        assert (done.returncode, done.stderr) == (2, f"morva-overlap: {message}{usage}\n"), args
    done = subprocess.run([OVERLAP, "--help"], capture_output=True, text=True)
    assert done.returncode == 0 and "Exit status:" in done.stdout


def test_las_files_of_the_flights_give_the_same_figures(campaigns, tmp_path):
    las = os.path.join(BIN, "tools", "las", "morva-las")
    inputs = []
    for name in FLIGHTS:
        folder = os.path.join(campaigns["roll"], name)
        out = str(tmp_path / f"{name}.las")
        subprocess.run([las, "--date", "2024-05-17", "run.in", out], cwd=folder, check=True, capture_output=True)
        inputs.append(out)
    json_path = str(tmp_path / "las.json")
    done = subprocess.run([OVERLAP, "--resolution", str(RES), "--json", json_path, *inputs], capture_output=True)
    assert done.returncode == 3, done.stderr
    from_las = json.load(open(json_path))["pairs"]
    from_runs = overlap(campaigns["roll"])["pairs"]
    keys = ("overlap_cells", "smooth_cells", "mean_m", "median_m", "std_m", "rmsdz_m", "p95_abs_m", "max_abs_m",
            "gradient_right_of_a", "gradient_right_of_b", "verdict")
    assert [[p[k] for k in keys] for p in from_las] == [[p[k] for k in keys] for p in from_runs]
