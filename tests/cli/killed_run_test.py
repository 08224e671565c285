#!/usr/bin/python3
"""A run killed during its scan loop (kill -9, SIGTERM) leaves the results of
the earlier run untouched: the outputs are written under temporary names
until the run ends. A temporary that kill -9 leaves behind is removed by the
next run of the same outputs, whose results are those of the earlier run.

usage: killed_run_test.py MORVA MORVA_SIM
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

MORVA, SIM = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
OUTPUTS = ["points.bin", "centre.txt", "test.out", "test_pcorr.out"]
# The signal, and whether the run's temporaries may remain until the next run.
CASES = [(signal.SIGKILL, True), (signal.SIGTERM, False)]
failures = []


def run(work):
    subprocess.run([MORVA, "--no-progress", "--threads", "1", "run.in"], cwd=work, check=True,
                   stdout=subprocess.DEVNULL)


def contents(work):
    return {n: open(os.path.join(work, n), "rb").read() for n in OUTPUTS}


def written_bytes(pid):
    try:
        for line in open("/proc/%d/io" % pid):
            if line.startswith("wchar:"):
                return int(line.split()[1])
    except OSError:
        pass
    return 0


def temporaries(work):
    return sorted(n for n in os.listdir(work) if ".morva-tmp-" in n)


work = tempfile.mkdtemp(prefix="morva-killed-")
try:
    # About 3 million measurements: long enough to be caught inside the loop.
    subprocess.run([SIM, "--duration", "300", work], check=True, stdout=subprocess.DEVNULL)
    run(work)
    earlier = contents(work)
    for sig, may_remain in CASES:
        name = signal.Signals(sig).name
        proc = subprocess.Popen([MORVA, "--no-progress", "--threads", "1", "run.in"], cwd=work,
                                stdout=subprocess.DEVNULL)
        # Inside the scan loop: the run has written more than 1 MB of points.
        deadline = time.monotonic() + 60
        caught = False
        while time.monotonic() < deadline and proc.poll() is None:
            if written_bytes(proc.pid) > 1 << 20:
                proc.send_signal(sig)
                caught = True
                break
            time.sleep(0.002)
        status = proc.wait(timeout=60)
        if not caught or status != -sig:
            failures.append("%s: not caught inside the scan loop (status %s)" % (name, status))
            continue
        if contents(work) != earlier:
            failures.append("%s: the earlier results were changed" % name)
        left = temporaries(work)
        if left and not may_remain:
            failures.append("%s: temporaries left: %s" % (name, left))
        run(work)
        if temporaries(work):
            failures.append("%s: the next run left temporaries: %s" % (name, temporaries(work)))
        if contents(work) != earlier:
            failures.append("%s: the next run's results differ from the earlier run's" % name)
finally:
    shutil.rmtree(work, ignore_errors=True)

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
