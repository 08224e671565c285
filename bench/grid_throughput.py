#!/usr/bin/env python3
"""Throughput of morva-grid against morva-las on two surveys of 20 million
points: a dense strip and a survey of ordinary density.

  dense     the survey of bench/throughput.py: flown at 300 m, a swath of
            350 m, about 5 points a square metre; at 1 m cells few cells
            hold points, each several
  ordinary  the same flight at 1200 m: a swath of 1400 m, about 1.2 points
            a square metre; most cells of the strip hold one or two points,
            so that the grid's cost follows its non-empty cells

Writes (or keeps) both surveys, has morva write their scan points as binary
records, then, in every repetition, on each survey in turn, converts them
with morva-las (geographic LAS) and grids them with morva-grid (1 m cells,
min, max, mean, count, stdev, written as a COG), one after the other, and
again with --compress deflate. Every timed command starts with its output
absent, no dirty data in the page cache and a pause (--settle); the
scan-point file is read once beforehand. Medians are printed for each
survey, with the grid's time over morva-las's (the goal: at most 3 on both)
and the grid's peak memory against its bound, 48 bytes per cell plus 64 MiB.
With --old BUILD, that build's morva-grid runs too, in the same repetitions.

    bench/grid_throughput.py [--build build] [--work DIR] [--reps 5] [--settle 4]
                             [--surveys dense,ordinary] [--old BUILD] [--no-deflate]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import las_throughput  # noqa: E402  (the scan-point files of a survey)
import throughput  # noqa: E402  (the dense survey and the timing helpers)


SURVEYS = {
    "dense": ("survey", throughput.SURVEY),
    "ordinary": ("ordinary", throughput.SURVEY + ["--height", "1200"]),
}

OUTPUTS = ["points.las", "dem.tif", "dem-old.tif", "dem-deflate.tif"]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    throughput.add_common_options(ap, reps=5)
    ap.add_argument("--surveys", default="dense,ordinary", help="of dense,ordinary [dense,ordinary]")
    ap.add_argument("--old", help="build folder of a reference morva-grid, run beside it in every repetition")
    ap.add_argument("--no-deflate", action="store_true", help="leave out the runs with --compress deflate")
    args = throughput.parse_options(ap)
    surveys = args.surveys.split(",")
    if not surveys or any(s not in SURVEYS for s in surveys):
        sys.exit("--surveys takes dense, ordinary or dense,ordinary")
    morva, sim, las, grid = throughput.built_programs(
        args.build, ["src/morva", "tools/sim/morva-sim", "tools/las/morva-las", "tools/grid/morva-grid"])
    old = throughput.built_programs(args.old, ["tools/grid/morva-grid"])[0] if args.old else None
    work, temporary = throughput.work_folder(args.work, "morva-grid-throughput-")
    try:
        print(f"cpu: {throughput.cpu_name()}, {os.cpu_count()} cores")
        folders = {}
        for name in surveys:
            folder, options = SURVEYS[name]
            folders[name] = os.path.join(work, folder)
            throughput.write_survey(sim, folders[name], options)
            las_throughput.scan_points(morva, folders[name])
        commands = {
            "morva-las": [las, "run.las-binary.in", "points.las"],
            "morva-grid": [grid, "run.las-binary.in", "dem.tif"],
        }
        if old:
            commands["old grid"] = [old, "run.las-binary.in", "dem-old.tif"]
        if not args.no_deflate:
            commands["deflate"] = [grid, "--compress", "deflate", "run.las-binary.in", "dem-deflate.tif"]
        runs = bench(folders, commands, args.reps, args.settle)
        for name in surveys:
            report(name, folders[name], runs[name], args.reps)
    finally:
        if temporary:
            shutil.rmtree(temporary)


def cells(path):
    """The raster's cells, and the share of them holding points (the first band's valid cells)."""
    info = subprocess.run(["gdalinfo", "-stats", path], capture_output=True, text=True, check=True,
                          env=dict(os.environ, GDAL_PAM_ENABLED="NO")).stdout
    size = next(line for line in info.split("\n") if line.startswith("Size is"))
    cols, rows = (int(v) for v in size[len("Size is "):].split(","))
    valid = next(line for line in info.split("\n") if "STATISTICS_VALID_PERCENT=" in line)
    return cols * rows, float(valid.split("=")[1]) / 100


def bench(folders, commands, reps, settle):
    """runs[survey][command]: each repetition's figures, with the file's size."""
    runs = {s: {name: [] for name in commands} for s in folders}
    for rep in range(reps):
        for survey, folder in folders.items():
            for name, argv in commands.items():
                throughput.fresh(folder, settle, OUTPUTS)
                throughput.warm(folder, "points.bin")
                r = las_throughput.quietly(lambda: throughput.timed(argv, folder))
                r["size"] = os.path.getsize(os.path.join(folder, argv[-1])) / 1e6
                r["load"] = os.getloadavg()[0]
                if name == "morva-grid" and rep == 0:
                    r["cells"] = cells(os.path.join(folder, argv[-1]))
                runs[survey][name].append(r)
                print(f"  rep {rep + 1} {survey:<9}{name:<11}wall {r['wall']:6.3f} s  user {r['user']:6.3f} s  "
                      f"sys {r['sys']:6.3f} s  RSS {r['rss'] / 1024:7.1f} MiB  load {r['load']:.2f}", flush=True)
        for folder in folders.values():
            throughput.fresh(folder, 0, OUTPUTS)
    return runs


def report(survey, folder, runs, reps):
    points = os.path.getsize(os.path.join(folder, "points.bin")) // 18
    n_cells, share = runs["morva-grid"][0]["cells"]
    print()
    loads = [r["load"] for rs in runs.values() for r in rs]
    print(f"{survey}: medians of {reps} runs, {points} points, a raster of {n_cells} cells of 1 m, "
          f"{share * n_cells / 1e6:.1f} million ({share:.1%}) with points; load average {min(loads):.1f} to "
          f"{max(loads):.1f} (at most 1 for figures of a quiet machine)")
    print(f"{'program':<12}{'Mpts/s':>8}{'wall s':>8}{'user s':>8}{'sys s':>7}{'RSS MiB':>9}{'file MB':>9}")
    med = {}
    for name, rs in runs.items():
        med[name] = {k: statistics.median(r[k] for r in rs) for k in ("wall", "user", "sys", "rss", "size")}
        m = med[name]
        print(f"{name:<12}{points / m['wall'] / 1e6:8.2f}{m['wall']:8.3f}{m['user']:8.3f}{m['sys']:7.3f}"
              f"{m['rss'] / 1024:9.1f}{m['size']:9.1f}")
    las = runs["morva-las"]
    for name in runs:
        if name == "morva-las":
            continue
        ratio = statistics.median(g["wall"] / l["wall"] for g, l in zip(runs[name], las))
        goal = " (goal: at most 3)" if name == "morva-grid" else ""
        print(f"{survey}: {name} / morva-las (median of the repetitions' ratios): {ratio:.2f}{goal}")
    bound = (48 * n_cells + 64 * 2**20) / 2**20
    print(f"{survey}: morva-grid peak memory {med['morva-grid']['rss'] / 1024:.1f} MiB, bound {bound:.1f} MiB")


if __name__ == "__main__":
    main()
