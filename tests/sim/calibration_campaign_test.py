#!/usr/bin/python3
"""The calibration campaign in one command: four flights laid out as the
pattern says (worked out here from the trajectories written, not from the
simulator's code), one surface under all of them, and a campaign that
morva-campaign runs as it stands, every flight then passing --verify.

Usage: calibration_campaign_test.py MORVA_SIM MORVA MORVA_CAMPAIGN"""
import math
import os
import shutil
import subprocess
import sys
import tempfile

sim, morva, campaign = sys.argv[1:4]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def run(*args, cwd=None):
    return subprocess.run(args, cwd=cwd, capture_output=True, text=True)


# Centre, heading of the first line, line length (60 m/s for 3 s) and half a
# swath (250 m up, 60 degrees across).
LAT, LON, HEADING, HALF_LINE = 52.1, 5.2, 30.0, 90.0
HALF_SWATH = 250.0 * math.tan(math.radians(30.0))
# Each flight: its heading, and its line's middle in metres ahead and to the
# right of the centre along the first line.
PATTERN = {
    "1-along": (HEADING, 0.0, 0.0),
    "2-back": (HEADING + 180.0, 0.0, 0.0),
    "3-parallel": (HEADING, 0.0, HALF_SWATH),
    "4-cross": (HEADING + 90.0, 0.0, 0.0),
}

top = tempfile.mkdtemp(prefix="morva-sim-campaign-")
try:
    made = run(sim, "--calibration-campaign", "--lat", str(LAT), "--lon", str(LON), "--heading", str(HEADING),
               "--duration", "3", "--height", "250", "--nmeas", "120", "--scan-rate", "30", "--surface", "roofs",
               "--range-noise", "0.02", "--misalign-truth", "0.05,-0.03,0.1", "--geodesy", "ellipsoid", top)
    check(made.returncode == 0, f"the campaign is written: {made.stderr}")
    check(sorted(os.listdir(top)) == ["1-along", "2-back", "3-parallel", "4-cross", "campaign.toml"],
          f"four flight folders and campaign.toml: {sorted(os.listdir(top))}")
    with open(os.path.join(top, "campaign.toml")) as f:
        check('geodesy = "ellipsoid"' in f.read(), "campaign.toml runs the flights in the truth's geodesy")

    rad = math.radians
    m_per_deg = 111120.0  # the simulator's flat earth
    descriptions = set()
    for name, (heading, ahead, right) in PATTERN.items():
        folder = os.path.join(top, name)
        with open(os.path.join(folder, "survey.sim")) as f:
            text = f.read()
        descriptions.add("".join(ln for ln in text.splitlines(True)
                                 if ln.split()[0] in ("--surface-origin", "--seed", "--surface", "--roofs")))
        check(f"--surface-origin {LAT},{LON}\n" in text, f"{name}: the surface is laid out from the centre")
        # The middle of the line and its heading, from the trajectory.
        with open(os.path.join(folder, "trajectory.txt")) as f:
            track = [list(map(float, ln.split()[:3])) for ln in f]
        mid_lat = (track[0][1] + track[-1][1]) / 2
        mid_lon = (track[0][2] + track[-1][2]) / 2
        north = (mid_lat - LAT) * m_per_deg
        east = (mid_lon - LON) * m_per_deg * math.cos(rad(LAT))
        got_ahead = north * math.cos(rad(HEADING)) + east * math.sin(rad(HEADING))
        got_right = -north * math.sin(rad(HEADING)) + east * math.cos(rad(HEADING))
        check(abs(got_ahead - ahead) < 3 and abs(got_right - right) < 3,
              f"{name}: the line's middle {got_ahead:.1f} m ahead, {got_right:.1f} m right; expected {ahead}, {right:.1f}")
        dn = (track[-1][1] - track[0][1]) * m_per_deg
        de = (track[-1][2] - track[0][2]) * m_per_deg * math.cos(rad(LAT))
        got_heading = math.degrees(math.atan2(de, dn)) % 360
        check(abs((got_heading - heading % 360 + 180) % 360 - 180) < 0.05,
              f"{name}: flies {got_heading:.3f} degrees, expected {heading % 360}")
    check(len(descriptions) == 1, "every flight has the same surface options and seed")
    # guards: each flight of a campaign had a geoid grid of its own extent, so
    # the flights' heights stood above grids that differ though named alike.
    grids = set()
    for name in ["1-along", "2-back", "3-parallel", "4-cross"]:
        with open(os.path.join(top, name, "geoid.txt"), "rb") as f:
            grids.add(f.read())
    check(len(grids) == 1, "every flight's geoid grid is the same grid")

    ran = run(campaign, "run", top, "--morva", morva)
    check(ran.returncode == 0 and ran.stdout.count("done ") == 4, f"morva-campaign runs the four: {ran.stdout}{ran.stderr}")
    for name in PATTERN:
        verified = run(sim, "--verify", os.path.join(top, name))
        check(verified.returncode == 0 and "misalignment 0,0,0 against the truth's 0.05,-0.03,0.1" in verified.stdout,
              f"{name}: --verify passes and reports the misalignment left uncorrected: {verified.stdout}")
finally:
    shutil.rmtree(top, ignore_errors=True)

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
