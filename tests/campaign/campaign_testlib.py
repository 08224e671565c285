"""Shared by the campaign tests: the programs under test, simulated flights,
direct morva runs to compare with, and a check that counts failures."""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

OUTPUTS_OF_EVERY_RUN = ("test.out", "test_pcorr.out")


class Tools:
    def __init__(self):
        p = argparse.ArgumentParser()
        for name in ("--campaign", "--morva", "--sim", "--runinfo", "--quicklook", "--las"):
            p.add_argument(name, required=True)
        a = p.parse_args()
        self.campaign, self.morva, self.sim, self.runinfo = a.campaign, a.morva, a.sim, a.runinfo
        self.quicklook, self.las = a.quicklook, a.las
        for path in (self.campaign, self.morva, self.sim, self.runinfo, self.quicklook, self.las):
            if not os.access(path, os.X_OK):
                sys.exit(f"FAIL: {path} is not built")
        self.failures = 0

    def check(self, ok, message):
        print(("ok    " if ok else "FAIL  ") + message, flush=True)
        if not ok:
            self.failures += 1
        return ok

    def finish(self):
        print(f"{self.failures} failed" if self.failures else "all passed")
        sys.exit(1 if self.failures else 0)

    def run(self, *args, env=None, **kw):
        """morva-campaign with args; text output captured."""
        return subprocess.run([self.campaign, *args], capture_output=True, text=True, env=env, **kw)

    def simulate(self, folder, *options):
        subprocess.run([self.sim, *options, folder], check=True, capture_output=True)

    def runinfo_of(self, folder):
        import json
        out = subprocess.run([self.runinfo, "run.in"], cwd=folder, capture_output=True, text=True, check=True)
        return json.loads(out.stdout)

    def direct_run(self, flight, args=()):
        """The files of a direct `morva < run.in` in a copy of the flight's
        inputs: {name: bytes}, the console report as "morva.log"."""
        info = self.runinfo_of(flight)
        with tempfile.TemporaryDirectory() as tmp:
            for name in ["run.in"] + info["inputs"]:
                shutil.copy(os.path.join(flight, name), os.path.join(tmp, name))
            with open(os.path.join(tmp, "run.in"), "rb") as rc:
                out = subprocess.run([self.morva, *args], stdin=rc, cwd=tmp, capture_output=True)
            files = {"morva.log": out.stdout}
            for name in info["outputs"]:
                with open(os.path.join(tmp, name), "rb") as f:
                    files[name] = f.read()
            return files

    def same_as_direct(self, flight, args=()):
        direct = self.direct_run(flight, args)
        for name, data in direct.items():
            with open(os.path.join(flight, name), "rb") as f:
                if f.read() != data:
                    return f"{name} differs"
        return ""


# Five flights of different settings, and one whose trajectory is missing.
FLIGHTS = {
    "north/f1": ["--duration", "4"],
    "north/f2": ["--duration", "3", "--output", "text", "--icalib", "2", "--ground", "0.5", "--roll", "0.5"],
    "south/f3": ["--duration", "5", "--roll", "1,2,7", "--geoid", "off"],
    "south/f4": ["--duration", "3", "--attitude", "off", "--calibration", "on", "--use-cal", "on"],
    "south/deep/f5": ["--duration", "3", "--lever", "1,0.5,2", "--misalign", "0.1,0.2,0.3", "--output", "text"],
    "west/broken": ["--duration", "2"],
}


def make_campaign(tools, top, names=None):
    for name in names or FLIGHTS:
        tools.simulate(os.path.join(top, name), *FLIGHTS[name])
    if names is None or "west/broken" in names:
        os.rename(os.path.join(top, "west/broken/trajectory.txt"), os.path.join(top, "west/broken/trajectory.kept"))


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def load_record(flight):
    import json
    with open(os.path.join(flight, "morva.done.json")) as f:
        return json.load(f)


def holding_wrapper(tools, folder, runs_log):
    """A morva behind a script that logs every run to runs_log, adds a warning
    on standard error, and, in a flight folder holding a file "hold", stays
    alive after morva ended (its pid in held.pid): to the runner, a morva that
    wrote everything and has not yet exited."""
    wrapper = os.path.join(folder, "morva")
    with open(wrapper, "w") as f:
        f.write(f"""#!/bin/sh
case "$1" in --version|--help) exec {tools.morva} "$@" ;; esac
echo "$PWD" >> {runs_log}
echo "morva: warning: run through the test wrapper" >&2
sleep 0.2
{tools.morva} "$@"
status=$?
[ -e hold ] && {{ echo $$ > held.pid; exec sleep 60; }}
exit $status
""")
    os.chmod(wrapper, 0o755)
    return wrapper


def wait_for_pid(path, timeout=30):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if os.path.exists(path) and os.path.getsize(path) > 0:
            with open(path) as f:
                return int(f.read())
        time.sleep(0.05)
    raise SystemExit(f"FAIL: {path} did not appear within {timeout} s")


def alive(pid):
    """Whether the process runs (an ended one not yet reaped does not)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def wait_gone(pid, timeout=10):
    """Whether the process ended within the timeout."""
    end = time.monotonic() + timeout
    while alive(pid) and time.monotonic() < end:
        time.sleep(0.05)
    return not alive(pid)
