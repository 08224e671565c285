#!/usr/bin/env python3
"""LAZ against LAS on the 20-million-point survey of bench/throughput.py:
morva-las's LAZ export against its LAS export, and morva-grid from the LAZ
against morva-grid from the LAS.

Writes (or keeps) the survey and its binary scan points (as
bench/grid_throughput.py does), then in every repetition, one after the
other: morva-las to points.las, morva-las to points.laz, morva-grid from
points.las, morva-grid from points.laz (1 m cells, the default bands). Every
timed command starts with its output absent, no dirty data in the page cache
and a pause (--settle); its input is read once beforehand. Medians are
printed with the ratios of the repetitions (goals: the LAZ export at most 2
times the LAS export, the grid from the LAZ at most 1.5 times the grid from
the LAS), the peak memory of each (/usr/bin/time) and the files' sizes.
The survey is kept in --work (build/bench-data by default) for the next run.
With --old BUILD, that build's morva-las and morva-grid take the same steps
in every repetition, after this build's (their outputs named old-...).

    bench/laz_speed.py [--build build] [--old BUILD] [--work build/bench-data] [--reps 3] [--settle 4]
"""

import argparse
import os
import statistics
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import las_throughput  # noqa: E402  (the scan-point forms and quiet runs)
import throughput  # noqa: E402  (the survey and the timing helpers)

# name, the file read (warmed first), the command's output, its arguments after the program
STEPS = [
    ("LAS export", "las", "points.bin", "points.las", ["run.las-binary.in", "points.las"]),
    ("LAZ export", "las", "points.bin", "points.laz", ["run.las-binary.in", "points.laz"]),
    ("grid from LAS", "grid", "points.las", "dem-las.tif", ["points.las", "dem-las.tif"]),
    ("grid from LAZ", "grid", "points.laz", "dem-laz.tif", ["points.laz", "dem-laz.tif"]),
]
GOALS = [("LAZ export", "LAS export", 2.0), ("grid from LAZ", "grid from LAS", 1.5)]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    throughput.add_common_options(ap, reps=3)
    ap.add_argument("--old", help="build folder of a reference morva-las and morva-grid, run in every repetition")
    args = throughput.parse_options(ap)
    morva, sim, las, grid = throughput.built_programs(
        args.build, ["src/morva", "tools/sim/morva-sim", "tools/las/morva-las", "tools/grid/morva-grid"])
    programs = {"las": las, "grid": grid}
    steps = list(STEPS)
    if args.old:
        old_las, old_grid = throughput.built_programs(args.old, ["tools/las/morva-las", "tools/grid/morva-grid"])
        programs.update({"old las": old_las, "old grid": old_grid})
        steps += [("old " + name, "old " + program, "old-" + source if program == "grid" else source, "old-" + output,
                   ["old-" + a if a.startswith("points.") or a.startswith("dem-") else a for a in argv])
                  for name, program, source, output, argv in STEPS]
    work = os.path.abspath(args.work or os.path.join(args.build, "bench-data"))
    folder = os.path.join(work, "survey")
    os.makedirs(work, exist_ok=True)
    print(f"cpu: {throughput.cpu_name()}, {os.cpu_count()} cores")
    throughput.write_survey(sim, folder)
    las_throughput.scan_points(morva, folder, las_throughput.FORMS[:1])  # binary records only
    points = os.path.getsize(os.path.join(folder, "points.bin")) // 18

    runs = {name: [] for name, *_ in steps}
    for rep in range(args.reps):
        for name, program, source, output, argv in steps:
            throughput.fresh(folder, args.settle, [output])
            throughput.warm(folder, source)
            r = las_throughput.quietly(lambda: throughput.timed([programs[program], *argv], folder))
            r["size"] = os.path.getsize(os.path.join(folder, output)) / 1e6
            r["load"] = os.getloadavg()[0]
            runs[name].append(r)
            print(f"  rep {rep + 1} {name:<14}wall {r['wall']:7.3f} s  user {r['user']:7.3f} s  sys {r['sys']:6.3f} s  "
                  f"RSS {r['rss'] / 1024:7.1f} MiB  {r['size']:8.1f} MB  load {r['load']:.2f}", flush=True)

    loads = [r["load"] for rs in runs.values() for r in rs]
    print(f"\nmedians of {args.reps} runs, {points} points; load average {min(loads):.1f} to {max(loads):.1f} "
          f"(at most 1 for figures of a quiet machine)")
    print(f"{'step':<15}{'Mpts/s':>8}{'wall s':>9}{'user s':>9}{'sys s':>8}{'RSS MiB':>9}{'file MB':>9}")
    for name, rs in runs.items():
        m = {k: statistics.median(r[k] for r in rs) for k in ("wall", "user", "sys", "rss", "size")}
        print(f"{name:<15}{points / m['wall'] / 1e6:8.2f}{m['wall']:9.3f}{m['user']:9.3f}{m['sys']:8.3f}"
              f"{m['rss'] / 1024:9.1f}{m['size']:9.1f}")
    for slow, fast, goal in GOALS + [("old " + s, "old " + f, g) for s, f, g in GOALS if args.old]:
        ratio = statistics.median(s["wall"] / f["wall"] for s, f in zip(runs[slow], runs[fast]))
        verdict = "met" if ratio <= goal else "NOT met"
        print(f"{slow} / {fast} (median of the repetitions' ratios): {ratio:.2f} (goal: at most {goal}: {verdict})")


if __name__ == "__main__":
    main()
