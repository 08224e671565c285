#!/usr/bin/python3
"""morva-overlap against morva-grid on the same campaign: four flights of 5
million points each (1000 measurements a scan, 100 scans a second, 50 s),
two flying east and two west, 250 m apart, over one wave surface fixed on the
ground. Both programs read the four run controls and grid them at 2 m; runs
alternate (grid, overlap, grid, ...), each started after `sync` and a pause,
and the medians of wall and processor time are printed with the ratio.

    bench/overlap_speed.py --build build [--work DIR] [--reps N] [--settle S]
"""
import argparse
import os
import resource
import shutil
import statistics
import subprocess
import tempfile
import time

FLIGHTS = [("e1", 90, 52.0, 5.0), ("w1", 270, 52.00225, 5.0437), ("e2", 90, 52.0045, 5.0), ("w2", 270, 52.00675, 5.0437)]


def simulate(build, work):
    sim, morva = os.path.join(build, "tools/sim/morva-sim"), os.path.join(build, "src/morva")
    for name, heading, lat, lon in FLIGHTS:
        folder = os.path.join(work, name)
        if os.path.exists(os.path.join(folder, "points.bin")):
            continue
        subprocess.run([sim, "--nmeas", "1000", "--scan-rate", "100", "--duration", "50", "--speed", "60",
                        "--heading", str(heading), "--lat", str(lat), "--lon", str(lon), "--geoid", "off",
                        "--surface", "waves", "--waves", "0.3,200", "--surface-origin", "52,5", "--range-noise", "0.01",
                        folder], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(folder, "run.in"), "rb") as stdin:
            subprocess.run([morva], cwd=folder, stdin=stdin, stdout=subprocess.DEVNULL, check=True)
    return [os.path.join(work, name, "run.in") for name, *_ in FLIGHTS]


def timed(command, settle):
    subprocess.run(["sync"])
    time.sleep(settle)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    t0 = time.monotonic()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    wall = time.monotonic() - t0
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--build", default="build")
    p.add_argument("--work")
    p.add_argument("--reps", type=int, default=3)
    p.add_argument("--settle", type=float, default=2.0)
    a = p.parse_args()
    a.build = os.path.abspath(a.build)
    work = a.work or tempfile.mkdtemp(prefix="overlap-bench-")
    runs = simulate(a.build, work)
    grid = [os.path.join(a.build, "tools/grid/morva-grid"), "--resolution", "2"] + runs + [os.path.join(work, "grid.tif")]
    overlap = [os.path.join(a.build, "tools/overlap/morva-overlap"), "--resolution", "2"] + runs
    times = {"morva-grid": [], "morva-overlap": []}
    for _ in range(a.reps):
        times["morva-grid"].append(timed(grid, a.settle))
        times["morva-overlap"].append(timed(overlap, a.settle))
    print(f"load average before: {os.getloadavg()}")
    print("| program | wall s (median) | processor s (median) | wall runs |")
    print("|---|---|---|---|")
    for name, t in times.items():
        print(f"| {name} | {statistics.median(w for w, _ in t):.2f} | {statistics.median(c for _, c in t):.2f} | "
              f"{', '.join(f'{w:.2f}' for w, _ in t)} |")
    ratio = statistics.median(w for w, _ in times["morva-overlap"]) / statistics.median(w for w, _ in times["morva-grid"])
    print(f"overlap / grid wall time: {ratio:.2f}")
    if not a.work:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
