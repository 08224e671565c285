#!/usr/bin/python3
"""The Slurm engine against a real one-node Slurm started for the test: the
campaign of the local test run as one array job gives the same results, and
the daemons are stopped by their pids whatever happens."""
import os
import shutil
import subprocess
import tempfile
import time

import campaign_testlib as lib
import slurm_cluster

t = lib.Tools()
top = tempfile.mkdtemp(prefix="morva-campaign-slurm-")
os.chmod(top, 0o755)
cluster = slurm_cluster.Cluster()
try:
    try:
        cluster.start()
    except (slurm_cluster.ClusterError, OSError) as e:
        raise SystemExit(f"FAIL: cannot start a one-node Slurm: {e}")
    lib.make_campaign(t, top)
    good = [n for n in lib.FLIGHTS if n != "west/broken"]
    env = cluster.env

    first = t.run("run", top, "--engine", "slurm", "--throttle", "3", "--cpus-per-task", "1", env=env)
    t.check(first.returncode == 1 and "slurm job " in first.stdout,
            f"slurm run exits 1 with a failed flight ({first.returncode}):\n{first.stdout}{first.stderr}")
    t.check("failed   west/broken: *** cannot open file: trajectory.txt" in first.stdout and
            "6 flights: 5 done, 1 failed, 0 to do; 0 skipped" in first.stdout, "slurm run: summary\n" + first.stdout)
    for name in good:
        flight = os.path.join(top, name)
        rec = lib.load_record(flight)
        diff = t.same_as_direct(flight)
        t.check(rec["state"] == "done" and rec["engine"] == "slurm" and rec["slurm_job"] and not diff,
                f"{name}: done by an array task ({rec['slurm_job']}), outputs equal a direct run {diff}")
    t.check(lib.load_record(os.path.join(top, "west/broken"))["last_line"] == "*** cannot open file: trajectory.txt",
            "the broken flight's record: failed with morva's line")

    shutil.move(os.path.join(top, "west/broken/trajectory.kept"), os.path.join(top, "west/broken/trajectory.txt"))
    logs = {n: os.stat(os.path.join(top, n, "morva.log")).st_mtime_ns for n in good}
    second = t.run("run", top, "--engine", "slurm", env=env)
    t.check(second.returncode == 0 and "6 flights: 6 done, 0 failed, 0 to do; 5 skipped" in second.stdout,
            "second slurm run: only the mended flight\n" + second.stdout + second.stderr)
    t.check(all(os.stat(os.path.join(top, n, "morva.log")).st_mtime_ns == logs[n] for n in good),
            "the done flights were not run again")

    nowait = t.run("run", top, "--engine", "slurm", "--no-wait", "--force", "--only", "north/f1", env=env)
    job_id = nowait.stdout.strip()
    t.check(nowait.returncode == 0 and job_id.isdigit(), f"--no-wait prints the job id: {nowait.stdout!r}")

    def task_of_record():
        try:
            return lib.load_record(os.path.join(top, "north/f1")).get("slurm_job")
        except (OSError, ValueError):
            return None     # not written yet
    end = time.monotonic() + 60
    while time.monotonic() < end and task_of_record() != f"{job_id}_0":
        time.sleep(0.5)
    t.check(task_of_record() == f"{job_id}_0" and t.run("status", top).returncode == 0,
            "the job submitted without waiting processed the flight")

    # A task ended by Slurm (a cancel, a time limit: SIGTERM to every process
    # of the task) after morva wrote its outputs: recorded as failed, not done.
    wrapper = lib.holding_wrapper(t, top, os.path.join(top, "runs.log"))
    open(os.path.join(top, "north/f2/hold"), "w").close()
    held = t.run("run", top, "--engine", "slurm", "--no-wait", "--force", "--only", "north/f2", "--morva", wrapper,
                 env=env)
    lib.wait_for_pid(os.path.join(top, "north/f2/held.pid"))
    subprocess.run(["scancel", held.stdout.strip()], env=env, check=True)
    end = time.monotonic() + 60
    rec = {}
    while time.monotonic() < end and rec.get("state") is None:
        time.sleep(0.3)
        try:
            rec = lib.load_record(os.path.join(top, "north/f2"))
        except (OSError, ValueError):
            pass
    t.check(rec.get("state") == "failed" and rec.get("last_line") == "morva ended by signal 15 (SIGTERM)",
            f"a task cancelled by Slurm records its flight as failed: {rec.get('last_line')}")
finally:
    cluster.stop()
    shutil.rmtree(top, ignore_errors=True)
t.finish()
