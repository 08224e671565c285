#!/usr/bin/python3
"""Every companion refuses an output that would replace a file of the run, a
folder or a device: one line on standard error, status 1, and every file of
the survey byte for byte as before (nothing written, nothing left).

    hostile_outputs_test.py MORVA MORVA_SIM MORVA_LAS MORVA_QUICKLOOK MORVA_RUNINFO MORVA_GRID MORVA_GROUND MORVA_ACCURACY

Each program is tried with each hostile output; the expected line is the
program's prefix, the shared guard's reason and the program's suffix."""

import hashlib
import os
import shutil
import stat
import subprocess
import sys
import tempfile

# How each program is given one output ({out}); its line before and after the guard's reason.
PROGRAMS = {
    "morva-las": (["{las}", "run.in", "{out}"], "morva-las: the output ", "; choose another name"),
    "morva-quicklook PNG": (["{quicklook}", "run.in", "{out}"], "morva-quicklook: the output ", ""),
    "morva-quicklook --json": (["{quicklook}", "--json", "{out}", "run.in", "ql.png"], "morva-quicklook: the output ", ""),
    "morva-quicklook --geojson": (["{quicklook}", "--geojson", "{out}", "run.in", "ql.png"],
                                  "morva-quicklook: the output ", ""),
    "morva-runinfo --check-output": (["{runinfo}", "--check-output", "ok.png", "{out}", "--", "run.in"],
                                     "morva-runinfo: ", ""),
    "morva-grid": (["{grid}", "run.in", "{out}"], "morva-grid: the output ", "; choose another name"),
    "morva-accuracy --json": (["{accuracy}", "--json", "{out}", "checkpoints.csv", "run.in"], "morva-accuracy: ", ""),
}

# A hostile output and the guard's reason.
HOSTILE = [
    ("geoid.txt", "geoid.txt is the same file as the run control's geoid grid geoid.txt"),
    ("points.bin", "points.bin is the same file as the run control's scan-point file points.bin"),
    ("centre.txt", "centre.txt is the same file as the run control's centre-point file centre.txt"),
    ("scan.bin", "scan.bin is the same file as the run control's scanner file scan.bin"),
    ("run.in", "run.in is the same file as the run control run.in"),
    ("sub/../run.in", "sub/../run.in is the same file as the run control run.in"),
    ("link-to-trajectory", "link-to-trajectory is the same file as the run control's trajectory trajectory.txt"),
    ("test.out", "test.out is the same file as the run's diagnostic file test.out"),
    ("sub", "sub is a folder"),
    ("/dev/null", "/dev/null is not a regular file (a device)"),
    ("pipe", "pipe is not a regular file (a pipe)"),
    # guards: an output replaced the campaign runner's record or settings beside the run control
    ("morva.done.json", "morva.done.json is the same file as the campaign's record morva.done.json"),
    ("link-to-log", "link-to-log is the same file as the campaign's record morva.log"),
    ("campaign.toml", "campaign.toml is the same file as the campaign's settings {folder}/campaign.toml"),
]

# A program's own words for a role, where they differ from the guard's.
OWN_WORDS = {
    ("morva-accuracy --json", "run.in"): "run.in is the same file as an input run.in",
    ("morva-accuracy --json", "sub/../run.in"): "sub/../run.in is the same file as an input run.in",
}

# Cases of one program: its arguments and its whole line.
SPECIAL = [
    # the SVG written beside the PNG is a link to the trajectory
    (["{quicklook}", "--svg", "run.in", "trajectory.png"],
     "morva-quicklook: the output trajectory.svg is the same file as the run control's trajectory trajectory.txt"),
    # two outputs of one run share a file
    (["{quicklook}", "--json", "ql.png", "run.in", "ql.png"],
     "morva-quicklook: the output ql.png is the same file as the output ql.png"),
    (["{runinfo}", "--check-output", "a.png", "./a.png", "--", "run.in"],
     "morva-runinfo: ./a.png is the same file as the output a.png"),
    # the LAS file over the run's record it reads
    (["{las}", "--metadata", "run.json", "run.in", "./run.json"],
     "morva-las: the output ./run.json is the same file as the run's record run.json; choose another name"),
    # morva-ground's outputs end in .las or .laz: links so named
    (["{ground}", "run.in", "record.las"],
     "morva-ground: the output record.las is the same file as the campaign's record morva.done.json; choose another name"),
    (["{ground}", "run.in", "pipe.las"], "morva-ground: the output pipe.las is not a regular file (a pipe); choose another name"),
    (["{ground}", "run.in", "null.las"], "morva-ground: the output null.las is not a regular file (a device); choose another name"),
    (["{ground}", "run.in", "points.las"],
     "morva-ground: the output points.las is the same file as the run control's scan-point file points.bin; choose another name"),
    # the picture over the report the quick-look reads
    (["{quicklook}", "--report", "survey.sim", "run.in", "survey.sim"],
     "morva-quicklook: the output survey.sim is the same file as the input survey.sim"),
]


def snapshot(folder):
    """Every entry below the folder: a link's target, a file's digest, a folder."""
    state = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            if os.path.islink(path):
                state[path] = ("link", os.readlink(path))
            elif stat.S_ISFIFO(os.stat(path).st_mode):
                state[path] = ("pipe",)
            elif os.path.isdir(path):
                state[path] = ("folder",)
            else:
                with open(path, "rb") as f:
                    state[path] = ("file", hashlib.sha256(f.read()).hexdigest())
    return state


def main():
    morva, sim, las, quicklook, runinfo, grid, ground, accuracy = (os.path.abspath(p) for p in sys.argv[1:9])
    tools = {"las": las, "quicklook": quicklook, "runinfo": runinfo, "grid": grid, "ground": ground, "accuracy": accuracy}
    work = tempfile.mkdtemp(prefix="hostile-outputs-")
    failures = []
    try:
        folder = os.path.join(work, "survey")
        subprocess.run([sim, "--duration", "1", "--checkpoints", "20", "--output", "binary", folder], check=True,
                       capture_output=True)
        with open(os.path.join(folder, "run.in"), "rb") as stdin:
            subprocess.run([morva, "--metadata", "run.json"], cwd=folder, stdin=stdin, check=True, capture_output=True)
        os.mkdir(os.path.join(folder, "sub"))
        os.symlink("trajectory.txt", os.path.join(folder, "link-to-trajectory"))
        os.symlink("trajectory.txt", os.path.join(folder, "trajectory.svg"))
        for name in ("morva.done.json", "morva.log", "campaign.toml"):
            with open(os.path.join(folder, name), "w") as f:
                f.write("the campaign's\n")
        os.symlink("morva.log", os.path.join(folder, "link-to-log"))
        os.symlink("morva.done.json", os.path.join(folder, "record.las"))
        os.symlink("points.bin", os.path.join(folder, "points.las"))
        os.symlink("/dev/null", os.path.join(folder, "null.las"))
        os.mkfifo(os.path.join(folder, "pipe"))
        os.mkfifo(os.path.join(folder, "pipe.las"))
        cases = [(f"{program} {out}", [a.format(out=out, **tools) for a in args],
                  before + OWN_WORDS.get((program, out), reason).format(folder=folder) + after)
                 for program, (args, before, after) in PROGRAMS.items() for out, reason in HOSTILE]
        cases += [(" ".join(args), [a.format(**tools) for a in args], line) for args, line in SPECIAL]
        state = snapshot(folder)
        for name, argv, line in cases:
            done = subprocess.run(argv, cwd=folder, capture_output=True, text=True)
            if (done.returncode, done.stderr, done.stdout) != (1, line + "\n", ""):
                failures.append(f"{name}: status {done.returncode}, stderr {done.stderr!r}, stdout {done.stdout!r}; "
                                f"expected status 1 and {line!r}")
            if snapshot(folder) != state:
                failures.append(f"{name}: the survey's files changed")
                state = snapshot(folder)
        print(f"{len(cases)} hostile outputs tried")
    finally:
        shutil.rmtree(work)
    if failures:
        sys.exit("FAIL:\n" + "\n".join(failures))
    print("ok")


if __name__ == "__main__":
    main()
