"""morva-campaign report opened in a real browser (headless Chromium): a
campaign of two flights whose second ran with a roll misalignment stated in
its run control; the page's text after layout must show both flights, the
overlap table with its verdict, the warning about the misalignments, and the
screenshot the pictures (many colours where the images lie)."""
import os
import subprocess
import tempfile

import numpy as np
import pytest

BIN = os.environ["MORVA_BUILD"]
SIM = os.path.join(BIN, "tools", "sim", "morva-sim")
CAMPAIGN = os.path.join(BIN, "tools", "campaign", "morva-campaign")
COMMON = ["--nmeas", "300", "--scan-rate", "40", "--duration", "5", "--speed", "50", "--geoid", "off"]


def chromium(*args):
    with tempfile.TemporaryDirectory() as profile:
        return subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                               "--disable-component-update", "--disable-sync", "--no-first-run",
                               f"--user-data-dir={profile}", "--window-size=1400,1400", *args],
                              capture_output=True, text=True, timeout=120)


def test_the_report_shows_flights_overlaps_warnings_and_pictures(tmp_path):
    campaign = str(tmp_path / "campaign")
    subprocess.run([SIM] + COMMON + ["--heading", "90", os.path.join(campaign, "day1", "east")], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run([SIM] + COMMON + ["--heading", "270", "--lat", "52.0010", "--lon", "5.0036", "--misalign", "0,0.05,0",
                                     os.path.join(campaign, "day1", "west")], check=True, stdout=subprocess.DEVNULL)
    subprocess.run([CAMPAIGN, "run", campaign, "--jobs", "2"], check=True, stdout=subprocess.DEVNULL)
    done = subprocess.run([CAMPAIGN, "report", campaign, "--resolution", "4"], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    page = os.path.join(campaign, "campaign-report.html")
    assert done.stdout.strip() == page
    dom = chromium("--dump-dom", "file://" + page).stdout
    for text in ("day1/east", "day1/west", "Strip overlaps", "RMSDz", "pass",
                 "different misalignments (day1/east: 0, 0, 0, day1/west: 0, 0.05, 0)"):
        assert text in dom, text
    assert dom.count("<img") == 3      # the overlap picture and two quick-looks
    shot = str(tmp_path / "shot.png")
    chromium(f"--screenshot={shot}", "file://" + page)
    import matplotlib.image
    pixels = (matplotlib.image.imread(shot)[:, :, :3] * 255).astype(np.uint8)
    assert pixels.shape[:2] == (1400, 1400)
    # The tables in the upper part, the overlap picture below: a picture
    # holds hundreds of distinct colours, a page of text a handful.
    lower = pixels[500:].reshape(-1, 3)
    assert len(np.unique(lower, axis=0)) > 200
