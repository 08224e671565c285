#!/usr/bin/python3
"""Every morva program answers the same way on its command line. Each
program is one row (how its usage error names its usage, an option that
takes a value, the words that come before an option); each probe is one
row of what the program is given and what it must answer.

usage: forms_test.py NAME PROGRAM [NAME PROGRAM ...]
"""

import re
import subprocess
import sys
import tempfile

# name: (the short usage of its usage line, an option taking a value, words first)
PROGRAMS = {
    "morva": ("morva [options] [RUN_CONTROL]", "--threads", []),
    "morva-sim": ("morva-sim [--sample | --calibration-campaign | --verify] [OPTIONS] [DIR]", "--nmeas", []),
    "morva-las": ("morva-las [options] RUN_CONTROL OUTPUT.las|OUTPUT.laz", "--date", []),
    "morva-runinfo": ("morva-runinfo RUN_CONTROL | --records | --check-output OUTPUT... -- RUN_CONTROL [INPUT...]", None, []),
    "morva-grid": ("morva-grid [options] INPUT... OUTPUT.tif", "--resolution", []),
    "morva-overlap": ("morva-overlap [options] CAMPAIGN_DIR | RUN_CONTROL...", "--resolution", []),
    "morva-boresight": ("morva-boresight [options] RUN_CONTROL...", "--json", []),
    "morva-campaign": ("morva-campaign run|status|report DIR [OPTIONS]", "--jobs", ["run", "."]),
    "morva-quicklook": ("morva-quicklook [options] RUN_CONTROL [OUTPUT.png]", "--report", []),
}

VERSION = r"[0-9]+\.[0-9]+\.[0-9]+( \(commit [0-9a-f]+\))?"


def usage_line(name, usage, message):
    return f"{name}: {message}; usage: {usage} ({name} --help)\n"


# The help: its usage line first, an "Exit status:" section, nothing on standard error.
HELP = r"usage: .*\nExit status:.*"


# (arguments, exit status, standard output (a pattern), standard error (exact))
def probes(name, usage, value_option, first):
    rows = [
        (first + ["--bogus"], 2, "", usage_line(name, usage, "unknown option --bogus")),
        (first + ["--bogus=1"], 2, "", usage_line(name, usage, "unknown option --bogus")),
        (["--help"], 0, HELP, ""),
        (["-h"], 0, HELP, ""),
        (["--version"], 0, re.escape(name) + " " + VERSION + r"\n", ""),
    ]
    if value_option:
        rows.append((first + [value_option], 2, "", usage_line(name, usage, f"option {value_option} needs a value")))
    return rows


def main(argv):
    pairs = dict(zip(argv[1::2], argv[2::2]))
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        for name, program in pairs.items():
            usage, value_option, first = PROGRAMS[name]
            for args, status, stdout, stderr in probes(name, usage, value_option, first):
                done = subprocess.run([program, *args], capture_output=True, text=True, stdin=subprocess.DEVNULL,
                                      cwd=work)
                problems = []
                if done.returncode != status:
                    problems.append(f"exit {done.returncode}, not {status}")
                if not re.fullmatch(stdout, done.stdout, re.S):
                    problems.append(f"standard output {done.stdout[:200]!r}")
                if done.stderr != stderr:
                    problems.append(f"standard error {done.stderr!r}, not {stderr!r}")
                for p in problems:
                    print(f"FAIL: {name} {' '.join(args)}: {p}")
                failures += bool(problems)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
