#!/usr/bin/python3
"""Faults of a campaign: a morva killed part way, a runner killed part way
(its lock left behind), a full disk, a run control that is not valid, and two
runners started at once on one campaign."""
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

import campaign_testlib as lib

t = lib.Tools()
work = tempfile.mkdtemp(prefix="morva-campaign-faults-")


def start(*args):
    return subprocess.Popen([t.campaign, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            start_new_session=True)


try:
    runs = os.path.join(work, "runs.log")
    wrapper = lib.holding_wrapper(t, work, runs)

    top = os.path.join(work, "faults")
    for name in ("ok", "killed", "full", "bad"):
        t.simulate(os.path.join(top, name), "--duration", "2")
    open(os.path.join(top, "killed", "hold"), "w").close()
    rc_full = os.path.join(top, "full", "run.in")
    with open(rc_full) as f:
        lines = f.read().split("\n")
    lines[3] = "/dev/full"
    with open(rc_full, "w") as f:
        f.write("\n".join(lines))
    rc_bad = os.path.join(top, "bad", "run.in")
    with open(rc_bad, "w") as f:
        f.write("\n".join(lines[:7]) + "\n")
    with open(rc_bad, "rb") as stdin:
        bad_line = subprocess.run([t.morva], stdin=stdin, cwd=os.path.dirname(rc_bad),
                                  capture_output=True).stdout.decode().strip().splitlines()[-1]

    # morva killed with SIGKILL after it wrote its outputs, before it exited.
    runner = start("run", top, "--jobs", "4", "--morva", wrapper)
    os.kill(lib.wait_for_pid(os.path.join(top, "killed", "held.pid")), signal.SIGKILL)
    out, err = runner.communicate(timeout=60)
    t.check(runner.returncode == 1, f"run exits 1 ({runner.returncode}): {err}")
    rec = lib.load_record(os.path.join(top, "killed"))
    t.check(rec["state"] == "failed" and rec["last_line"] == "morva ended by signal 9 (SIGKILL)",
            f"a morva killed part way is recorded as failed: {rec['last_line']}")
    full = lib.load_record(os.path.join(top, "full"))
    t.check(full["state"] == "failed" and full["last_line"] == "*** write error on file: /dev/full",
            f"a full disk ends the flight as failed with the write error: {full['last_line']}")
    bad = lib.load_record(os.path.join(top, "bad"))
    t.check(bad["state"] == "failed" and bad["last_line"] == bad_line,
            f"a run control that is not valid fails with morva's own line: {bad['last_line']}")
    t.check(lib.load_record(os.path.join(top, "ok"))["state"] == "done" and not t.same_as_direct(os.path.join(top, "ok")),
            "the good flight beside them is done and equals a direct run")
    t.check(re.search(r"^ok +done .* 1$", t.run("status", top, "--morva", wrapper).stdout, re.M) is not None and
            "morva: warning: run through the test wrapper" in open(os.path.join(top, "ok", "morva.err")).read(),
            "morva's warnings are kept in the flight's folder and counted in the table")

    def files_of_ok():
        names = ["morva.log", "morva.err"] + t.runinfo_of(os.path.join(top, "ok"))["outputs"]
        return {n: lib.digest(os.path.join(top, "ok", n)) for n in names}, lib.load_record(os.path.join(top, "ok"))["started"]
    ok_files = files_of_ok()

    # The runner itself killed with SIGKILL (with its morva) part way: no
    # record, its lock left with a dead owner.
    os.unlink(os.path.join(top, "killed", "held.pid"))
    runner = start("run", top, "--morva", wrapper)
    held = lib.wait_for_pid(os.path.join(top, "killed", "held.pid"))
    os.killpg(runner.pid, signal.SIGKILL)
    runner.communicate()
    lib.wait_gone(held)
    t.check(not os.path.exists(os.path.join(top, "killed", "morva.done.json")) and
            os.path.exists(os.path.join(top, "killed", "morva.lock")),
            "a runner killed part way leaves no record, only its lock")
    status = t.run("status", top, "--morva", wrapper)
    t.check("killed  to do" in status.stdout, "the flight of the killed runner is to do, its lock stale:\n" + status.stdout)

    os.unlink(os.path.join(top, "killed", "hold"))
    again = t.run("run", top, "--morva", wrapper, "--only", "killed")
    t.check(again.returncode == 0 and "done     killed" in again.stdout and
            not t.same_as_direct(os.path.join(top, "killed")),
            "the next run takes the stale lock and runs the flight:\n" + again.stdout + again.stderr)
    t.check(files_of_ok() == ok_files, "nothing of another flight was touched")

    # Two runners at once on one campaign: every flight runs once.
    os.unlink(runs)
    pair = os.path.join(work, "pair")
    for i in range(6):
        t.simulate(os.path.join(pair, f"f{i}"), "--duration", "1", "--seed", str(i + 1))
    a, b = start("run", pair, "--jobs", "2", "--morva", wrapper), start("run", pair, "--jobs", "2", "--morva", wrapper)
    outs = [p.communicate(timeout=60)[0] for p in (a, b)]
    with open(runs) as f:
        ran = sorted(os.path.basename(ln.strip()) for ln in f)
    t.check(ran == [f"f{i}" for i in range(6)], f"two runners at once: every flight ran once ({ran})")
    done = sorted(ln.split()[1] for o in outs for ln in o.splitlines() if ln.startswith("done "))
    t.check(done == [f"f{i}" for i in range(6)], "each flight reported done by one runner:\n" + "\n".join(outs))
    t.check(t.run("status", pair, "--morva", wrapper).returncode == 0, "afterwards every flight is done")

    # Ctrl-C while an export (a Python program) writes its file, in a run
    # with --force over done flights: the runner stops, the export's
    # half-made files go, and the flights it stopped count as stopped.
    stop = os.path.join(work, "stop")
    for i in range(3):
        t.simulate(os.path.join(stop, f"f{i}"), "--duration", "1", "--seed", str(i + 1))
    export = ("import os, time\n"
              "if os.path.exists('slow'):\n"
              "    open('partial.out', 'w').write('half')\n"
              "    open('started', 'w').close()\n"
              "    time.sleep(60)\n"
              "open('made.out', 'w').write('whole')\n")
    with open(os.path.join(stop, "export.py"), "w") as f:
        f.write(export)
    with open(os.path.join(stop, "campaign.toml"), "w") as f:
        f.write(f'exports = ["/usr/bin/python3 {stop}/export.py"]\n')
    t.check(t.run("run", stop).returncode == 0, "interrupt: the campaign is done first")
    open(os.path.join(stop, "f0", "slow"), "w").close()
    runner = start("run", stop, "--force", "--jobs", "1")
    end = time.monotonic() + 30
    while not os.path.exists(os.path.join(stop, "f0", "started")) and time.monotonic() < end:
        time.sleep(0.05)
    runner.send_signal(signal.SIGINT)
    out, err = runner.communicate(timeout=60)
    with open(os.path.join(stop, "f0", "exports.log")) as f:
        log = f.read()
    # guards: a KeyboardInterrupt traceback in exports.log.
    t.check(runner.returncode == 130 and "Traceback" not in log and "KeyboardInterrupt" not in log,
            f"interrupt: exit 130, no traceback in exports.log:\n{log}")
    # guards: an interrupted export's half-made file was left beside the products.
    t.check(not os.path.exists(os.path.join(stop, "f0", "partial.out")) and
            not os.path.exists(os.path.join(stop, "f0", "started")), "interrupt: the stopped export's files are gone")
    # guards: the flights the stop kept from running were counted as done.
    t.check(out.splitlines()[-1].startswith("3 flights: 0 done, 0 failed, 3 stopped, 0 to do;"),
            f"interrupt: the summary counts the stopped flights:\n{out}{err}")
    after = t.run("status", stop).stdout
    t.check(re.search(r"^f0 +stopped .*export stopped: ", after, re.M) is not None and
            len(re.findall(r"^f[12] +done ", after, re.M)) == 2, f"interrupt: status afterwards:\n{after}")
    os.unlink(os.path.join(stop, "f0", "slow"))
    t.check(t.run("run", stop).returncode == 0, "interrupt: the next run completes the stopped flight")

    # A morva whose help lists --threads gets each flight's share of the cores.
    threads_log = os.path.join(work, "threads.log")
    threaded = os.path.join(work, "morva-threads")
    with open(threaded, "w") as f:
        f.write(f"""#!/bin/sh
case "$1" in --help) echo "  --threads N   scan-loop threads"; exit 0 ;; --version) exit 1 ;; esac
echo "$@" >> {threads_log}
while [ $# -gt 0 ]; do case "$1" in --threads) shift 2 ;; *) break ;; esac; done
exec {t.morva} "$@"
""")
    os.chmod(threaded, 0o755)
    t.run("run", pair, "--force", "--jobs", "1", "--morva", threaded, "--only", "f0")
    t.run("run", pair, "--force", "--jobs", str(os.cpu_count()), "--morva", threaded)
    with open(threads_log) as f:
        given = [ln.split() for ln in f]
    t.check(given[0] == ["--threads", str(os.cpu_count())] and
            all(g == ["--threads", str(max(1, os.cpu_count() // min(os.cpu_count(), 6)))] for g in given[1:]) and
            len(given) == 7, f"each flight gets its share of the cores with --threads: {given}")
finally:
    shutil.rmtree(work, ignore_errors=True)
t.finish()
