#!/usr/bin/python3
"""A campaign of five simulated flights and a broken one, run on the local
cores: what runs, what is skipped, what reruns after a change, and that every
output equals a direct morva run."""
import csv
import json
import os
import re
import shutil
import subprocess
import tempfile
import time

import campaign_testlib as lib



def las_points(path):
    """The point count of a LAS 1.4 header (64-bit, at byte 247)."""
    with open(path, "rb") as f:
        header = f.read(255)
    return int.from_bytes(header[247:255], "little") if header[:4] == b"LASF" else None


t = lib.Tools()
top = tempfile.mkdtemp(prefix="morva-campaign-")
try:
    lib.make_campaign(t, top)
    good = [n for n in lib.FLIGHTS if n != "west/broken"]
    # Exports run after each successful flight, from the campaign's settings:
    # a simple command, the quick-look picture and the LAS file.
    with open(os.path.join(top, "campaign.toml"), "w") as f:
        f.write('exports = ["wc -l < centre.txt > centre.count",\n'
                f'           "{t.quicklook} --report morva.log --json quicklook.json {{run_control}} quicklook.png",\n'
                f'           "{t.las} {{geodesy}} {{run_control}} points.las"]\n')

    first = t.run("run", top, "--jobs", "3")
    t.check(first.returncode == 1, f"first run exits 1 with a failed flight (got {first.returncode}: {first.stderr})")
    done_lines = sorted(ln.split()[1] for ln in first.stdout.splitlines() if ln.startswith("done "))
    t.check(done_lines == sorted(good), f"first run processes the five: {done_lines}")
    t.check("failed   west/broken: *** cannot open file: trajectory.txt" in first.stdout,
            "the broken flight fails with morva's own line:\n" + first.stdout)
    t.check("6 flights: 5 done, 1 failed, 0 to do; 0 skipped" in first.stdout, "summary line of the first run")
    for name in good:
        flight = os.path.join(top, name)
        diff = t.same_as_direct(flight)
        t.check(not diff, f"{name}: every output and the report equal a direct morva run {diff}")
        rec = lib.load_record(flight)
        t.check(rec["state"] == "done" and rec["exit_status"] == 0 and
                [e["name"] for e in rec["inputs"]] == t.runinfo_of(flight)["inputs"] and
                all(e["sha256"] == lib.digest(os.path.join(flight, e["name"])) for e in rec["outputs"]),
                f"{name}: the record holds the inputs and the outputs' digests")
        with open(os.path.join(flight, "centre.txt")) as c, open(os.path.join(flight, "centre.count")) as n:
            t.check(int(n.read()) == len(c.readlines()), f"{name}: the export ran in the flight's folder")
        with open(os.path.join(flight, "quicklook.json")) as q:
            drawn = json.load(q)
        t.check(os.path.getsize(os.path.join(flight, "quicklook.png")) > 10000 and
                str(rec["summary"]["points"]) in json.dumps(drawn) and
                [e["exit_status"] for e in rec["exports"]] == [0, 0, 0], f"{name}: the quick-look was drawn")
        t.check(las_points(os.path.join(flight, "points.las")) == rec["summary"]["points"],
                f"{name}: the LAS file holds every point of the run")
    broken = lib.load_record(os.path.join(top, "west/broken"))
    t.check(broken["state"] == "failed" and broken["exit_status"] == 1 and
            broken["last_line"] == "*** cannot open file: trajectory.txt", "the broken flight's record: failed")

    status = t.run("status", top, "--csv", os.path.join(top, "status.csv"))
    t.check(status.returncode == 1, "status exits 1 while a flight failed")
    with open(os.path.join(top, "status.csv")) as f:
        rows = {r["flight"]: r for r in csv.DictReader(f)}
    t.check(list(rows) == sorted(lib.FLIGHTS, key=lambda n: n.split("/")), f"status lists the flights by path: {list(rows)}")
    f2 = rows["north/f2"]
    # guards: the CSV held two heights and two times in one column each.
    t.check(f2["state"] == "done" and f2["scans"] == "120" and f2["points"] == "30000" and
            f2["bias m"] == "0.50" and f2["roll deg"] != "" and
            (f2["ground height min m"], f2["ground height max m"]) == ("0.50", "0.50") and
            f2["start"].startswith("10:30:00") and f2["end"].startswith("10:30:0") and f2["end"] > f2["start"],
            f"status row of a flight with a regression: {f2}")
    t.check(rows["west/broken"]["state"] == "failed" and
            rows["west/broken"]["last line"] == "*** cannot open file: trajectory.txt", "status row of the failed flight")
    t.check(status.stdout.splitlines()[-1] == "6 flights: 5 done, 1 failed, 0 to do", "status summary line")

    logs = {n: os.stat(os.path.join(top, n, "morva.log")).st_mtime_ns for n in good}
    t0 = time.monotonic()
    second = t.run("run", top)
    elapsed = time.monotonic() - t0
    t.check(second.returncode == 1 and "5 skipped" in second.stdout and "done " not in second.stdout and
            "failed   west/broken" in second.stdout, "second run skips the five and retries the broken one:\n" + second.stdout)
    # The runner's own wall time, without the start of Python (a third of a
    # second by itself on a loaded machine).
    wall = float(re.search(r"wall time ([0-9.]+) s", second.stdout).group(1))
    t.check(wall < 0.5 and elapsed < 5, f"second run in well under a second ({wall:.2f} s, {elapsed:.2f} s with Python's start)")
    t.check(all(os.stat(os.path.join(top, n, "morva.log")).st_mtime_ns == logs[n] for n in good),
            "no skipped flight was touched")

    # One run.in changed, one input changed in place (same size): only those two run.
    rc = os.path.join(top, "north/f1/run.in")
    with open(rc) as f:
        text = f.read()
    with open(rc, "w") as f:
        f.write(text.replace("1 1 2 T F 0 T", "1 2 2 T F 0 T"))
    geoid = os.path.join(top, "south/deep/f5/geoid.txt")
    with open(geoid) as f:
        text = f.read()
    with open(geoid, "w") as f:
        f.write(text.replace("45.", "46.", 1))
    third = t.run("run", top, "--only", "[ns]*")
    ran = sorted(ln.split()[1] for ln in third.stdout.splitlines() if ln.startswith("done "))
    t.check(ran == ["north/f1", "south/deep/f5"], f"a changed run.in and a changed input rerun only their flights: {ran}")
    t.check(third.returncode == 0, "run of the selected flights exits 0 when they are all done")
    for name in ("north/f1", "south/deep/f5"):
        diff = t.same_as_direct(os.path.join(top, name))
        t.check(not diff, f"{name}: rerun outputs equal a direct run {diff}")

    # A file whose size and time stayed as they were, last changed well before
    # its digest was taken, is not read again unless --rehash asks for it.
    traj = os.path.join(top, "south/f4/trajectory.txt")
    hour_ago = time.time_ns() - 3600 * 10**9
    os.utime(traj, ns=(hour_ago, hour_ago))
    t.run("run", top, "--force", "--only", "south/f4")
    with open(traj, "r+") as f:
        text = f.read()
        f.seek(0)
        f.write(text.replace("10.", "11.", 1))
    os.utime(traj, ns=(hour_ago, hour_ago))
    quick, full = t.run("status", top, "--only", "south/f4"), t.run("status", top, "--only", "south/f4", "--rehash")
    t.check(quick.returncode == 0 and "input trajectory.txt changed" in full.stdout,
            "an unchanged size and time are trusted; --rehash reads the file:\n" + quick.stdout + full.stdout)
    t.run("run", top, "--only", "south/f4", "--rehash")

    # An output changed by hand makes its flight stale; a terminal sees progress.
    with open(os.path.join(top, "south/f3/centre.txt"), "a") as f:
        f.write("\n")
    stale = t.run("status", top).stdout
    t.check(re.search(r"^south/f3 +stale .*output centre.txt changed$", stale, re.M) is not None,
            "a changed output: stale, with the reason\n" + stale)
    shutil.move(os.path.join(top, "west/broken/trajectory.kept"), os.path.join(top, "west/broken/trajectory.txt"))
    tty = subprocess.run(["script", "-qec", f"{t.campaign} run {top} 2>&1", "/dev/null"], capture_output=True, text=True)
    t.check("2 of 2 flights finished (0 failed), 0 to do" in tty.stdout, "progress on a terminal:\n" + tty.stdout)
    t.check(t.run("status", top).returncode == 0, "status exits 0 when every flight is done")

    # The geodesy setting reaches morva as --geodesy, or is refused when this
    # morva does not take it.
    morva_help = subprocess.run([t.morva, "--help"], stdin=subprocess.DEVNULL, capture_output=True, text=True)
    geodesy = t.run("run", top, "--geodesy", "ellipsoid", "--only", "north/f1")
    if morva_help.returncode == 0 and "--geodesy" in morva_help.stdout:
        t.check(geodesy.returncode == 0 and "done     north/f1" in geodesy.stdout and
                lib.load_record(os.path.join(top, "north/f1"))["command"][1:3] == ["--geodesy", "ellipsoid"] and
                "--geodesy ellipsoid" in lib.load_record(os.path.join(top, "north/f1"))["exports"][2]["command"] and
                not t.same_as_direct(os.path.join(top, "north/f1"), ["--geodesy", "ellipsoid"]),
                "a new geodesy setting reruns the flight with --geodesy, as a direct run with it")
    else:
        t.check(geodesy.returncode == 2 and "does not take --geodesy" in geodesy.stderr,
                "a geodesy setting with a morva that does not take it is refused: " + geodesy.stderr)

    usage = t.run("run", top, "--jobs", "0")
    t.check(usage.returncode == 2 and usage.stderr.count("\n") == 1 and
            usage.stderr.startswith("morva-campaign: option --jobs: 0 is out of range (1 to 4096); usage: "),
            "a wrong option: one line, exit 2")
finally:
    shutil.rmtree(top, ignore_errors=True)
t.finish()
