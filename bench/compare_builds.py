#!/usr/bin/env python3
"""Same-run speed comparison of two builds of morva.

On the survey of bench/throughput.py (20 million measurements), runs morva
with text and with binary scan-point records, on one thread and on all the
CPUs this process may use, once with each build per repetition. The two
builds alternate which goes first from one repetition to the next, so that
neither always finds the machine in the state the other left. Every command
starts with its outputs absent, no dirty data in the page cache and a pause
(--settle). Prints each run as it ends, with the load average, then the
medians of wall, user and system time, and the new build's user time
relative to the old one's (system time, mostly the kernel finding pages for
the output, swings with the host's memory on a virtual machine). For
morva-las the same comparison is bench/las_throughput.py --old.

    bench/compare_builds.py --old BUILD --new BUILD [--work DIR] [--reps 5] [--settle 4]
"""

import argparse
import os
import shutil
import statistics
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import throughput  # noqa: E402  (the survey and the timing helpers)

PROGRAMS = ["src/morva", "tools/sim/morva-sim"]


def cases(cpus):
    """name, argv after the program, run control on standard input."""
    return [(f"{form} {t}t", ["--threads", str(t)], f"run.{form}.in")
            for form in ("text", "binary") for t in sorted({1, cpus})]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--old", required=True, help="build folder of the reference")
    ap.add_argument("--new", required=True, help="build folder of the change")
    throughput.add_common_options(ap, reps=5, build=False)
    args = throughput.parse_options(ap)
    builds = {"old": throughput.built_programs(args.old, PROGRAMS), "new": throughput.built_programs(args.new, PROGRAMS)}
    work, temporary = throughput.work_folder(args.work, "morva-compare-")
    try:
        folder = os.path.join(work, "survey")
        print(f"cpu: {throughput.cpu_name()}, {os.cpu_count()} cores; old {args.old}, new {args.new}")
        throughput.write_survey(builds["old"][1], folder)
        throughput.run_controls(folder)
        compare({b: programs[0] for b, programs in builds.items()}, folder, args.reps, args.settle)
    finally:
        if temporary:
            shutil.rmtree(temporary)


def compare(morva, folder, reps, settle):
    table = cases(len(os.sched_getaffinity(0)))
    runs = {(name, b): [] for name, _, _ in table for b in morva}
    for rep in range(reps):
        order = ["old", "new"] if rep % 2 == 0 else ["new", "old"]
        for name, argv, control in table:
            for b in order:
                throughput.fresh(folder, settle)
                throughput.warm(folder)
                with open(os.path.join(folder, control)) as stdin:
                    r = throughput.timed([morva[b], *argv], folder, stdin=stdin)
                runs[(name, b)].append(r)
                print(f"  rep {rep + 1} {name:<10} {b}  wall {r['wall']:6.3f} s  user {r['user']:6.3f} s  "
                      f"sys {r['sys']:6.3f} s  load {os.getloadavg()[0]:.2f}", flush=True)
    throughput.fresh(folder, 0)
    print()
    print(f"medians of {reps} runs")
    print(f"{'case':<11}{'old wall':>9}{'new wall':>9}{'old user':>9}{'new user':>9}{'old sys':>8}{'new sys':>8}"
          f"{'new/old user':>13}")
    for name, _, _ in table:
        med = {b: {k: statistics.median(r[k] for r in runs[(name, b)]) for k in ("wall", "user", "sys")}
               for b in morva}
        old, new = med["old"], med["new"]
        print(f"{name:<11}{old['wall']:9.3f}{new['wall']:9.3f}{old['user']:9.3f}{new['user']:9.3f}{old['sys']:8.3f}"
              f"{new['sys']:8.3f}{new['user'] / old['user']:13.3f}")


if __name__ == "__main__":
    main()
