#!/usr/bin/python3
"""The report a client signs, opened as the client would: a simulated
calibration campaign (one flight named with markup and quotes), processed,
calibrated with morva-boresight, processed again with the calibrated run
controls, its accuracy measured at check points; the page then read from
headless Chromium's DOM, shot as a screen, and printed to PDF and turned
into PNG pages (pdftoppm). Skipped, saying so, without Chromium."""
import glob
import html
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from html.parser import HTMLParser

import campaign_testlib as lib

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
HOSTILE = "3-<script>x='\"&<img src=x onerror=\"document.title='PWNED'\">"
PROJECT = 'Polder <b>"Noord"</b> & sons'
DATE = "2024-05-17"

t = lib.Tools()
if CHROMIUM is None or shutil.which("pdftoppm") is None:
    print("SKIP: the report's browser test needs chromium and pdftoppm (tools/install-deps --tests)")
    sys.exit(0)
BUILD_TOOLS = os.path.dirname(os.path.dirname(os.path.realpath(t.campaign)))
BORESIGHT = os.path.join(BUILD_TOOLS, "boresight", "morva-boresight")
REAL_ACCURACY = os.path.join(BUILD_TOOLS, "accuracy", "morva-accuracy")

# Until morva-accuracy is built, a stand-in writes its JSON as the programs
# agree on it: every measured check point 2 cm high, one outside the data,
# no vegetated point measured, and an RMSEz "pass" without a value (which
# the page must not show as a pass).
STAND_IN = r'''#!/usr/bin/python3
import json, sys
args = sys.argv[1:]
out = args[args.index("--json") + 1]
rest = [a for i, a in enumerate(args) if a.startswith("--") is False and args[i - 1] not in ("--json", "--limits")]
rows = [l.strip().split(",") for l in open(rest[0]) if l.strip() and not l.startswith("#")][1:]
points = [{"id": r[0], "easting": float(r[1]), "northing": float(r[2]), "height": float(r[3]),
           "land_cover": "open", "lidar_height": float(r[3]) + 0.02, "dz": 0.02, "status": "measured"} for r in rows]
points[-1].update(lidar_height=None, dz=None, status="outside")
n = len(points) - 1
json.dump({"program": "morva-accuracy", "version": "0.0-stand-in", "checkpoints_file": rest[0], "inputs": rest[1:],
  "crs": {"horizontal": {"name": "WGS 84 / UTM zone 31N", "epsg": 32631},
          "vertical": {"name": "height above geoid grid geoid.txt", "epsg": None}},
  "limits": {"name": "QL2", "rmse": 0.10, "nva": 0.196, "vva": 0.294, "density": 2.0}, "max_edge": 5.0,
  "checkpoints": points, "not_measured": {"outside": 1, "far": 0},
  "open": {"count": n, "mean": 0.02, "std": 0.0, "rmse": 0.02, "nva": 0.0392},
  "vegetated": {"count": 0, "mean": None, "std": None, "rmse": None, "vva": None},
  "verdicts": [{"figure": "RMSEz", "value": None, "limit": 0.10, "verdict": "pass", "reason": ""},
               {"figure": "NVA", "value": 0.0392, "limit": 0.196, "verdict": "pass", "reason": ""},
               {"figure": "VVA", "value": None, "limit": 0.294, "verdict": "not tested",
                "reason": "no vegetated check points measured"}],
  "density": {"cell_size": 1.0, "required": 2.0, "cells": 5000, "mean": 0.47, "share_meeting": 0.01,
              "required_share": 0.9, "verdict": "fail", "reason": ""}}, open(out, "w"))
'''


class Text(HTMLParser):
    """The page's text by table row (cells joined by " | ")."""
    def __init__(self):
        super().__init__()
        self.rows, self.cells, self.cell = [], [], None
        self.verdicts = []      # (row's cells, class of the verdict cell)

    def handle_starttag(self, tag, attrs):
        if tag in ("td", "th"):
            self.cell, self.css = "", dict(attrs).get("class") or ""
        if tag == "tr":
            self.cells, self.classes = [], []

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None:
            self.cells.append(self.cell.strip())
            self.classes.append(self.css)
            self.cell = None
        if tag == "tr":
            self.rows.append(" | ".join(self.cells))
            self.verdicts.append((list(self.cells), list(self.classes)))

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def chromium(*args):
    with tempfile.TemporaryDirectory() as profile:
        return subprocess.run([CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                               f"--user-data-dir={profile}", *args], capture_output=True, text=True, timeout=120)


def row(text, start):
    """The first table row starting with the given cell."""
    return next((r for r in text.rows if r.startswith(start + " | ")), "")


work = tempfile.mkdtemp(prefix="morva-campaign-report-")
try:
    top = os.path.join(work, "campaign")
    t.simulate(os.path.join(work, "sim"), "--calibration-campaign", "--surface", "roofs", "--range-noise", "0.02",
               "--misalign-truth", "0.1,-0.15,0.18", "--duration", "4", "--checkpoints", "8")
    os.makedirs(top)
    for name in ("1-along", "2-back", "3-parallel", "4-cross"):
        shutil.move(os.path.join(work, "sim", name), os.path.join(top, DATE, HOSTILE if name == "3-parallel" else name))
    shutil.copy(os.path.join(top, DATE, "1-along", "checkpoints.csv"), os.path.join(top, "checks.csv"))
    with open(os.path.join(top, "campaign.toml"), "w") as f:
        f.write(f'project = {json.dumps(PROJECT)}\nclient = "Waterschap <i>"\ncheckpoints = "checks.csv"\n'
                'limits = "QL2"\n')
    env = dict(os.environ)
    if not os.access(REAL_ACCURACY, os.X_OK):
        stand_in = os.path.join(work, "bin", "morva-accuracy")
        os.makedirs(os.path.dirname(stand_in))
        with open(stand_in, "w") as f:
            f.write(STAND_IN)
        os.chmod(stand_in, 0o755)
        env["PATH"] = os.path.dirname(stand_in) + os.pathsep + env["PATH"]
        print("note: morva-accuracy is not built; a stand-in writes its JSON")

    first = t.run("run", top, env=env)
    t.check(first.returncode == 0 and "done     accuracy" in first.stdout,
            f"run processes the flights, then measures the accuracy:\n{first.stdout}{first.stderr}")
    before = t.run("report", top, "--resolution", "5", env=env)
    t.check(before.returncode == 0, f"report before the calibration: {before.stderr}")

    flights = sorted(glob.glob(os.path.join(glob.escape(top), DATE, "*", "run.in")))
    cal = subprocess.run([BORESIGHT, "--write-run-controls", "--json", "boresight.json",
                          *[os.path.relpath(f, top) for f in flights]], cwd=top, capture_output=True, text=True)
    t.check(cal.returncode == 0, f"morva-boresight calibrates the four flights: {cal.stderr}")
    with open(os.path.join(top, "campaign.toml"), "a") as f:
        f.write('run_control = "run.boresight.in"\n')
    status = t.run("status", top, env=env)
    t.check(status.returncode == 1 and status.stdout.count(" stale ") == 4,
            f"status: the flights are stale after the calibration:\n{status.stdout}")
    second = t.run("run", top, env=env)
    # guards: the accuracy of the uncalibrated points stayed "done" after the flights were processed again.
    t.check(second.returncode == 0 and second.stdout.count("done     ") == 5,
            f"the flights run again with the calibrated run controls, and the accuracy is measured again:\n{second.stdout}")
    status = t.run("status", top, env=env)
    t.check(status.returncode == 0 and "accuracy at the check points (checks.csv): done" in status.stdout,
            f"status: the accuracy is done:\n{status.stdout}")
    page_run = t.run("report", top, "--resolution", "5", env=env)
    page_file = os.path.join(top, "campaign-report.html")
    with open(page_file) as f:
        page = f.read()
    t.check(page_run.returncode == 0 and "http://" not in page.replace("http://www.w3.org/2000/svg", "") and
            "https://" not in page, "the page is written and self-contained (pictures inline)")
    # guards: a flight or project name went into the page as markup.
    t.check(HOSTILE not in page and PROJECT not in page and html.escape(HOSTILE) in page and
            html.escape(PROJECT) in page, "every name from a folder or campaign.toml is escaped")

    # guards: the report or the status CSV written over the check points, the calibration or the accuracy figures.
    for command, name, what in (("report", "checks.csv", "the campaign's check points"),
                                ("report", "boresight.json", "the campaign's calibration report"),
                                ("report", "accuracy.json", "the campaign's accuracy figures"),
                                ("status", "accuracy.done.json", "the campaign's accuracy figures")):
        path = os.path.join(top, name)
        before_digest = lib.digest(path)
        refused = t.run(command, top, "--output" if command == "report" else "--csv", path, env=env)
        t.check(refused.returncode == 1 and refused.stderr.count("\n") == 1 and
                f"is the same file as {what}" in refused.stderr and lib.digest(path) == before_digest,
                f"{command} refuses to write over {name}: {refused.stderr}")

    dom = chromium("--dump-dom", "file://" + page_file)
    text = Text()
    text.feed(dom.stdout)
    title = html.unescape(re.search(r"<title>(.*?)</title>", dom.stdout).group(1))
    t.check(dom.returncode == 0 and "<script" not in dom.stdout and title == f"Survey report {PROJECT}",
            f"Chromium runs nothing from a name: title {title!r}")
    t.check(row(text, "Project") == f"Project | {PROJECT}" and row(text, "Client") == "Client | Waterschap <i>",
            "project and client from campaign.toml")
    t.check(row(text, "Flight dates") == f"Flight dates | {DATE}" and
            re.search(r"\| 10:30:00\.\d to 10:30:0\d\.\d \|", row(text, f"{DATE}/1-along")) is not None,
            f"flight date and scan times: {row(text, f'{DATE}/1-along')}")
    t.check(row(text, "Horizontal coordinate system") == "Horizontal coordinate system | WGS 84 / UTM zone 31N (EPSG:32631)"
            and row(text, "Vertical coordinate system (heights)") ==
            "Vertical coordinate system (heights) | height above geoid grid geoid.txt (no EPSG code)",
            "the horizontal and vertical systems by name and EPSG code")
    t.check(re.search(r"^Software \| morva-campaign \S+; morva \d", row(text, "Software")) is not None,
            f"the software versions: {row(text, 'Software')}")
    with open(os.path.join(top, "boresight.json")) as f:
        boresight = json.load(f)
    for angle in ("dpitch", "droll", "dheading"):
        a = boresight["misalignment_degrees"][angle]
        t.check(row(text, angle) == f"{angle} | 0.000000 | {a['estimate']:.6f} | {a['sigma']:.6f} | ",
                f"the calibration's {angle} with its standard deviation: {row(text, angle)}")
    rms = boresight["rms_point_to_plane_m"]
    t.check(row(text, "RMS point-to-plane distance (m)") ==
            f"RMS point-to-plane distance (m) | {rms['before']:.4f} | {rms['after']:.4f}",
            "the tie patches' fit before and after the calibration")
    used = [r for r in text.rows if r.startswith(f"{DATE}/") and len(r.split(" | ")) == 6 and
            "| run.boresight.in | " in r]
    t.check(len(used) == 4 and all(r.endswith("| the calibration's") for r in used),
            f"each flight's run control and angles as used, the calibration's: {used}")
    pair = row(text, f"{DATE}/1-along & {DATE}/2-back").split(" | ")
    t.check(len(pair) == 5 and float(pair[1].split()[0]) > 5 * float(pair[3].split()[0]),
            f"the strip differences before the calibration, several times those after: {pair}")

    with open(os.path.join(top, "accuracy.json")) as f:
        accuracy = json.load(f)
    for v in accuracy["verdicts"]:
        shown = row(text, v["figure"]).split(" | ")
        honest = v["verdict"] if v["value"] is not None and v["limit"] is not None else "not tested"
        # guards: a verdict "pass" without a value shown as a pass.
        t.check(len(shown) == 4 and shown[3].startswith(honest) and
                (v["value"] is None or shown[1] == f"{v['value']:.4f}"),
                f"accuracy {v['figure']}: {shown} (JSON: {v['verdict']}, {v['value']})")
        summary = row(text, f"Absolute accuracy: {v['figure']}").split(" | ")
        t.check(len(summary) == 3 and summary[2].startswith(honest) and
                summary[1].startswith("-" if v["value"] is None else f"{v['value']:.4f} m"),
                f"the verdicts at the top: {summary}")
    density = accuracy["density"]
    shown = next((r for r in text.rows if r.startswith(f"{density['cell_size']:.2f} | ")), "")
    t.check(f"| {density['mean']:.2f} | {density['required']:.2f} |" in shown and shown.endswith(density["verdict"]),
            f"the density and its verdict: {shown}")
    # No "pass" where the figure was not there to judge.
    for cells, classes in text.verdicts:
        for c, css in zip(cells, classes):
            if c.startswith("pass"):
                t.check(c == "pass" and "pass" in css and not any(x == "-" for x in cells[:-1][2:]),
                        f"a pass only beside its figures: {cells}")
    overlap_pairs = [cells for cells, _ in text.verdicts if len(cells) == 13 and cells[3].isdigit()]
    largest = max(float(c[7]) for c in overlap_pairs)
    summary = row(text, "Strip overlaps (flight lines against each other)")
    t.check(len(overlap_pairs) == 6 and all(c[-1] == "pass" for c in overlap_pairs) and
            summary.endswith(f"| largest RMSDz {largest:.4f} m (0.080 m) | pass"),
            f"at 5 m cells every strip overlap is tested: {summary} {overlap_pairs}")
    # At 1 m cells (a point a cell or fewer) most pairs have no smooth cell.
    fine = os.path.join(work, "fine.html")
    t.run("report", top, "--resolution", "1", "--output", fine, env=env)
    fine_text = Text()
    fine_text.feed(chromium("--dump-dom", "file://" + fine).stdout)
    fine_pairs = [cells for cells, _ in fine_text.verdicts if len(cells) == 13 and cells[3].isdigit()]
    untested = [c for c in fine_pairs if c[3] == "0"]
    summary = row(fine_text, "Strip overlaps (flight lines against each other)")
    t.check(untested and all(re.match(r"not tested \(0 smooth cells at cells of 1 m", c[-1]) for c in untested) and
            summary.startswith("Strip overlaps (flight lines against each other) | - | not tested ("),
            f"at 1 m cells a pair without smooth cells is not tested, and so is the whole: {summary} {untested}")
    t.check(any("Strip overlaps" in r for r in text.rows) and "Not done" in dom.stdout, "the verdicts and the list of what was not done")

    shot = os.path.join(work, "shot.png")
    chromium("--window-size=1200,1800", f"--screenshot={shot}", "file://" + page_file)
    from PIL import Image
    with Image.open(shot) as im:
        size, colours = im.size, im.convert("RGB").getcolors(1 << 20)
    pass_green = sum(n for n, c in colours if c == (0xd8, 0xf0, 0xd8))
    t.check(size == (1200, 1800) and len(colours) > 200 and pass_green > 500,
            f"screenshot: {size}, {len(colours)} colours, {pass_green} pixels of a pass")

    pdf = os.path.join(work, "report.pdf")
    chromium("--no-pdf-header-footer", f"--print-to-pdf={pdf}", "file://" + page_file)
    subprocess.run(["pdftoppm", "-r", "40", "-png", pdf, os.path.join(work, "page")], check=True)
    pages = sorted(glob.glob(os.path.join(work, "page*.png")))
    sizes = set()
    for p in pages:
        with Image.open(p) as im:
            sizes.add(im.size)
    # A4 at 40 dots per inch: 331 x 468.
    t.check(2 <= len(pages) <= 12 and sizes == {(331, 468)}, f"printed: {len(pages)} A4 pages {sizes}")
    printed = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, text=True).stdout
    t.check(f"{boresight['misalignment_degrees']['droll']['sigma']:.6f}" in printed and "Verdicts" in printed and
            "WGS 84 / UTM zone 31N (EPSG:32631)" in printed, "the printed pages hold the calibration and the systems")
finally:
    shutil.rmtree(work, ignore_errors=True)
t.finish()
