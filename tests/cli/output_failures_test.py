#!/usr/bin/python3
"""Outputs that fail: each stop's last line, its words on standard error,
and that the run never hangs. One row per case: how the survey's folder is
prepared, the limits the run gets, the last line and what standard error
must hold.

usage: output_failures_test.py MORVA MORVA_SIM
"""

import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile

MORVA, SIM = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])


def fifo(name):
    return lambda work: os.mkfifo(os.path.join(work, name))


def file_size_limit(size):
    # A full disk as a file-size limit: writes beyond it fail (EFBIG) instead
    # of ending the process.
    def limit():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))
    return limit


# (name, survey preparation, limit, last line, pattern standard error must match)
CASES = [
    # guards: a run that blocked for ever opening an output that is a pipe nobody reads.
    ("an output that is a named pipe with no reader", fifo("centre.txt"), None,
     "*** cannot open file: centre.txt",
     r"morva: cannot open centre.txt: no process reads the named pipe \(names in the run control are "
     r"relative to the current folder\)\n"),
    # guards: a last line that blamed the last file closed instead of the scan points that failed first.
    ("a full disk: the scan points fail first", None, file_size_limit(2048),
     "*** write error on file: points.bin", r"\*\*\* write error on file: points.bin\n$"),
    # guards: a write error that did not say why (the system's reason was lost).
    ("a full disk: the system's reason on standard error", None, file_size_limit(2048),
     "*** write error on file: points.bin", r"morva: cannot write points.bin: File too large\n"),
    ("a trajectory that does not exist: the system's reason", lambda work: os.remove(os.path.join(work, "trajectory.txt")),
     None, "*** cannot open file: trajectory.txt",
     r"morva: cannot open trajectory.txt: No such file or directory \(names in the run control are relative"),
]

failures = []
for name, prepare, limit, last_line, stderr_pattern in CASES:
    work = tempfile.mkdtemp(prefix="morva-output-failures-")
    try:
        subprocess.run([SIM, "--duration", "5", work], check=True, stdout=subprocess.DEVNULL)
        if prepare:
            prepare(work)
        try:
            run = subprocess.run([MORVA, "--no-progress", "run.in"], cwd=work, capture_output=True, text=True,
                                 timeout=60, preexec_fn=limit)
        except subprocess.TimeoutExpired:
            failures.append(name + ": the run hung")
            continue
        got = run.stdout.rstrip("\n").split("\n")[-1]
        if run.returncode != 1 or got != last_line:
            failures.append("%s: status %d, last line %r, expected %r" % (name, run.returncode, got, last_line))
        if not re.search(stderr_pattern, run.stderr):
            failures.append("%s: standard error %r lacks %r" % (name, run.stderr, stderr_pattern))
    finally:
        shutil.rmtree(work, ignore_errors=True)

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
