#!/usr/bin/python3
"""A run interrupted before its scan loop (Ctrl-C, a killed job) removes its
temporary outputs and leaves the files of an earlier run as they were: the
run is held at its start by a geoid file that is a named pipe nobody
writes, then sent SIGINT or SIGTERM.

usage: interrupted_start_test.py MORVA MORVA_SIM
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

MORVA, SIM = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
EARLIER = ["points.bin", "centre.txt", "test.out", "test_pcorr.out"]
failures = []

work = tempfile.mkdtemp(prefix="morva-interrupted-")
try:
    subprocess.run([SIM, "--duration", "1", work], check=True, stdout=subprocess.DEVNULL)
    run_control = open(os.path.join(work, "run.in")).read().replace("geoid.txt", "geoid.fifo", 1)
    open(os.path.join(work, "held.in"), "w").write(run_control)
    os.mkfifo(os.path.join(work, "geoid.fifo"))
    for name in EARLIER:
        open(os.path.join(work, name), "w").write("earlier " + name + "\n")

    for sig in (signal.SIGINT, signal.SIGTERM):
        proc = subprocess.Popen([MORVA, "--no-progress", "held.in"], cwd=work, stdout=subprocess.DEVNULL)
        # Wait until every output is staged: the run then blocks opening the pipe.
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            temps = [n for n in os.listdir(work) if ".morva-tmp-" in n]
            if len(temps) == len(EARLIER):
                break
            time.sleep(0.01)
        else:
            failures.append("the run never staged its outputs: %s" % sorted(os.listdir(work)))
        time.sleep(0.1)
        proc.send_signal(sig)
        status = proc.wait(timeout=20)
        name = signal.Signals(sig).name
        if status != -sig:
            failures.append("%s: the run ended with %s, not by the signal" % (name, status))
        left = [n for n in os.listdir(work) if ".morva-tmp-" in n]
        if left:
            failures.append("%s: temporaries left behind: %s" % (name, left))
        for earlier in EARLIER:
            if open(os.path.join(work, earlier)).read() != "earlier " + earlier + "\n":
                failures.append("%s: %s was changed" % (name, earlier))
finally:
    shutil.rmtree(work, ignore_errors=True)

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
