#!/usr/bin/env python3
"""What the terrain model (morva-grid --output-type ...,dtm) adds to
morva-grid's time on a survey of 20 million points over a scene with
objects: the dense survey of bench/throughput.py with trees, buildings, a
bridge, low vegetation and low outliers on its waves, 2 cm range noise.

Writes (or keeps) the survey, has morva write its scan points as binary
records, then, in every repetition, grids them with morva-grid (1 m cells,
the default bands) and again with dtm among them (the points classified on
the fly, the ground triangulated and sampled), one after the other. Every
timed command starts with its output absent, no dirty data in the page cache
and a pause (--settle). Medians are printed, with the time the dtm adds
over the grid's own (the goal: at most 1.5), in wall time and in processor
time, and both peaks of memory.

    bench/dtm_throughput.py [--build build] [--work DIR] [--reps 3] [--settle 4]
"""

import argparse
import os
import shutil
import statistics
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import las_throughput  # noqa: E402  (the scan-point files of a survey)
import throughput  # noqa: E402  (the dense survey and the timing helpers)

SCENE = throughput.SURVEY + ["--objects", "trees,buildings,bridge,lowveg,outliers", "--range-noise", "0.02", "--truth-grid", "0"]
OUTPUTS = ["dem.tif", "dtm.tif"]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    throughput.add_common_options(ap, reps=3)
    args = throughput.parse_options(ap)
    morva, sim, grid = throughput.built_programs(args.build, ["src/morva", "tools/sim/morva-sim", "tools/grid/morva-grid"])
    work, temporary = throughput.work_folder(args.work, "morva-dtm-throughput-")
    try:
        print(f"cpu: {throughput.cpu_name()}, {os.cpu_count()} cores")
        folder = os.path.join(work, "scene")
        throughput.write_survey(sim, folder, SCENE)
        las_throughput.scan_points(morva, folder)
        commands = {
            "grid": [grid, "run.las-binary.in", "dem.tif"],
            "grid + dtm": [grid, "--output-type", "min,max,mean,count,stdev,dtm", "run.las-binary.in", "dtm.tif"],
        }
        runs = {name: [] for name in commands}
        for rep in range(args.reps):
            for name, argv in commands.items():
                throughput.fresh(folder, args.settle, OUTPUTS)
                throughput.warm(folder, "points.bin")
                r = las_throughput.quietly(lambda: throughput.timed(argv, folder))
                r["load"] = os.getloadavg()[0]
                runs[name].append(r)
                print(f"  rep {rep + 1} {name:<11}wall {r['wall']:7.3f} s  user {r['user']:7.3f} s  "
                      f"sys {r['sys']:6.3f} s  RSS {r['rss'] / 1024:7.1f} MiB  load {r['load']:.2f}", flush=True)
        throughput.fresh(folder, 0, OUTPUTS)
        points = os.path.getsize(os.path.join(folder, "points.bin")) // 18
        loads = [r["load"] for rs in runs.values() for r in rs]
        print(f"\n{points} points; medians of {args.reps} runs; load average {min(loads):.1f} to {max(loads):.1f}")
        for name, rs in runs.items():
            wall, rss = statistics.median(r["wall"] for r in rs), statistics.median(r["rss"] for r in rs)
            print(f"{name:<12}wall {wall:7.3f} s  RSS {rss / 1024:7.1f} MiB")
        added = statistics.median((d["wall"] - g["wall"]) / g["wall"] for g, d in zip(runs["grid"], runs["grid + dtm"]))
        print(f"the dtm adds {added:.2f} times the grid's time (median of the repetitions' ratios; goal: at most 1.5)")
        cpu = statistics.median((d["user"] + d["sys"] - g["user"] - g["sys"]) / (g["user"] + g["sys"])
                                for g, d in zip(runs["grid"], runs["grid + dtm"]))
        print(f"... and {cpu:.2f} times its processor time (user and system; the figure to trust on a busy machine)")
    finally:
        if temporary:
            shutil.rmtree(temporary)


if __name__ == "__main__":
    main()
