#!/usr/bin/env python3
"""Throughput of morva-las on the survey of the throughput benchmark.

Writes (or keeps) the 20-million-measurement survey of bench/throughput.py,
has morva write its scan points once as binary and once as text records, then
converts each with morva-las and measures, in the same repetition on the same
files, the I/O floor: reading the scan-point file (dd to /dev/null, from the
page cache) plus writing as many bytes as the LAS file (dd from /dev/zero,
64 KiB blocks). Every timed command starts with its output absent, no dirty
data in the page cache and a pause (--settle); the scan-point file is read
once beforehand. Repetitions are interleaved; medians are printed. With
--old BUILD, every repetition also converts with that build's morva-las (the
two builds alternating which goes first), for a same-run comparison; --forms
limits the run to some of the two sources.

    bench/las_throughput.py [--build build] [--old BUILD] [--forms binary,text] [--work DIR] [--reps 3] [--settle 4]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import throughput  # noqa: E402  (the survey and the timing helpers)

# name, scan-point file, line 10 of the run control (navg nthin iout_type attitude use_cal icalib full_georef)
FORMS = [
    ("binary", "points.bin", "1 1 2 T F 0 T"),
    ("text", "points.txt", "1 1 1 T F 0 T"),
]
OUTPUTS = ["points.las", "floor.out"]


def fresh(folder, settle):
    throughput.fresh(folder, settle, OUTPUTS)


def quietly(call):
    """Runs call() with standard error (morva-las's notes) sent to /dev/null."""
    saved = os.dup(2)
    devnull = os.open(os.devnull, os.O_WRONLY)
    os.dup2(devnull, 2)
    try:
        return call()
    finally:
        os.dup2(saved, 2)
        os.close(saved)
        os.close(devnull)


def scan_points(morva, folder, forms=FORMS):
    """Runs morva once for each form, unless its scan-point file is there from a previous run."""
    with open(os.path.join(folder, "run.in")) as f:
        lines = f.read().split("\n")
    for name, output, switches in forms:
        form_lines = list(lines)
        form_lines[3] = output
        form_lines[9] = switches
        control = os.path.join(folder, f"run.las-{name}.in")
        with open(control, "w") as f:
            f.write("\n".join(form_lines))
        if not os.path.exists(os.path.join(folder, output)):
            with open(control) as stdin:
                subprocess.run([morva], cwd=folder, stdin=stdin, stdout=subprocess.DEVNULL, check=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    throughput.add_common_options(ap)
    ap.add_argument("--old", help="build folder of a reference morva-las, run beside it in every repetition")
    ap.add_argument("--forms", default="binary,text", help="sources to convert, of binary,text [binary,text]")
    args = throughput.parse_options(ap)
    morva, sim, las = throughput.built_programs(args.build, ["src/morva", "tools/sim/morva-sim", "tools/las/morva-las"])
    programs = {"new": las}
    if args.old:
        programs = {"old": throughput.built_programs(args.old, ["tools/las/morva-las"])[0], "new": las}
    forms = args.forms.split(",")
    if not forms or any(f not in (name for name, _, _ in FORMS) for f in forms):
        sys.exit("--forms takes binary, text or binary,text")
    work, temporary = throughput.work_folder(args.work, "morva-las-throughput-")
    try:
        print(f"cpu: {throughput.cpu_name()}, {os.cpu_count()} cores")
        bench(morva, sim, programs, forms, os.path.join(work, "survey"), args.reps, args.settle)
    finally:
        if temporary:
            shutil.rmtree(temporary)


def convert(las, name, source, folder, settle):
    fresh(folder, settle)
    throughput.warm(folder, source)
    r = quietly(lambda: throughput.timed([las, f"run.las-{name}.in", "points.las"], folder))
    r["bytes"] = os.path.getsize(os.path.join(folder, "points.las"))
    r["in"] = os.path.getsize(os.path.join(folder, source))
    with open(os.path.join(folder, "points.las"), "rb") as f:
        f.seek(247)
        r["points"] = int.from_bytes(f.read(8), "little")
    return r


def bench(morva, sim, programs, forms, folder, reps, settle):
    throughput.write_survey(sim, folder)
    scan_points(morva, folder)
    labels = list(programs)
    runs = {(name, b): [] for name, _, _ in FORMS if name in forms for b in labels}
    for rep in range(reps):
        order = labels if rep % 2 == 0 else labels[::-1]
        for name, source, _ in FORMS:
            if name not in forms:
                continue
            done = {b: convert(programs[b], name, source, folder, settle) for b in order}
            fresh(folder, settle)
            throughput.warm(folder, source)
            read = throughput.timed(["dd", f"if={source}", "of=/dev/null", "bs=1M", "status=none"], folder)["wall"]
            fresh(folder, settle)
            write = throughput.timed(["dd", "if=/dev/zero", "of=floor.out", "bs=64K", f"count={done['new']['bytes']}",
                                      "iflag=count_bytes", "status=none"], folder)["wall"]
            for b in labels:
                r = done[b]
                r["read"], r["write"] = read, write
                runs[(name, b)].append(r)
                print(f"  rep {rep + 1} {name:<7}{' ' + b if len(labels) > 1 else ''}  wall {r['wall']:6.3f} s  "
                      f"user {r['user']:6.3f} s  sys {r['sys']:6.3f} s  floor {read + write:6.3f} s  "
                      f"load {os.getloadavg()[0]:.2f}", flush=True)
    fresh(folder, 0)
    print()
    print(f"medians of {reps} runs")
    print(f"{'source':<12}{'Mpts/s':>8}{'wall s':>8}{'user s':>8}{'sys s':>7}{'RSS MiB':>9}{'in MB':>8}{'LAS MB':>8}"
          f"{'read s':>8}{'write s':>8}{'floor s':>8}{'ratio':>7}")
    for (name, b), rs in runs.items():
        med = {k: statistics.median(r[k] for r in rs) for k in rs[0]}
        floor = statistics.median(r["read"] + r["write"] for r in rs)
        ratio = statistics.median(r["wall"] / (r["read"] + r["write"]) for r in rs)
        label = f"{name} {b}" if len(labels) > 1 else name
        print(f"{label:<12}{med['points'] / med['wall'] / 1e6:8.2f}{med['wall']:8.3f}{med['user']:8.3f}{med['sys']:7.3f}"
              f"{med['rss'] / 1024:9.1f}{med['in'] / 1e6:8.1f}{med['bytes'] / 1e6:8.1f}{med['read']:8.3f}"
              f"{med['write']:8.3f}{floor:8.3f}{ratio:7.2f}")


if __name__ == "__main__":
    main()
