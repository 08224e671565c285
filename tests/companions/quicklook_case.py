"""A morva-quicklook case ("program": "morva-quicklook"): the quick-look
run in each survey's folder and what it wrote checked against the
simulator's truth and against the scan-point file read here record by
record.

Besides the keys every case has (run_case.py):
  compare    ["binary", "text"]: two surveys of one flight written in each
             form (morva-sim --output); the two pictures' figures must agree
  args       the quick-look's arguments ({png} stands for its picture, {dir} for
             the survey's folder's name; by default --json ql.json run.in {png})
  from_parent  the quick-look runs in the folder above the survey's
  expect     points (counts), file_agrees
             (counts, bounds and medians against the scan-point file), height
             (every per-index median within [value, tolerance]), tilt ([degrees,
             tolerance]), regression_agrees (metres), report_regression (the
             report's regression), gaps_from_report, centre_points, picture,
             files (written, not empty), png, geojson,
             texts ([[PANEL, "x" | "y" | "texts", TEXT]]: a label or text of that panel
             holds TEXT), plain_numbers (no axis shows an offset such as "+1e1"),
             colour_span (the colour limits at least this many metres apart),
             title (texts the picture's title must hold)
"""

import json
import os
import statistics
import struct
import subprocess

from case_setup import TEXT_FIELDS
from case_verdict import check, check_ending

PROGRAM = "morva-quicklook"


def run_quicklook(build, case, work, folder):
    """The quick-look on the survey in folder, run there (or in the folder
    above it)."""
    args = [a.replace("{png}", "ql.png").replace("{dir}", os.path.basename(folder))
            for a in case.get("args", ["--json", "ql.json", "run.in", "{png}"])]
    cwd = work if case.get("from_parent") else folder
    return subprocess.run([f"{build}/tools/quicklook/{PROGRAM}", *args], cwd=cwd, capture_output=True, text=True)


def file_points(folder, name, nmeas):
    """The valid points of the scan-point file, read one record at a time:
    (thr, lat, lon, h, index); a binary record's index is its place in its scan,
    which the simulator's surveys (every measurement accepted) make known."""
    path = os.path.join(folder, name)
    points, skipped = [], 0
    if name.endswith(".bin"):
        with open(path, "rb") as f:
            data = f.read()
        skipped += 1 if len(data) % 18 else 0   # a partial record at the end
        for k, (t, la, lo, h, _, low) in enumerate(struct.iter_unpack("<iiiiBB", data[:len(data) // 18 * 18])):
            index = k % nmeas + 1
            check(index % 256 == low, f"record {k}: index byte {low} is not that of measurement {index}")
            if -2147483648 in (t, la, lo, h):
                skipped += 1
            else:
                points.append((t * 1e-7, la * 1e-7, lo * 1e-7, h * 1e-3, index))
        return points, skipped
    with open(path) as f:
        for line in f:
            try:
                points.append(tuple(float(line[a:b]) for a, b in (TEXT_FIELDS[k] for k in ("thr", "lat", "lon", "h")))
                              + (int(line[44:48]),))
            except ValueError:
                skipped += 1
    return points, skipped


def check_against_file(result, points, skipped):
    counts = result["points"]
    check(counts["valid"] == len(points) and counts["skipped"] == skipped,
          f"counts {counts} but the file holds {len(points)} points and {skipped} invalid records")
    for k, key in enumerate(("thr", "lat", "lon", "h")):
        lo, hi = min(p[k] for p in points), max(p[k] for p in points)
        got = result["bounds"][key]
        check(abs(got[0] - lo) <= 1e-9 and abs(got[1] - hi) <= 1e-9,
              f"{key} bounds {got}, file {lo} {hi}")
    by_index = {}
    for p in points:
        by_index.setdefault(p[4], []).append(p[3])
    across = result["across_scan"]
    check(across["index"] == sorted(by_index), "indices differ from the file's")
    for i, n, median in zip(across["index"], across["count"], across["median"]):
        check(n == len(by_index[i]), f"index {i}: {n} points, the file {len(by_index[i])}")
        check(abs(median - statistics.median(by_index[i])) < 1e-6, f"index {i}: median {median}")


def png_size_and_colour(path):
    with open(path, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG")
    width, height = struct.unpack(">II", head[16:24])
    import matplotlib.image
    pixels = matplotlib.image.imread(path)[: height // 2, : width // 2, :3]
    colourful = (pixels.max(axis=2) - pixels.min(axis=2) > 0.25).mean()
    return (width, height), colourful


def check_result(case, folder, sim_options):
    """What the quick-look wrote into folder against the case's expectations."""
    expect = case.get("expect", {})
    result_path = os.path.join(folder, "ql.json")
    result = json.load(open(result_path)) if os.path.exists(result_path) else None
    if "points" in expect:
        check(all(result["points"][k] == v for k, v in expect["points"].items()),
              f"points {result['points']}, expected {expect['points']}")
    if expect.get("file_agrees"):
        sim = dict(zip(sim_options[::2], sim_options[1::2]))
        scan_points = result["scan_point_file"]   # as the quick-look opened it, from where it ran
        if case.get("from_parent"):
            scan_points = os.path.relpath(os.path.join(os.path.dirname(folder), scan_points), folder)
        points, skipped = file_points(folder, scan_points, int(sim.get("--nmeas", 250)))
        check_against_file(result, points, skipped)
    if "height" in expect:
        value, tol = expect["height"]
        worst = max(abs(m - value) for m in result["across_scan"]["median"])
        check(worst <= tol, f"a per-index median is {worst} m from the surface at {value} m")
    if "tilt" in expect:
        value, tol = expect["tilt"]
        got = result["across_scan"]["tilt_degrees"]
        check(got is not None and abs(got - value) <= tol, f"tilt {got}, expected {value}")
    if "regression_agrees" in expect:
        curve, medians = result["across_scan"]["regression_curve"], result["across_scan"]["median"]
        check(curve is not None, "no regression curve")
        worst = max(abs(c - m) for c, m in zip(curve, medians))
        check(worst <= expect["regression_agrees"], f"regression curve {worst} m from the medians")
    if "report_regression" in expect:
        got = result["report"]["regression"]
        check(all(got.get(k) == v for k, v in expect["report_regression"].items()), f"report's regression {got}")
        check(result["across_scan"]["regression_curve"] is None or got["points"] > 0, "a curve fitted to no point")
    if expect.get("gaps_from_report"):
        with open(os.path.join(folder, "console.txt")) as f:
            gaps = [line for line in f if line.startswith(" ** time gap scan")]
        check(gaps and len(result["report"]["gaps"]) == len(gaps), "time gaps differ from the report's")
    if "centre_points" in expect:
        check(result["centre_points"]["count"] == expect["centre_points"], f"centre points {result['centre_points']}")
    if "picture" in expect:
        check(result["picture"] == expect["picture"] and os.path.exists(os.path.join(folder, expect["picture"])),
              f"picture {result['picture']}")
    for name in expect.get("files", []):
        check(os.path.getsize(os.path.join(folder, name)) > 0, f"{name} not written")
    for panel, field, text in expect.get("texts", []):
        drawn = result["texts"][panel][field]
        check(text in (drawn if isinstance(drawn, str) else " ".join(drawn)), f"{panel} {field} lacks '{text}': {drawn}")
    if expect.get("plain_numbers"):
        offsets = {panel: t["offsets"] for panel, t in result["texts"].items() if t["offsets"]}
        check(not offsets, f"axes with an offset: {offsets}")
    for text in expect.get("title", []):
        check(text in " ".join(result["title"]), f"the title lacks '{text}': {result['title']}")
    if "colour_span" in expect:
        lo, hi = result["colour_limits"]
        check(hi - lo >= expect["colour_span"] - 1e-9, f"colour limits {lo} to {hi}")
    if "png" in expect:
        size, colourful = png_size_and_colour(os.path.join(folder, "ql.png"))
        check(list(size) == expect["png"]["size"], f"picture of {size}")
        check(colourful >= expect["png"]["coloured_map"], f"map area only {colourful:.3f} coloured")
    if "geojson" in expect:
        g = json.load(open(os.path.join(folder, "line.geojson")))
        feature = g["features"][0]
        coordinates = feature["geometry"]["coordinates"]
        check(g["type"] == "FeatureCollection" and feature["geometry"]["type"] == "LineString", "not a LineString")
        check(2 <= len(coordinates) <= expect["geojson"]["max_vertices"], f"{len(coordinates)} vertices")
        check(feature["properties"]["start"] == result["time_span"][0][:8], "the line's start is not the run's")
        with open(os.path.join(folder, "centre.txt")) as f:
            first = f.readline()
        check(abs(coordinates[0][0] - float(first[23:35])) < 1e-9 and abs(coordinates[0][1] - float(first[12:23])) < 1e-9,
              "the line does not start at the first centre point")
        check(feature["properties"]["centre_point_file"] == "centre.txt", "properties lack the files")
    return result


def compare_forms(binary, text):
    """The binary and text pictures of one survey show the same figures, up
    to the text records' last digits."""
    check(binary["points"] == text["points"], f"points {binary['points']} and {text['points']}")
    for key, tol in (("thr", 1e-6), ("lat", 1e-6), ("lon", 1e-6), ("h", 0.005)):
        check(all(abs(a - b) <= tol for a, b in zip(binary["bounds"][key], text["bounds"][key])), f"{key} bounds")
    a, b = binary["across_scan"], text["across_scan"]
    check(a["index"] == b["index"] and a["count"] == b["count"], "indices or counts differ")
    check(max(abs(x - y) for x, y in zip(a["median"], b["median"])) <= 0.005, "medians differ")
    check(abs(a["tilt_degrees"] - b["tilt_degrees"]) <= 0.01, "tilts differ")
    check(all(abs(x - y) <= 0.005 for x, y in zip(binary["colour_limits"], text["colour_limits"])), "colour limits")


def run(build, case, work):
    """The quick-look on every survey of the case, each ending and result
    checked; the two forms' figures compared."""
    expect = case.get("expect", {})
    results = {}
    for name, options in case["surveys"].items():
        done = run_quicklook(build, case, work, os.path.join(work, name))
        if check_ending(PROGRAM, done, expect, work) == 0 and "stdout" not in expect:
            results[name] = check_result(case, os.path.join(work, name), options)
    if "compare" in case:
        binary, text = case["compare"]
        compare_forms(results[binary], results[text])
