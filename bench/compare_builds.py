#!/usr/bin/env python3
"""Same-run speed comparison of two builds of morva and morva-las.

On the survey of bench/throughput.py (20 million measurements), runs morva
with text and with binary scan-point records (on one thread and on all the
CPUs this process may use), and morva-las on the binary and on the text
records, once with each build per repetition. The two builds alternate which
goes first from one repetition to the next, so that neither always finds the
machine in the state the other left. Every command starts with its output
absent, no dirty data in the page cache and a pause (--settle). Prints each
run as it ends, with the load average, then the medians of wall and CPU
user and system time, and the new build's user time relative to the old
one's (system time, mostly the kernel finding pages for the output, swings
with the host's memory on a virtual machine).

    bench/compare_builds.py --old BUILD --new BUILD [--work DIR] [--reps 5] [--settle 4]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import las_throughput  # noqa: E402  (the scan-point files morva-las reads)
import throughput  # noqa: E402  (the survey and the timing helpers)

PROGRAMS = ["src/morva", "tools/sim/morva-sim", "tools/las/morva-las"]
OUTPUTS = throughput.OUTPUTS + las_throughput.OUTPUTS


def cases(cpus):
    """name, program index (0 morva, 2 morva-las), argv after the program, run control on standard input."""
    threads = sorted({1, cpus})
    table = []
    for name in ("text", "binary"):
        for t in threads:
            table.append((f"morva {name} {t}t", 0, ["--threads", str(t)], f"run.{name}.in"))
    for name in ("binary", "text"):
        table.append((f"morva-las {name}", 2, [f"run.las-{name}.in", "points.las"], None))
    return table


def las_sources(morva, folder):
    """morva-las's inputs, under names of their own so that the morva runs leave them alone."""
    with open(os.path.join(folder, "run.in")) as f:
        lines = f.read().split("\n")
    for name, output, switches in las_throughput.FORMS:
        form_lines = list(lines)
        form_lines[3] = f"las-{output}"
        form_lines[9] = switches
        control = os.path.join(folder, f"run.las-{name}.in")
        with open(control, "w") as f:
            f.write("\n".join(form_lines))
        if not os.path.exists(os.path.join(folder, form_lines[3])):
            with open(control) as stdin:
                subprocess.run([morva], cwd=folder, stdin=stdin, stdout=subprocess.DEVNULL, check=True)


def run_case(program, argv, control, folder, settle):
    throughput.fresh(folder, settle, OUTPUTS)
    throughput.warm(folder, "scan.bin" if control else f"las-points.{'bin' if 'binary' in argv[0] else 'txt'}")
    stdin = open(os.path.join(folder, control)) if control else subprocess.DEVNULL
    try:
        return las_throughput.quietly(lambda: throughput.timed([program, *argv], folder, stdin=stdin))
    finally:
        if control:
            stdin.close()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--old", required=True, help="build folder of the reference")
    ap.add_argument("--new", required=True, help="build folder of the change")
    ap.add_argument("--work", help="folder for the survey and outputs (kept) [a temporary folder]")
    ap.add_argument("--reps", type=int, default=5, help="repetitions, at least 3 [5]")
    ap.add_argument("--settle", type=float, default=4.0, help="seconds to wait before each timed command [4]")
    args = ap.parse_args()
    if args.reps < 3:
        sys.exit("--reps must be at least 3")
    builds = {"old": throughput.built_programs(args.old, PROGRAMS), "new": throughput.built_programs(args.new, PROGRAMS)}
    work, temporary = throughput.work_folder(args.work, "morva-compare-")
    try:
        folder = os.path.join(work, "survey")
        print(f"cpu: {throughput.cpu_name()}, {os.cpu_count()} cores; old {args.old}, new {args.new}")
        throughput.write_survey(builds["old"][1], folder)
        throughput.run_controls(folder)
        las_sources(builds["old"][0], folder)
        compare(builds, folder, args.reps, args.settle)
    finally:
        if temporary:
            shutil.rmtree(temporary)


def compare(builds, folder, reps, settle):
    table = cases(len(os.sched_getaffinity(0)))
    runs = {(name, b): [] for name, _, _, _ in table for b in builds}
    for rep in range(reps):
        order = ["old", "new"] if rep % 2 == 0 else ["new", "old"]
        for name, index, argv, control in table:
            for b in order:
                r = run_case(builds[b][index], argv, control, folder, settle)
                runs[(name, b)].append(r)
                print(f"  rep {rep + 1} {name:<18} {b}  wall {r['wall']:6.3f} s  cpu {r['user'] + r['sys']:6.3f} s  "
                      f"load {os.getloadavg()[0]:.2f}", flush=True)
    throughput.fresh(folder, 0, OUTPUTS)
    print()
    print(f"medians of {reps} runs")
    print(f"{'case':<19}{'old wall':>9}{'new wall':>9}{'old user':>9}{'new user':>9}{'old sys':>8}{'new sys':>8}"
          f"{'new/old user':>13}")
    for name, _, _, _ in table:
        med = {b: {k: statistics.median(r[k] for r in runs[(name, b)]) for k in ("wall", "user", "sys")}
               for b in builds}
        old, new = med["old"], med["new"]
        print(f"{name:<19}{old['wall']:9.3f}{new['wall']:9.3f}{old['user']:9.3f}{new['user']:9.3f}{old['sys']:8.3f}"
              f"{new['sys']:8.3f}{new['user'] / old['user']:13.3f}")


if __name__ == "__main__":
    main()
