#!/usr/bin/env python3
"""Throughput of morva-grid against morva-las on the survey of the throughput
benchmark.

Writes (or keeps) the 20-million-measurement survey of bench/throughput.py,
has morva write its scan points as binary records, then, in every
repetition on the same file, converts them with morva-las (geographic LAS)
and grids them with morva-grid (1 m cells, min, max, mean, count, stdev,
written as a COG), one after the other. Every timed command starts with its
output absent, no dirty data in the page cache and a pause (--settle); the
scan-point file is read once beforehand. Medians are printed, with the
grid's time over morva-las's (the goal: at most 3; the same with
--compress deflate for comparison) and the grid's peak memory against its
bound, 48 bytes per cell plus 64 MiB.

    bench/grid_throughput.py [--build build] [--work DIR] [--reps 5] [--settle 4]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import las_throughput  # noqa: E402  (the scan-point files of the survey)
import throughput  # noqa: E402  (the survey and the timing helpers)

OUTPUTS = ["points.las", "dem.tif", "dem-deflate.tif"]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    throughput.add_common_options(ap, reps=5)
    args = throughput.parse_options(ap)
    morva, sim, las, grid = throughput.built_programs(
        args.build, ["src/morva", "tools/sim/morva-sim", "tools/las/morva-las", "tools/grid/morva-grid"])
    work, temporary = throughput.work_folder(args.work, "morva-grid-throughput-")
    try:
        print(f"cpu: {throughput.cpu_name()}, {os.cpu_count()} cores")
        bench(morva, sim, las, grid, os.path.join(work, "survey"), args.reps, args.settle)
    finally:
        if temporary:
            shutil.rmtree(temporary)


def cells(path):
    info = subprocess.run(["gdalinfo", path], capture_output=True, text=True, check=True).stdout
    size = next(line for line in info.split("\n") if line.startswith("Size is"))
    cols, rows = (int(v) for v in size[len("Size is "):].split(","))
    return cols * rows


def bench(morva, sim, las, grid, folder, reps, settle):
    throughput.write_survey(sim, folder)
    las_throughput.scan_points(morva, folder)
    commands = {
        "morva-las": [las, "run.las-binary.in", "points.las"],
        "morva-grid": [grid, "run.las-binary.in", "dem.tif"],
        "deflate": [grid, "--compress", "deflate", "run.las-binary.in", "dem-deflate.tif"],
    }
    runs = {name: [] for name in commands}
    sizes, n_cells = {}, None
    for rep in range(reps):
        for name, argv in commands.items():
            throughput.fresh(folder, settle, OUTPUTS)
            throughput.warm(folder, "points.bin")
            r = las_throughput.quietly(lambda: throughput.timed(argv, folder))
            runs[name].append(r)
            if name != "morva-las":  # the next command's fresh start removes it
                sizes[name] = os.path.getsize(os.path.join(folder, argv[-1])) / 1e6
                if n_cells is None:
                    n_cells = cells(os.path.join(folder, argv[-1]))
            print(f"  rep {rep + 1} {name:<10} wall {r['wall']:6.3f} s  user {r['user']:6.3f} s  sys {r['sys']:6.3f} s  "
                  f"RSS {r['rss'] / 1024:7.1f} MiB  load {os.getloadavg()[0]:.2f}", flush=True)
    points = os.path.getsize(os.path.join(folder, "points.bin")) // 18
    throughput.fresh(folder, 0, OUTPUTS)
    print()
    print(f"medians of {reps} runs, {points} points, a raster of {n_cells} cells of 1 m")
    print(f"{'program':<12}{'Mpts/s':>8}{'wall s':>8}{'user s':>8}{'sys s':>7}{'RSS MiB':>9}")
    med = {}
    for name, rs in runs.items():
        med[name] = {k: statistics.median(r[k] for r in rs) for k in rs[0]}
        m = med[name]
        print(f"{name:<12}{points / m['wall'] / 1e6:8.2f}{m['wall']:8.3f}{m['user']:8.3f}{m['sys']:7.3f}"
              f"{m['rss'] / 1024:9.1f}")
    ratio = statistics.median(g["wall"] / l["wall"] for g, l in zip(runs["morva-grid"], runs["morva-las"]))
    bound = (48 * n_cells + 64 * 2**20) / 2**20
    print(f"morva-grid / morva-las (median of the repetitions' ratios): {ratio:.2f} (goal: at most 3)")
    deflate = statistics.median(g["wall"] / l["wall"] for g, l in zip(runs["deflate"], runs["morva-las"]))
    print(f"with --compress deflate: {deflate:.2f}; files {sizes['morva-grid']:.1f} MB (ZSTD), "
          f"{sizes['deflate']:.1f} MB (DEFLATE)")
    print(f"morva-grid peak memory {med['morva-grid']['rss'] / 1024:.1f} MiB, bound {bound:.1f} MiB")


if __name__ == "__main__":
    main()
