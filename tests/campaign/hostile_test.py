#!/usr/bin/python3
"""A campaign used as a careless or hostile user would: run controls whose
outputs reach into other flights, flight folders whose names hold
placeholders and shell syntax, export products deleted by hand, the runner
killed with kill -9, and the README's example right after the build."""
import json
import os
import re
import resource
import shutil
import signal
import stat
import subprocess
import tempfile

import campaign_testlib as lib

t = lib.Tools()
work = tempfile.mkdtemp(prefix="morva-campaign-hostile-")
BUILD = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(t.campaign))))
README = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, "README.md")
# Only the system's folders: the companions must be found through the build tree.
BARE_ENV = dict(os.environ, PATH="/usr/bin:/bin")


def set_line(flight, index, text):
    rc = os.path.join(flight, "run.in")
    with open(rc) as f:
        lines = f.read().split("\n")
    lines[index] = text
    with open(rc, "w") as f:
        f.write("\n".join(lines))


def status_line(top, flight):
    out = t.run("status", top, env=BARE_ENV).stdout
    m = re.search(r"^" + re.escape(flight) + r" +(\S+( do)?)(.*)$", out, re.M)
    return f"{m.group(1)}:{m.group(3).split('  ')[-1].strip()}" if m else out


try:
    # Run controls whose files collide: (flight, line of run.in to change,
    # its new text, the line the flight fails with). Line 3 is the scan-point
    # file, line 4 the centre-point file, line 1 the trajectory.
    collide = os.path.join(work, "collide")
    COLLISIONS = [
        ("fa", None, None, ""),
        # guards: a centre-point file in the neighbour's folder overwrote its results, both reported done.
        ("fb", 4, "../fa/centre.txt", "output ../fa/centre.txt lies outside the flight's folder"),
        ("nest", 3, "inner/points.bin", "output inner/points.bin is also an output of flight nest/inner"),
        ("nest/inner", None, None, "output points.bin is also an output of flight nest"),
        ("reader", 1, "../writer/centre.txt", "input ../writer/centre.txt is an output of flight writer"),
        ("writer", None, None, "output centre.txt is an input of flight reader"),
        ("null", 3, "/dev/null", ""),
    ]
    for rel, index, text, _ in COLLISIONS:
        t.simulate(os.path.join(collide, rel), "--duration", "1")
        if index is not None:
            set_line(os.path.join(collide, rel), index, text)
    before = lib.digest(os.path.join(collide, "fa", "centre.txt")) if os.path.exists(
        os.path.join(collide, "fa", "centre.txt")) else None
    run = t.run("run", collide, "--jobs", "2")
    for rel, _, _, line in COLLISIONS:
        rec = lib.load_record(os.path.join(collide, rel))
        want = ("failed", line) if line else ("done", "")
        t.check((rec["state"], rec["last_line"]) == want, f"collisions: {rel} is {want}: {rec['last_line']}")
    t.check(not t.same_as_direct(os.path.join(collide, "fa")), "collisions: fa's results are its own")
    t.check(not os.path.exists(os.path.join(collide, "fb", "morva.log")), "collisions: a refused flight never ran")

    # Flight folders named with placeholders and shell syntax, exports named
    # bare (found in the build tree with only the system's folders on PATH).
    names = os.path.join(work, "names")
    WEIRD = ["g{geodesy}h{bin}", "'; touch PWNED #", "plain"]
    for rel in WEIRD:
        t.simulate(os.path.join(names, rel), "--duration", "1")
    exports = ["echo {flight} > where.txt", "morva-quicklook --report morva.log {run_control} quicklook.png",
               "morva-las {geodesy} {run_control} points.las"]
    with open(os.path.join(names, "campaign.toml"), "w") as f:
        f.write("exports = [" + ", ".join(json.dumps(e) for e in exports) + "]\n")
    run = t.run("run", names, env=BARE_ENV, cwd=work)
    # guards: bare companion names failed with exit 127 in the build tree.
    t.check(run.returncode == 0, f"exports: every flight done with bare companion names:\n{run.stdout}{run.stderr}")
    for rel in WEIRD:
        flight = os.path.join(names, rel)
        with open(os.path.join(flight, "where.txt")) as f:
            where = f.read()
        # guards: placeholders expanded inside substituted text, a quote breaking out.
        t.check(where == flight + "\n", f"exports: {{flight}} is the folder's name as it is: {where!r}")
        rec = lib.load_record(flight)
        made = [(e["name"], e["sha256"] == lib.digest(os.path.join(flight, e["name"]))) for e in rec["products"]]
        # guards: export products untracked, a deleted one never rebuilt.
        t.check(made == [("points.las", True), ("quicklook.png", True), ("where.txt", True)],
                f"exports: the record holds each product with its digest: {made}")
    t.check(not any("PWNED" in files for _, _, files in os.walk(work)) and not os.path.exists("PWNED"),
            "exports: a quote and a ; in a folder name run nothing")
    os.unlink(os.path.join(names, "plain", "points.las"))
    t.check(status_line(names, "plain") == "stale:export product points.las missing",
            f"exports: a deleted product makes the flight stale: {status_line(names, 'plain')}")
    again = t.run("run", names, env=BARE_ENV)
    t.check("done     plain" in again.stdout and "2 skipped" in again.stdout and
            os.path.exists(os.path.join(names, "plain", "points.las")), "exports: the next run rebuilds it:\n" + again.stdout)

    # Outputs of report and status that would replace a campaign's file, a
    # device, a pipe or a folder: (output, what the one line says). Each is
    # refused with exit 1 before anything is written.
    os.mkfifo(os.path.join(work, "pipe"))
    os.symlink("/dev/null", os.path.join(work, "null-link"))
    # A device of the test's own (a runner that replaced it would not take
    # the system's /dev/null with it); only root may make one.
    device = os.path.join(work, "null-device")
    try:
        os.mknod(device, stat.S_IFCHR | 0o666, os.makedev(1, 3))
    except PermissionError:
        device = None
        t.check(True, "hostile outputs: not root, no device of the test's own (skipped)")
    HOSTILE_OUTPUTS = [
        # guards: report --output over a flight's scanner file exited 0 with the scanner file HTML.
        ("plain/scan.bin", "is the same file as flight plain's input"),
        ("plain/trajectory.txt", "is the same file as flight plain's input"),
        ("plain/geoid.txt", "is the same file as flight plain's input"),
        ("plain/run.in", "is the same file as flight plain's run control"),
        ("plain/centre.txt", "is the same file as flight plain's output"),
        # guards: the campaign's settings and a flight's record replaced by the report.
        ("campaign.toml", "is the same file as the campaign's settings"),
        ("plain/morva.done.json", "is the same file as flight plain's record of the campaign runner"),
        ("plain/morva.log", "is the same file as flight plain's record of the campaign runner"),
        ("plain/points.las", "is the same file as flight plain's export product"),
        # guards: /dev/null replaced by a regular file when run as root.
        (device, "null-device is not a regular file (a device)"),
        (os.path.join(work, "null-link"), "null-link is not a regular file (a device)"),
        (os.path.join(work, "pipe"), "pipe is not a regular file (a pipe)"),
        # guards: a folder or a missing folder ended in a Python traceback.
        (".", "is a folder"),
        ("nofolder/out", "cannot write nofolder/out: No such file or directory"),
    ]

    def tree(top):
        return {os.path.join(r, n): lib.digest(os.path.join(r, n)) for r, _, files in os.walk(top) for n in files}
    kept = tree(names)
    for command in (["report", names, "--output"], ["status", names, "--csv"]):
        for output, message in [row for row in HOSTILE_OUTPUTS if row[0]]:
            refused = t.run(*command, output, env=BARE_ENV, cwd=names)
            t.check(refused.returncode == 1 and refused.stderr.count("\n") == 1 and message in refused.stderr and
                    refused.stdout == "", f"hostile outputs: {command[0]} {command[2]} {output} is refused: "
                    f"{refused.returncode} {refused.stderr}{refused.stdout[:200]}")
    t.check(tree(names) == kept and (device is None or stat.S_ISCHR(os.stat(device).st_mode)) and
            stat.S_ISFIFO(os.stat(os.path.join(work, "pipe")).st_mode),
            "hostile outputs: no file of the campaign, no device and no pipe was touched")
    # A link to a regular file writes that file; the link stays.
    with open(os.path.join(work, "real.csv"), "w") as f:
        f.write("old\n")
    os.symlink(os.path.join(work, "real.csv"), os.path.join(work, "link.csv"))
    linked = t.run("status", names, "--csv", os.path.join(work, "link.csv"), env=BARE_ENV)
    with open(os.path.join(work, "real.csv")) as f:
        written = f.read()
    t.check(linked.returncode == 0 and os.path.islink(os.path.join(work, "link.csv")) and
            written.startswith("flight,state,run control,"), f"hostile outputs: a link's file is written: {written}")
    # A full disk, as a file size limit: one line, the old file kept.
    def small_files():
        resource.setrlimit(resource.RLIMIT_FSIZE, (200, 200))
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    for command in (["report", names, "--output"], ["status", names, "--csv"]):
        full = subprocess.run([t.campaign, *command, os.path.join(work, "real.csv")], capture_output=True, text=True,
                              env=BARE_ENV, preexec_fn=small_files)
        with open(os.path.join(work, "real.csv")) as f:
            still = f.read()
        # guards: a full disk ended the report in a Python traceback.
        t.check(full.returncode == 1 and full.stderr == f"morva-campaign: cannot write {work}/real.csv: File too large\n"
                and still == written, f"full disk: {command[0]} says so in one line: {full.stderr}")
    t.check(not [n for _, _, files in os.walk(work) for n in files if n.endswith(".partial")],
            "hostile outputs: no temporary is left")

    # Messages: --only matching nothing, a failed flight whose input came back.
    only = t.run("run", names, "--only", "nothing*", env=BARE_ENV)
    t.check(only.returncode == 1 and only.stderr == f"morva-campaign: no flight below {names} matches --only 'nothing*'\n",
            f"messages: --only matching nothing says so: {only.stderr}")
    broken = os.path.join(names, "plain")
    os.rename(os.path.join(broken, "trajectory.txt"), os.path.join(broken, "trajectory.kept"))
    t.run("run", names, "--force", "--only", "plain", env=BARE_ENV)
    t.check(status_line(names, "plain").startswith("failed:*** cannot open file: trajectory.txt"),
            f"messages: the flight failed: {status_line(names, 'plain')}")
    os.rename(os.path.join(broken, "trajectory.kept"), os.path.join(broken, "trajectory.txt"))
    # guards: a failed flight showed failed after its inputs changed.
    t.check(status_line(names, "plain") == "stale:input trajectory.txt appeared",
            f"messages: a failed flight whose input changed since is stale: {status_line(names, 'plain')}")

    # The run control named in campaign.toml decides what is done; an export
    # added later runs alone, each flight with its own point source ID.
    calib = os.path.join(work, "calib")
    for rel in ("a", "b"):
        t.simulate(os.path.join(calib, rel), "--duration", "1", "--seed", str(len(rel) + ord(rel[0])))
    runs = os.path.join(work, "calib-runs.log")
    logged = lib.holding_wrapper(t, work, runs)
    t.run("run", calib, "--morva", logged)
    for rel in ("a", "b"):
        with open(os.path.join(calib, rel, "run.in")) as f:
            lines = f.read().split("\n")
        lines[11] = "0.1 -0.05 0.2                 dpitch droll dheading (degrees)"
        with open(os.path.join(calib, rel, "run.boresight.in"), "w") as f:
            f.write("\n".join(lines))
    with open(os.path.join(calib, "campaign.toml"), "w") as f:
        f.write('run_control = "run.boresight.in"\n')
    changed = t.run("status", calib, "--morva", logged).stdout
    # guards: a changed run_control left every flight done with its uncalibrated outputs.
    t.check(re.search(r"^a +stale +run.in +0 0 0 .*run control changed \(run.in, now run.boresight.in\)$", changed,
                      re.M) is not None, f"run control: a new run_control makes the flights stale:\n{changed}")
    t.run("run", calib, "--morva", logged)
    shown = t.run("status", calib, "--morva", logged).stdout
    # guards: status did not say which run control and angles a flight was processed with.
    t.check(len(re.findall(r"^[ab] +done +run.boresight.in +0.1 -0.05 0.2 ", shown, re.M)) == 2,
            f"run control: status shows the run control and the angles each flight used:\n{shown}")
    with open(runs) as f:
        morva_runs = len(f.readlines())
    with open(os.path.join(calib, "campaign.toml"), "a") as f:
        f.write('exports = ["echo {point_source_id} > id.txt"]\n')
    added = t.run("run", calib, "--morva", logged)
    with open(runs) as f:
        after = len(f.readlines())
    ids = []
    for rel in ("a", "b"):
        with open(os.path.join(calib, rel, "id.txt")) as f:
            ids.append(f.read().strip())
    # guards: adding an export ran morva again on every flight.
    t.check(added.returncode == 0 and after == morva_runs == 4 and ids == ["1", "2"],
            f"exports: an added export runs alone ({after - morva_runs} morva runs), point source IDs {ids}:\n"
            + added.stdout)
    os.unlink(os.path.join(calib, "b", "id.txt"))
    again = t.run("run", calib, "--morva", logged, "--only", "b")
    with open(os.path.join(calib, "b", "id.txt")) as f:
        kept_id = f.read().strip()
    with open(runs) as f:
        after = len(f.readlines())
    t.check(again.returncode == 0 and kept_id == "2" and after == 4,
            f"exports: a lost product is made again alone, the flight keeps its ID ({kept_id}):\n{again.stdout}")

    # The report of a calibration campaign processed with calibrated angles,
    # one of its flights failed.
    report_top = os.path.join(work, "report")
    t.simulate(report_top, "--calibration-campaign", "--duration", "4", "--misalign-truth", "0.1,-0.05,0.2")
    for rel in os.listdir(report_top):
        flight = os.path.join(report_top, rel)
        if os.path.isdir(flight):
            with open(os.path.join(flight, "run.in")) as f:
                lines = f.read().split("\n")
            lines[11] = "0.1 -0.05 0.2                 dpitch droll dheading (degrees)"
            with open(os.path.join(flight, "run.boresight.in"), "w") as f:
                f.write("\n".join(lines))
    with open(os.path.join(report_top, "campaign.toml"), "a") as f:
        f.write('run_control = "run.boresight.in"\n')
    os.rename(os.path.join(report_top, "4-cross", "trajectory.txt"), os.path.join(report_top, "4-cross", "t.kept"))
    t.run("run", report_top, env=BARE_ENV)
    page_run = t.run("report", report_top, env=BARE_ENV)
    with open(os.path.join(report_top, "campaign-report.html")) as f:
        page = f.read()
    flights_rows = re.findall(r"<tr><td class='l'>(\d-\w+)</td><td class='l'>(\w+).*?</tr>", page)
    # guards: the report showed 0, 0, 0 for flights processed with calibrated angles.
    t.check(page_run.returncode == 0 and page.count("<td class='l'>0.1, -0.05, 0.2</td>") == 4 and
            [s for _, s in flights_rows[:4]] == ["done", "done", "done", "failed"],
            f"report: each flight's angles as processed: {flights_rows[:4]}")
    def overlap_rows(text):
        """(A, B, smooth cells, verdict) of each pair, then (flight, verdict)."""
        part = text.partition("<h2>Strip overlaps</h2>")[2]
        pairs = re.findall(r"<tr><td class='l'>([^<]*)</td><td class='l'>([^<]*)</td><td>[-\d]+</td><td>([-\d]+)</td>"
                           r".*?<td class='l[^']*'>([^<]*)</td></tr>", part)
        each = re.findall(r"<tr><td class='l'>([^<]*)</td><td>[-.\d]+</td><td class='l[^']*'>([^<]*)</td>", part)
        return pairs, each
    pairs, each = overlap_rows(page)
    # guards: one failed flight removed the strip-overlap section.
    t.check("No overlap check" not in page and len(pairs) == 3 and len(each) == 3 and
            all("4-cross" not in a + b for a, b, *_ in pairs), f"report: the done flights are compared: {pairs}")
    # guards: at 2 m cells no pair had smooth cells, yet the pairs and their flights said "pass".
    t.check(all(smooth == "0" and v.startswith("not tested (0 smooth cells") for _, _, smooth, v in pairs) and
            all(v == "not tested" for _, v in each), f"report: pairs and flights without smooth cells: {pairs} {each}")
    t.check("None" not in re.sub(r"src='[^']*'", "", page), "report: no figure prints as None")

    # The runner killed with kill -9 while its morva (behind a wrapper that
    # started a child of its own) runs: both go with it, and the lock frees.
    killed = os.path.join(work, "killed")
    t.simulate(os.path.join(killed, "f"), "--duration", "1")
    wrapper = os.path.join(work, "morva-lingering")
    with open(wrapper, "w") as f:
        f.write(f"""#!/bin/sh
case "$1" in --version|--help) exec {t.morva} "$@" ;; esac
sleep 300 &
echo $! > grandchild.pid
echo $$ > wrapper.pid
wait
""")
    os.chmod(wrapper, 0o755)
    runner = subprocess.Popen([t.campaign, "run", killed, "--morva", wrapper], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, start_new_session=True)
    grandchild = lib.wait_for_pid(os.path.join(killed, "f", "grandchild.pid"))
    child = lib.wait_for_pid(os.path.join(killed, "f", "wrapper.pid"))
    held = t.run("status", killed, "--morva", wrapper).stdout
    runner.kill()
    runner.wait()
    # guards: morva and export children ran on after the runner was killed.
    t.check(lib.wait_gone(child) and lib.wait_gone(grandchild), "kill -9: the runner's children and theirs are gone")
    t.check(re.search(r"^f +running", held, re.M) is not None and "to do" in t.run("status", killed).stdout,
            f"kill -9: the lock was held while they ran, free after:\n{held}")

    # The figures of the table come from morva's own record of the run, not
    # from its console text (here led by lines that lie).
    help_text = subprocess.run([t.morva, "--help"], stdin=subprocess.DEVNULL, capture_output=True, text=True).stdout
    if "--metadata" in help_text:
        figures = os.path.join(work, "figures")
        t.simulate(os.path.join(figures, "f"), "--duration", "2", "--ground", "0.5", "--roll", "0.5", "--icalib", "2")
        liar = os.path.join(work, "morva-liar")
        with open(liar, "w") as f:
            f.write(f"""#!/bin/sh
case "$1" in --version|--help) exec {t.morva} "$@" ;; esac
echo "Total number of points output: 1"
echo "bias: 9.99 m, slope (roll0): 9.99"
exec {t.morva} "$@"
""")
        os.chmod(liar, 0o755)
        t.run("run", figures, "--morva", liar, "--geodesy", "ellipsoid")
        flight = os.path.join(figures, "f")
        rec = lib.load_record(flight)
        with open(os.path.join(flight, "morva.metadata.json")) as f:
            meta = json.load(f)
        got = (rec["summary"]["points"], rec["summary"]["bias"], rec["summary"]["geodesy"])
        want = (meta["report"]["points_output"], meta["report"]["regression"]["bias_m"], "ellipsoid")
        # guards: the table's figures were read from the console text.
        t.check(rec["state"] == "done" and got == want and want[0] > 1000 and "--metadata" in rec["command"],
                f"metadata: the record's figures are morva's run record's: {got} {want}")
    else:
        t.check(True, "metadata: this morva writes no run record (skipped)")

    # The README's examples, the campaign's last, right after the README's build.
    with open(README) as f:
        text = f.read()
    block = re.search(r"One example each, from the source folder.*?\n\n((?:    .*\n)+)", text).group(1)
    example = os.path.join(work, "readme")
    os.makedirs(example)
    os.symlink(BUILD, os.path.join(example, "build"))
    shown = subprocess.run(["/bin/sh", "-ec", block], cwd=example, capture_output=True, text=True, env=BARE_ENV)
    t.check(shown.returncode == 0 and "2 flights: 2 done, 0 failed, 0 to do" in shown.stdout and
            os.path.exists(os.path.join(example, "campaign/line2/points.las")),
            f"README: the campaign example works in the build tree:\n{block}{shown.stdout}{shown.stderr}")
finally:
    shutil.rmtree(work, ignore_errors=True)
t.finish()
