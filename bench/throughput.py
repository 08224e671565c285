#!/usr/bin/env python3
"""End-to-end throughput of morva on a large simulated survey.

Writes a survey with morva-sim (20 million measurements by default: 1000 per
scan, 100 scans per second, 200 s, with pitch, roll and yaw motion, a lever
arm, calibration values in the header and a geoid grid), then processes it in
seven modes, each with full georeferencing on the flat earth unless named
otherwise, on each thread count asked for (--threads; by default 1, 2 and the
CPUs this process may run on):

  text        text scan-point records
  binary      18-byte binary records
  simplified  the simplified vertical computation, text records
  calibrated  through the scanner calibration, text records
  progress    binary, with the progress line drawn (--progress): its cost
  text-ell    text records, exact positions on the ellipsoid (--geodesy ellipsoid)
  binary-ell  binary records, exact positions on the ellipsoid

and, in the same repetition on the same files, measures the I/O floor: the
time to read the scanner file (dd to /dev/null) plus the time to write a file
of the same size as morva's scan-point file (dd from /dev/zero, 64 KiB blocks).
Every timed command starts with its output file absent, no dirty data in the
page cache (sync) and, after that, a pause (--settle) in which the memory the
removed file held is returned to the host; the scanner file is read once
beforehand, so every command finds it in the page cache. Repetitions are
interleaved (all modes, then again) and the median of each figure is printed.

    bench/throughput.py [--build build] [--work DIR] [--reps 3] [--settle 4] [--threads 1,2]

Wall time is taken around the command; user and system time and peak resident
memory are those /usr/bin/time reports for it (getrusage of the child). The
peak memory with the trajectory and geoid tables nearly full is measured at
every thread count and at 64 threads.
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SURVEY = [
    "--nmeas", "1000", "--scan-rate", "100", "--duration", "200",
    "--pitch", "1,2,11", "--roll", "0.5,3,7", "--yaw", "0,2,13",
    "--lever", "0.5,0.2,1", "--calibration", "on", "--surface", "waves",
    "--output", "text",
]

# name, scan-point file, line 10 of the run control:
# navg nthin iout_type attitude use_cal icalib full_georef
MODES = [
    ("text", "points.txt", "1 1 1 T F 0 T"),
    ("binary", "points.bin", "1 1 2 T F 0 T"),
    ("simplified", "points.txt", "1 1 1 T F 0 F"),
    ("calibrated", "points.txt", "1 1 1 T T 0 T"),
    ("progress", "points.bin", "1 1 2 T F 0 T"),
    ("text-ell", "points.txt", "1 1 1 T F 0 T"),
    ("binary-ell", "points.bin", "1 1 2 T F 0 T"),
]
# Options of a mode: "progress" is "binary" (the fastest, where the line's
# cost shows most) with the progress line drawn, to standard error.
# The exact geodesy, against "text" and "binary" for its cost.
OPTIONS = {"progress": ["--progress"], "text-ell": ["--geodesy", "ellipsoid"],
           "binary-ell": ["--geodesy", "ellipsoid"]}

OUTPUTS = ["points.txt", "points.bin", "centre.txt", "test.out", "test_pcorr.out", "floor.out"]

# A small survey whose trajectory (486382 records at 200 Hz) and geoid grid
# (495255 nodes) come close to the tables' capacities: the most memory a run
# can take, whatever the length of the recording.
CAPACITY = [
    "--traj-rate", "200", "--duration", "2430", "--nmeas", "10", "--scan-rate", "10",
    "--geoid-spacing", "0.0016", "--output", "binary",
]


def fresh(folder, settle, outputs=OUTPUTS):
    """Removes every output of a previous command, writes back dirty pages and
    waits until the memory so freed has settled."""
    for name in outputs:
        try:
            os.remove(os.path.join(folder, name))
        except FileNotFoundError:
            pass
    os.sync()
    time.sleep(settle)


def warm(folder, name="scan.bin"):
    """Reads the input file, so that the timed command finds it in memory."""
    subprocess.run(["cat", name], cwd=folder, check=True, stdout=subprocess.DEVNULL)


def timed(argv, cwd, stdin=None, stdout=subprocess.DEVNULL, stderr=None):
    """Runs one command under /usr/bin/time; returns wall, user and system
    seconds and the peak resident memory in KiB."""
    with tempfile.NamedTemporaryFile("r") as report:
        start = time.perf_counter()
        status = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report.name, *argv], cwd=cwd,
                                stdin=stdin, stdout=stdout, stderr=stderr).returncode
        wall = time.perf_counter() - start
        if status != 0:
            sys.exit(f"{' '.join(argv)} failed with status {status}")
        user, system, rss = report.read().split()[-3:]
    return {"wall": wall, "user": float(user), "sys": float(system), "rss": int(rss)}


def write_survey(sim, folder, options=SURVEY):
    """Writes the survey (morva-sim options), or keeps the one a previous run wrote with the same options."""
    stamp = os.path.join(folder, "bench.options")
    if os.path.exists(stamp):
        with open(stamp) as f:
            if f.read() == " ".join(options):
                print(f"survey: {folder} (kept from a previous run)")
                return
    if os.path.exists(folder):
        shutil.rmtree(folder)
    out = subprocess.run([sim, *options, folder], check=True, capture_output=True, text=True).stdout
    print("survey:", out.strip())
    with open(stamp, "w") as f:
        f.write(" ".join(options))


def run_controls(folder):
    with open(os.path.join(folder, "run.in")) as f:
        lines = f.read().split("\n")
    for name, output, switches in MODES:
        mode_lines = list(lines)
        mode_lines[3] = output
        mode_lines[9] = switches
        with open(os.path.join(folder, f"run.{name}.in"), "w") as f:
            f.write("\n".join(mode_lines))


def measurements(folder):
    """Measurements in the scanner file: header of 210 bytes, records of 12 + 10 nmeas."""
    nmeas = int(SURVEY[SURVEY.index("--nmeas") + 1])
    size = os.path.getsize(os.path.join(folder, "scan.bin"))
    return (size - 210) // (12 + 10 * nmeas) * nmeas


def cpu_name():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


def built_programs(build, paths):
    """The programs at these paths below the build folder; ends when one is missing."""
    programs = [os.path.join(os.path.abspath(build), p) for p in paths]
    for tool in programs:
        if not os.access(tool, os.X_OK):
            sys.exit(f"{tool} not found: build first (cmake --build {build})")
    return programs


def work_folder(work, prefix):
    """The folder to work in, and the temporary one to remove afterwards (or None)."""
    if work:
        work = os.path.abspath(work)
        os.makedirs(work, exist_ok=True)
        return work, None
    temporary = tempfile.mkdtemp(prefix=prefix)
    return temporary, temporary


def add_common_options(ap, reps=3, build=True):
    """The options every benchmark takes: the build (unless it names its own),
    the folder to work in, the repetitions and the pause before each command."""
    if build:
        top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
        ap.add_argument("--build", default=os.path.join(top, "build"), help="build folder [build]")
    ap.add_argument("--work", help="folder for the survey and outputs (kept) [a temporary folder]")
    ap.add_argument("--reps", type=int, default=reps, help=f"repetitions, at least 3 [{reps}]")
    ap.add_argument("--settle", type=float, default=4.0, help="seconds to wait before each timed command [4]")


def parse_options(ap):
    args = ap.parse_args()
    if args.reps < 3:
        sys.exit("--reps must be at least 3")
    return args


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    add_common_options(ap)
    ap.add_argument("--threads", help="thread counts, comma-separated [1,2,CPUs]")
    args = parse_options(ap)
    if args.threads:
        threads = sorted({int(t) for t in args.threads.split(",")})
    else:
        threads = sorted({1, 2, len(os.sched_getaffinity(0))})
    morva, sim = built_programs(args.build, ["src/morva", "tools/sim/morva-sim"])
    work, temporary = work_folder(args.work, "morva-throughput-")
    try:
        print(f"cpu: {cpu_name()}, {os.cpu_count()} cores")
        bench(morva, sim, os.path.join(work, "survey"), args.reps, args.settle, threads)
        capacity(morva, sim, os.path.join(work, "capacity"), sorted(set(threads) | {64}))
    finally:
        if temporary:
            shutil.rmtree(temporary)


def bench(morva, sim, folder, reps, settle, threads):
    write_survey(sim, folder)
    run_controls(folder)
    nmeas_total = measurements(folder)
    scan_bytes = os.path.getsize(os.path.join(folder, "scan.bin"))
    print(f"scanner file: {scan_bytes / 1e6:.1f} MB, {nmeas_total} measurements; {reps} repetitions, "
          f"{settle:g} s settling")

    runs = {(name, t): [] for name, _, _ in MODES for t in threads}
    for rep in range(reps):
        for name, output, _ in MODES:
            rs = []
            for t in threads:
                fresh(folder, settle)
                warm(folder)
                with open(os.path.join(folder, f"run.{name}.in")) as control, \
                        open(os.path.join(folder, f"console.{name}.txt"), "w") as console:
                    r = timed([morva, "--threads", str(t), *OPTIONS.get(name, [])], folder, stdin=control,
                              stdout=console, stderr=subprocess.DEVNULL if name in OPTIONS else None)
                r["bytes"] = os.path.getsize(os.path.join(folder, output))
                with open(os.path.join(folder, f"console.{name}.txt")) as f:
                    m = re.search(r"Total number of points output:\s+(\d+)", f.read())
                r["points"] = int(m.group(1)) if m else 0
                rs.append(r)
                runs[(name, t)].append(r)
            # The floor on the same files: read the scanner file, write as many bytes.
            fresh(folder, settle)
            warm(folder)
            read = timed(["dd", "if=scan.bin", "of=/dev/null", "bs=1M", "status=none"], folder)["wall"]
            fresh(folder, settle)
            write = timed(["dd", "if=/dev/zero", "of=floor.out", "bs=64K", f"count={rs[0]['bytes']}",
                           "iflag=count_bytes", "status=none"], folder)["wall"]
            for t, r in zip(threads, rs):
                r["read"], r["write"] = read, write
                print(f"  rep {rep + 1} {name:<10} {t:3d} threads  wall {r['wall']:6.3f} s  user {r['user']:6.3f} s  "
                      f"sys {r['sys']:6.3f} s  floor {read + write:6.3f} s", flush=True)
    fresh(folder, 0)

    print()
    print(f"medians of {reps} runs, {nmeas_total} measurements")
    print(f"{'mode':<11}{'threads':>8}{'Mmeas/s':>8}{'speedup':>8}{'MB/s out':>10}{'wall s':>8}{'user s':>8}"
          f"{'sys s':>7}{'RSS MiB':>9}{'out MB':>8}{'read s':>8}{'write s':>8}{'floor s':>8}{'ratio':>7}")
    for name, _, _ in MODES:
        single = None
        for t in threads:
            rs = runs[(name, t)]
            med = {k: statistics.median(r[k] for r in rs) for k in rs[0]}
            floor = statistics.median(r["read"] + r["write"] for r in rs)
            ratio = statistics.median(r["wall"] / (r["read"] + r["write"]) for r in rs)
            single = single or med["wall"]
            print(f"{name:<11}{t:8d}{nmeas_total / med['wall'] / 1e6:8.2f}{single / med['wall']:8.2f}"
                  f"{med['bytes'] / med['wall'] / 1e6:10.1f}"
                  f"{med['wall']:8.3f}{med['user']:8.3f}{med['sys']:7.3f}{med['rss'] / 1024:9.1f}"
                  f"{med['bytes'] / 1e6:8.1f}{med['read']:8.3f}{med['write']:8.3f}{floor:8.3f}{ratio:7.1f}")
            if any(r["points"] != nmeas_total for r in rs):
                print(f"  note: {name} at {t} threads output {rs[0]['points']} points")


def capacity(morva, sim, folder, threads):
    """Peak resident memory of a run whose tables are nearly full, at each thread count."""
    if os.path.exists(folder):
        shutil.rmtree(folder)
    subprocess.run([sim, *CAPACITY, folder], check=True, capture_output=True)
    for t in threads:
        with open(os.path.join(folder, "run.in")) as control:
            r = timed([morva, "--threads", str(t)], folder, stdin=control)
        print(f"peak RSS with the trajectory and geoid tables nearly full, {t} threads: {r['rss'] / 1024:.1f} MiB")
    shutil.rmtree(folder)


if __name__ == "__main__":
    main()
