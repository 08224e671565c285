#!/usr/bin/python3
"""morva --metadata FILE: the run's record, read back with Python's own JSON
reader and held against the files on disk and the console report. One row
per case: how the survey is changed, the arguments, the fields expected.

usage: metadata_test.py MORVA MORVA_SIM
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

MORVA, SIM = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])

# (name, morva-sim arguments, run-control replacements, morva arguments, expected fields)
CASES = [
    ("ellipsoid run on two threads, with the regression", ["--sample"], [],
     ["--geodesy", "ellipsoid", "--threads", "2"],
     {"geodesy": "ellipsoid", "threads": 2, "exit_status": 0, "stop": None, "run_control": "run.in"}),
    ("flat binary run, no geoid", ["--duration", "1", "--geoid", "off"], [], ["--threads", "1"],
     {"geodesy": "flat", "threads": 1, "exit_status": 0, "stop": None}),
    ("a stop before the scan loop: why, and no outputs", ["--duration", "1"], [("geoid.txt", "geoid.tx")], [],
     {"exit_status": 1, "stop": "*** cannot open file: geoid.tx", "outputs": {}, "report": None}),
    ("the record named as an input is refused before anything is written", ["--duration", "1"], [],
     ["--metadata", "trajectory.txt"],
     {"exit_status": 1, "stop": "*** output file would overwrite input file: trajectory.txt"}),
]

# The console report's figures, by the record's names.
REPORT_LINES = [
    (r"Total number of scans read:\s+(\S+)", ["scans_read"]),
    (r"Total number of points output:\s+(\S+)", ["points_output"]),
    (r"min and max laser range measured:\s+(\S+)\s+(\S+)", ["range_min_m", "range_max_m"]),
    (r"min and max flight elevation:\s+(\S+)\s+(\S+)", ["flight_elevation_min_m", "flight_elevation_max_m"]),
    (r"range of ground heights:\s+(\S+)\s+(\S+)", ["ground_height_min_m", "ground_height_max_m"]),
    (r"min and max polynomial correction:\s+(\S+)\s+(\S+)", ["correction_min_m", "correction_max_m"]),
    (r"range of output lat/lon:\s+(\S+)\s+(\S+)\s+(\S+)\s+(\S+)",
     ["lat_min_deg", "lat_max_deg", "lon_min_deg", "lon_max_deg"]),
]


def check_report(report, console, say):
    for pattern, names in REPORT_LINES:
        found = re.search(pattern, console)
        if not found:
            return say("console line missing: " + pattern)
        for name, printed in zip(names, found.groups()):
            decimals = len(printed.split(".")[1]) if "." in printed else 0
            if abs(report[name] - float(printed)) > 0.5 * 10 ** -decimals + 1e-12:
                say("%s is %r, the report prints %s" % (name, report[name], printed))
    fit = re.search(r"bias:\s*(\S+) m, slope \(roll0\):\s*(\S+) degrees", console)
    if fit is None:
        if report["regression"] is not None:
            say("a regression recorded that the report does not show")
        return
    regression = report["regression"]
    for name, printed in zip(["bias_m", "roll_slope_deg"], fit.groups()):
        if abs(regression[name] - float(printed)) > 0.005 + 1e-12:
            say("%s is %r, the report prints %s" % (name, regression[name], printed))
    used = re.search(r"no of points used in regression:\s+(\d+) , parameters:\s+(\d+)", console)
    if [regression["points_used"], regression["parameters"]] != [int(used.group(1)), int(used.group(2))]:
        say("regression counts differ from the report")


def run_case(work, sim_args, replacements, args, expected, say):
    subprocess.run([SIM] + sim_args + [work], check=True, stdout=subprocess.DEVNULL)
    path = os.path.join(work, "run.in")
    text = open(path).read()
    for old, new in replacements:
        text = text.replace(old, new, 1)
    open(path, "w").write(text)
    inputs_before = {n: open(os.path.join(work, n), "rb").read() for n in os.listdir(work)}
    if "--metadata" not in args:
        args = ["--metadata", "record.json"] + args
    record_name = args[args.index("--metadata") + 1]
    run = subprocess.run([MORVA, "--no-progress"] + args + ["run.in"], cwd=work, capture_output=True, text=True)
    left = [n for n in os.listdir(work) if ".morva-tmp-" in n]
    if left:
        say("temporaries left: %s" % left)
    if record_name in inputs_before:
        # Refused: the input is as it was and no record was written over it.
        if open(os.path.join(work, record_name), "rb").read() != inputs_before[record_name]:
            say("the input named as the record was changed")
        if run.returncode != expected["exit_status"]:
            say("exit status %d" % run.returncode)
        return
    record = json.load(open(os.path.join(work, record_name)))
    for name, value in expected.items():
        if record.get(name) != value:
            say("%s is %r, expected %r" % (name, record.get(name), value))
    if record["exit_status"] != run.returncode:
        say("exit_status %r, the run's status %d" % (record["exit_status"], run.returncode))
    if record["program"] != "morva" or record["command_line"][1:] != ["--no-progress"] + args + ["run.in"]:
        say("program or command line wrong: %r" % record["command_line"])
    version = subprocess.run([MORVA, "--version"], capture_output=True, text=True).stdout
    if not version.startswith("morva " + record["version"]):
        say("version %r, --version says %r" % (record["version"], version))
    if record["stop"] is not None and run.stdout.rstrip("\n").split("\n")[-1] != record["stop"]:
        say("stop %r is not the report's last line" % record["stop"])
    for side in ("inputs", "outputs"):
        for role, entry in record[side].items():
            if entry is None:
                continue
            on_disk = os.path.join(work, entry["name"])
            size = os.path.getsize(on_disk) if os.path.isfile(on_disk) else None
            if entry["size"] != size:
                say("%s %s: size %r, on disk %r" % (side, role, entry["size"], size))
    if record["outputs"]:
        form = record["outputs"]["scan_points"]["form"]
        if form != ("binary" if record["outputs"]["scan_points"]["name"].endswith(".bin") else "text"):
            say("scan points form %r" % form)
    if record["report"] is not None:
        check_report(record["report"], run.stdout, say)
    warned = [line for line in run.stderr.split("\n") if line.startswith("morva: warning: ")]
    if record["warnings"] != warned:
        say("warnings %r, standard error %r" % (record["warnings"], warned))


failures = []
for name, sim_args, replacements, args, expected in CASES:
    work = tempfile.mkdtemp(prefix="morva-metadata-")
    try:
        run_case(work, sim_args, replacements, args, expected, lambda m, n=name: failures.append(n + ": " + m))
    finally:
        shutil.rmtree(work, ignore_errors=True)

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
