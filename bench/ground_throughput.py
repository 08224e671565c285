#!/usr/bin/env python3
"""Speed of morva-ground against morva-grid, and on two real files.

  scene     the dense survey of bench/throughput.py (20 million points, flown
            at 300 m over waves) with objects: trees, buildings, a bridge,
            low vegetation and outliers, 2 cm range noise; its scan points
            made once a LAS file in UTM 31N with morva-las (not timed)
  autzen    SHARED_DATA/real/autzen_trim.las (110,000 points, feet)
  extra     SHARED_DATA/real/las_with_several_extra_byte_bloc.laz (697,721 points)

In every repetition, one after the other: morva-grid grids the scene's LAS
file (1 m cells, its default bands, a COG), morva-ground classifies it into
a LAS file, and morva-ground classifies each real file. Every timed command
starts with its output absent, no dirty data in the page cache, its input
read once and a pause (--settle). Medians are printed, with morva-ground's
time over morva-grid's on the scene (the goal: at most 3) and the real
files' times against PDAL filters.smrf's (6.3 s and 2.45 s measured on a
machine like this one; the goal: a tenth of them), and peak memory.

    bench/ground_throughput.py [--build build] [--work DIR] [--reps 3] [--settle 4] [--shared ../shared/data]
"""

import argparse
import os
import shutil
import statistics
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import las_throughput  # noqa: E402  (the scan-point files of a survey)
import throughput  # noqa: E402  (the dense survey and the timing helpers)

SCENE = throughput.SURVEY + ["--objects", "trees,buildings,bridge,lowveg,outliers", "--range-noise", "0.02",
                             "--truth-grid", "0"]
PDAL_SMRF = {"autzen": 6.3, "extra": 2.45}
OUTPUTS = ["dem.tif", "ground.las", "autzen.las", "extra.las"]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    throughput.add_common_options(ap, reps=3)
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument("--shared", default=os.path.join(here, "..", "..", "shared", "data"),
                    help="folder of the real point clouds [../shared/data beside the project]")
    args = throughput.parse_options(ap)
    morva, sim, las, grid, ground = throughput.built_programs(
        args.build, ["src/morva", "tools/sim/morva-sim", "tools/las/morva-las", "tools/grid/morva-grid",
                     "tools/ground/morva-ground"])
    work, temporary = throughput.work_folder(args.work, "morva-ground-throughput-")
    try:
        print(f"cpu: {throughput.cpu_name()}, {os.cpu_count()} cores")
        folder = os.path.join(work, "scene")
        throughput.write_survey(sim, folder, SCENE)
        las_throughput.scan_points(morva, folder)
        if not os.path.exists(os.path.join(folder, "scene.las")):
            las_throughput.quietly(lambda: throughput.timed(
                [las, "--crs", "EPSG:32631", "run.las-binary.in", "scene.las"], folder))
        real = os.path.join(os.path.abspath(args.shared), "real")
        commands = {
            "morva-grid scene": ([grid, "scene.las", "dem.tif"], "scene.las"),
            "morva-ground scene": ([ground, "scene.las", "ground.las"], "scene.las"),
        }
        for name, file in (("autzen", "autzen_trim.las"), ("extra", "las_with_several_extra_byte_bloc.laz")):
            if os.path.exists(os.path.join(real, file)):
                commands[f"morva-ground {name}"] = ([ground, os.path.join(real, file), f"{name}.las"],
                                                    os.path.join(real, file))
            else:
                print(f"{name}: skipped, no {os.path.join(real, file)}")
        runs = {name: [] for name in commands}
        for rep in range(args.reps):
            for name, (argv, source) in commands.items():
                throughput.fresh(folder, args.settle, OUTPUTS)
                throughput.warm(folder, source)
                r = las_throughput.quietly(lambda: throughput.timed(argv, folder))
                r["load"] = os.getloadavg()[0]
                runs[name].append(r)
                print(f"  rep {rep + 1} {name:<20}wall {r['wall']:7.3f} s  user {r['user']:7.3f} s  "
                      f"sys {r['sys']:6.3f} s  RSS {r['rss'] / 1024:7.1f} MiB  load {r['load']:.2f}", flush=True)
        throughput.fresh(folder, 0, OUTPUTS)
        report(folder, runs, args.reps)
    finally:
        if temporary:
            shutil.rmtree(temporary)


def report(folder, runs, reps):
    points = os.path.getsize(os.path.join(folder, "points.bin")) // 18
    loads = [r["load"] for rs in runs.values() for r in rs]
    print()
    print(f"medians of {reps} runs; the scene holds {points} points; load average {min(loads):.1f} to "
          f"{max(loads):.1f} (at most 1 for figures of a quiet machine)")
    print(f"{'command':<22}{'wall s':>8}{'user s':>8}{'sys s':>7}{'RSS MiB':>9}")
    for name, rs in runs.items():
        m = {k: statistics.median(r[k] for r in rs) for k in ("wall", "user", "sys", "rss")}
        print(f"{name:<22}{m['wall']:8.3f}{m['user']:8.3f}{m['sys']:7.3f}{m['rss'] / 1024:9.1f}")
    ratio = statistics.median(g["wall"] / d["wall"] for g, d in zip(runs["morva-ground scene"],
                                                                      runs["morva-grid scene"]))
    print(f"scene: morva-ground / morva-grid (median of the repetitions' ratios): {ratio:.2f} (goal: at most 3)")
    for name, pdal in PDAL_SMRF.items():
        if f"morva-ground {name}" in runs:
            wall = statistics.median(r["wall"] for r in runs[f"morva-ground {name}"])
            print(f"{name}: {wall:.3f} s, PDAL filters.smrf {pdal} s: {pdal / wall:.1f} times as fast "
                  f"(goal: at least 10)")


if __name__ == "__main__":
    main()
