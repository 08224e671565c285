#!/usr/bin/python3
"""Boresight calibration end to end, against independent oracles.

Every case flies its own small campaign with morva-sim (the calibration
pattern: four flights over roofs, 2 cm range noise, a truth misalignment,
run controls stating zero), edits its run controls as the case says, and
checks morva-boresight against what the case expects:

- estimate: every angle within 0.001 degrees of the simulator's truth and
  within three of its stated standard deviations; the console report equal
  to the --json report; with navg 1, every flight reprocessed by morva with
  its calibrated run control passing morva-sim --verify within the noise.
- points: the points morva-boresight recomputes at the run control's
  angles (--dump-points) byte for byte morva's own scan-point file.
- refusal: exit 1 and one line on standard error starting with the text
  expected; where an angle is refused, no number for it in the JSON.
- writes: the outputs written beside links named like temporaries, the
  links and the files they lead to untouched.

Usage: calibration_test.py MORVA_SIM MORVA MORVA_BORESIGHT MORVA_CAMPAIGN
                           [--list | --case NAME | --matrix]
(--list: the case names, one a line, for CTest; --case: that case alone;
--matrix: twelve estimates over both heights, both geodesies and drawn
truths instead of the table.)"""
import hashlib
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

ANGLES = ("dpitch", "droll", "dheading")

# Flights: the smallest that still determine the angles. The 1000 m flights
# scan denser over larger roofs so that roof faces still hold patches; with
# averaging at 300 m the scans are denser so that the averaged points are as
# many as single ones would be.
FLIGHT = {
    "300": ["--height", "300", "--duration", "12"],
    "300 dense": ["--height", "300", "--duration", "12", "--nmeas", "500"],
    "1000": ["--height", "1000", "--duration", "10", "--nmeas", "500", "--roofs", "100"],
}
ROOFS = ["--surface", "roofs", "--range-noise", "0.02"]
FLAT = ["--surface", "flat", "--range-noise", "0.02"]
TRUTH = (0.1, -0.15, 0.18)

# Known truth. name: (flight, surface, truth (P, R, H), geodesy, navg,
# misalignment the run controls state (the start), slow, morva-boresight's
# options: with navg 3 each point costs three measurements, so fewer a patch)
ZERO = (0, 0, 0)
ESTIMATES = {
    "300m-flat": ("300", ROOFS, (0.12, -0.17, 0.15), "flat", 1, ZERO, False, []),
    "1000m-ellipsoid": ("1000", ROOFS, (-0.08, 0.19, -0.16), "ellipsoid", 1, ZERO, True, []),
    "300m-ellipsoid-navg2-stated": ("300 dense", ROOFS, (0.1, -0.15, 0.18), "ellipsoid", 2, (0.05, -0.1, 0.3), True, []),
    "1000m-flat-navg3": ("1000", ROOFS, (0.05, 0.2, -0.1), "flat", 3, ZERO, True, ["--max-points", "40"]),
    "1000m-flat": ("1000", ROOFS, (0.1466, -0.0391, 0.1922), "flat", 1, ZERO, True, []),
    "300m-ellipsoid": ("300", ROOFS, (-0.1894, 0.0734, -0.0437), "ellipsoid", 1, ZERO, True, []),
}

# morva's own scan points as the oracle: one flight (1-along), its run
# control edited. name: (flight, geodesy, navg, iout_type, latmin cut, guards,
# the geodesy told by the run's record instead of --geodesy)
POINTS = {
    "navg1-binary": ("300", "flat", 1, 2, False, None),
    # guards: with navg above 1 the calibration recomputed single measurements, not morva's averaged points
    "navg3-binary": ("300", "flat", 3, 2, False, "navg"),
    # guards: measurements rejected inside a group (the area bound crossing a scan) leave the groups as morva's
    "navg4-text-area-cut": ("300", "ellipsoid", 4, 1, True, "navg"),
    "navg2-ellipsoid-1000m": ("1000", "ellipsoid", 2, 2, False, "navg"),
    # guards: a flight run in the ellipsoid mode recomputed flat when --geodesy was not repeated
    "ellipsoid-from-campaign-record": ("300", "ellipsoid", 1, 2, False, "geodesy", "campaign record"),
    "ellipsoid-from-given-record": ("300", "ellipsoid", 1, 2, False, "geodesy", "given record"),
}

# Refusals: exit 1 with the one line. name: (surface, flights used, edits,
# extra arguments, expected start of the line after "morva-boresight: ").
# Flights are named by folder; {top} is the campaign's folder.
ALL = ["1-along", "2-back", "3-parallel", "4-cross"]
REFUSALS = {
    "one-flight": (ROOFS, ["1-along"], {}, [],
                   "dpitch and droll and dheading cannot be determined: one flight"),
    "one-way-level": (FLAT, ["1-along", "3-parallel"], {}, [],
                      "dpitch cannot be determined: every flight runs one way (tracks within 0 degrees of 30) "
                      "and every tie patch is level"),
    "too-few-patches": (ROOFS, ALL, {}, ["--max-patches", "5"],
                        "dpitch and droll and dheading cannot be determined: too few tie patches (5, at least 10)"),
    "missing-run-control": (ROOFS, ["1-along", "9-none"], {}, [],
                            "{top}/9-none/run.in: cannot read the run control"),
    # guards: a missing trajectory was reported with the flight's name twice ("RUN: its inputs: RUN: cannot ...")
    "missing-trajectory": (ROOFS, ALL, {"2-back": "no trajectory"}, [],
                           "{top}/2-back/run.in: cannot read its trajectory {top}/2-back/trajectory.txt"),
    "missing-scanner-file": (ROOFS, ALL, {"3-parallel": "no scanner file"}, [],
                             "{top}/3-parallel/run.in: cannot read its scanner file {top}/3-parallel/scan.bin"),
    "unreadable-scanner-file": (ROOFS, ALL, {"3-parallel": "scanner file cut"}, [],
                                "{top}/3-parallel/run.in: its scanner file: "),
    "other-scanner": (ROOFS, ALL, {"4-cross": "other scanner"}, [],
                      "{top}/4-cross/run.in: another scanner than {top}/1-along/run.in"),
    "other-lever-arm": (ROOFS, ALL, {"2-back": "lever arm"}, [],
                        "{top}/2-back/run.in: another lever arm than {top}/1-along/run.in (offx offy offz)"),
    "calibrated-copy-exists": (ROOFS, ALL, {"3-parallel": "calibrated copy exists"}, ["--write-run-controls"],
                               "{top}/3-parallel/run.boresight.in"),
    "calibrated-copy-names-an-input": (ROOFS, ALL, {"1-along": "centre file run.boresight.in"},
                                       ["--write-run-controls"],
                                       "{top}/1-along/run.boresight.in is the same file as the run control's "
                                       "centre-point file"),
    "json-over-an-input": (ROOFS, ALL, {}, ["--json", "{top}/2-back/trajectory.txt"],
                           "{top}/2-back/trajectory.txt is the same file as the run control's trajectory"),
    "dump-exists": (ROOFS, ["1-along"], {"1-along": "dump exists"}, ["--dump-points"],
                    "{top}/1-along/run.in.points: exists already"),
    # guards: the flights' geodesy ignored: --geodesy taken over what the runs' records say
    "geodesy-contradicts-record": (ROOFS, ALL, {"2-back": "record ellipsoid"}, ["--geodesy", "flat"],
                                   "{top}/2-back/run.in: --geodesy flat contradicts the run's record "
                                   "{top}/2-back/morva.metadata.json: the run used --geodesy ellipsoid"),
    # guards: flights processed in two geodesies calibrated as one
    "flights-in-two-geodesies": (ROOFS, ALL, {"1-along": "record flat", "3-parallel": "record ellipsoid"}, [],
                                 "{top}/3-parallel/run.in: its run was georeferenced with --geodesy ellipsoid, that "
                                 "of {top}/1-along/run.in with flat"),
    # guards: the calibrated copies were written one by one, and a stop after them (here the report's folder
    # missing) left them behind, so that the rerun was refused with "exists already"
    "json-in-a-missing-folder": (ROOFS, ALL, {}, ["--write-run-controls", "--json", "{top}/missing/r.json"],
                                 "{top}/missing/r.json: cannot create a file in {top}/missing/: No such file"),
}

# Outputs beside links named like temporaries. name: (options, the links
# made beside each run control (name: the file of the flight it leads to)).
WRITES = {
    # guards: fixed temporary names (.check~, .part~) followed a link and turned the trajectory into a run control
    "links-named-like-temporaries": (["--write-run-controls"], {"run.boresight.in.check~": "trajectory.txt",
                                                                "run.boresight.in.part~": "trajectory.txt"}),
    # guards: the same for the JSON report's temporary
    "json-beside-a-link": (["--json", "{top}/1-along/r.json"], {"r.json.part~": "trajectory.txt"}),
    # guards: the same for the points' temporary
    "dump-beside-a-link": (["--dump-points"], {"run.in.points.part~": "trajectory.txt"}),
}


def cases():
    out = [("estimate/" + k, v[6]) for k, v in ESTIMATES.items()]
    out += [("points/" + k, False) for k in POINTS] + [("refusal/" + k, False) for k in REFUSALS]
    out += [("writes/" + k, False) for k in WRITES]
    return out


def run(*args, cwd=None):
    return subprocess.run([str(a) for a in args], cwd=cwd, capture_output=True, text=True)


class Case:
    def __init__(self, name, tools):
        self.name, self.failures = name, []
        self.sim, self.morva, self.boresight, self.campaign = tools

    def check(self, ok, what):
        if not ok:
            self.failures.append(f"{self.name}: {what}")
        return ok

    def fly(self, top, options, truth, geodesy):
        made = run(self.sim, "--calibration-campaign", *options, "--misalign-truth", ",".join(map(str, truth)),
                   "--geodesy", geodesy, top)
        if not self.check(made.returncode == 0, f"the campaign is written: {made.stderr}"):
            raise SystemExit(1)


def edit_run_control(path, key, values):
    """Sets the leading values of the run control line whose comment starts with `key`."""
    with open(path) as f:
        lines = f.read().split("\n")
    for k, line in enumerate(lines):
        if key in line and line.index(key) > 0:
            n = len(values)
            old = line[:line.index(key)].split()
            lines[k] = " ".join(values + old[n:]).ljust(30) + line[line.index(key):]
            break
    else:
        raise ValueError(f"{path}: no line {key}")
    with open(path, "w") as f:
        f.write("\n".join(lines))


def set_navg(path, navg, iout_type=None):
    with open(path) as f:
        old = next(line for line in f if "navg nthin iout_type" in line).split()
    values = [str(navg), old[1], str(iout_type if iout_type is not None else old[2])]
    edit_run_control(path, "navg nthin iout_type", values)


def console_matches_json(case, text, r):
    """The console report states what the JSON does, to its printed digits."""
    for angle in ANGLES:
        m = re.search(rf"^  {angle} +(-?\d+\.\d+) +(-?\d+\.\d+) +(-?\d+\.\d+)$", text, re.M)
        a = r["misalignment_degrees"][angle]
        case.check(m is not None and abs(float(m[1]) - a["start"]) <= 5e-7 and abs(float(m[2]) - a["estimate"]) <= 5e-7
                   and abs(float(m[3]) - a["sigma"]) <= 5e-7, f"console {angle} line equals the JSON {a}")
    m = re.search(r"^point-to-plane RMS: before (\d+\.\d+) m, after (\d+\.\d+) m \((\d+) points", text, re.M)
    rms = r["rms_point_to_plane_m"]
    case.check(m is not None and abs(float(m[1]) - rms["before"]) <= 5e-5 and abs(float(m[2]) - rms["after"]) <= 5e-5
               and int(m[3]) == r["points"], f"console RMS line equals the JSON {rms}, {r['points']} points")
    for pair in r["patches_per_pair"]:
        line = f"  {pair['flights'][0]} & {pair['flights'][1]}: {pair['patches']}\n"
        case.check(line in text, f"console lists {line.strip()}")
    for name, c in r["correlation"].items():
        shown = re.search(rf"{name.replace('_', '-')} (-?\d\.\d+)", text)
        case.check(shown is not None and abs(float(shown[1]) - c) <= 5e-4, f"console correlation {name} = {c}")


def estimate_case(case, top, flight, surface, truth, geodesy, navg, stated, options):
    case.fly(top, FLIGHT[flight] + surface, truth, geodesy)
    flights = [os.path.join(top, f, "run.in") for f in ALL]
    for f in flights:
        set_navg(f, navg)
        if stated != ZERO:
            edit_run_control(f, "dpitch droll dheading", [str(a) for a in stated])
    report = os.path.join(top, "boresight.json")
    got = run(case.boresight, "--geodesy", geodesy, "--json", report, "--write-run-controls", *options, *flights)
    if not case.check(got.returncode == 0, f"morva-boresight exits 0: {got.stdout}{got.stderr}"):
        return
    with open(report) as f:
        r = json.load(f)
    console_matches_json(case, got.stdout, r)
    line = []
    for k, angle in enumerate(ANGLES):
        a = r["misalignment_degrees"][angle]
        case.check(a["start"] == stated[k], f"{angle} starts from the stated {stated[k]}: {a['start']}")
        error = a["estimate"] - truth[k]
        line.append(f"{angle} {a['estimate']:.6f} (truth {truth[k]}, error {error:+.6f}, sigma {a['sigma']:.6f})")
        case.check(abs(error) <= 0.001, f"{angle} {a['estimate']:.6f} within 0.001 of the truth {truth[k]}")
        # guards: sigmas scaled by residuals that understated the noise (patches chosen for their small fit RMS)
        case.check(abs(error) <= 3 * a["sigma"], f"{angle} error {error:+.6f} within 3 sigma ({a['sigma']:.6f})")
    print(f"{case.name}: " + "; ".join(line) + f"; RMS {r['rms_point_to_plane_m']['before']:.4f} -> "
          f"{r['rms_point_to_plane_m']['after']:.4f} m, {r['patches']['count']} patches")
    case.check(r["rms_point_to_plane_m"]["after"] < 0.03, "RMS after within the noise")
    if navg == 1:
        # The range residuals' standard deviation is the simulator's 2 cm
        # range noise (the 2 mm range unit adds 0.6 mm in quadrature).
        # guards: the patches of smallest fit RMS taken first, their residuals 7 % below the noise
        case.check(abs(r["residual_sigma_m"] - 0.02) <= 0.001,
                   f"range residual standard deviation {r['residual_sigma_m']:.4f} m is the 0.02 m noise")
    case.check(len(r["patches_per_pair"]) == 6 and all(p["patches"] > 0 for p in r["patches_per_pair"]),
               f"patches tie every pair of the four flights: {r['patches_per_pair']}")
    for f in ALL:
        folder = os.path.join(top, f)
        with open(os.path.join(folder, "run.in")) as a, open(os.path.join(folder, "run.boresight.in")) as b:
            old, new = a.read().splitlines(), b.read().splitlines()
        changed = [k for k in range(len(old)) if old[k] != new[k]]
        case.check(len(old) == len(new) and len(changed) == 1 and "dpitch droll dheading" in new[changed[0]],
                   f"{f}/run.boresight.in differs from run.in in its misalignment line only")
    again = run(case.boresight, "--write-run-controls", *flights)
    case.check(again.returncode == 1 and "exists already" in again.stderr,
               f"a second --write-run-controls never writes over the first: {again.stderr}")
    if navg != 1:
        return  # the simulator verifies single measurements only
    # Reprocess the campaign with the calibrated run controls, then check each.
    with open(os.path.join(top, "campaign.toml"), "a") as settings:
        settings.write('run_control = "run.boresight.in"\n')
    ran = run(case.campaign, "run", top, "--morva", case.morva)
    case.check(ran.returncode == 0 and ran.stdout.count("done ") == 4,
               f"morva-campaign reprocesses the four with run.boresight.in: {ran.stdout}{ran.stderr}")
    for f in ALL:
        verified = run(case.sim, "--verify", os.path.join(top, f), "--run-control", "run.boresight.in")
        case.check(verified.returncode == 0, f"{f} passes --verify with the estimate: {verified.stdout}")


def run_with_record(case, folder, geodesy, record="morva.metadata.json"):
    """morva run in the folder with its record of the run."""
    ran = run(case.morva, "--geodesy", geodesy, "--metadata", record, "run.in", cwd=folder)
    case.check(ran.returncode == 0, f"morva runs in {folder}: {ran.stdout[-300:]}{ran.stderr}")


def points_case(case, top, flight, geodesy, navg, iout_type, area_cut, record=None):
    case.fly(top, FLIGHT[flight] + ROOFS, TRUTH, geodesy)
    folder = os.path.join(top, "1-along")
    run_in = os.path.join(folder, "run.in")
    # The misalignment stated: the points are recomputed at the run control's angles.
    edit_run_control(run_in, "dpitch droll dheading", ["0.05", "-0.03", "0.11"])
    set_navg(run_in, navg, iout_type)
    if area_cut:  # the southern bound crosses the track: scans enter the area midway
        with open(os.path.join(folder, "trajectory.txt")) as f:
            lats = [float(line.split()[1]) for line in f if line.strip()]
        edit_run_control(run_in, "latmin latmax", [f"{lats[len(lats) // 2]:.6f}"])
    if record is None:
        ran = run(case.morva, "--geodesy", geodesy, "run.in", cwd=folder)
        if not case.check(ran.returncode == 0, f"morva runs: {ran.stdout}{ran.stderr}"):
            return
        got = run(case.boresight, "--geodesy", geodesy, "--dump-points", run_in)
    else:  # the geodesy from the run's record, beside the run control or given
        name = "morva.metadata.json" if record == "campaign record" else "r.json"
        run_with_record(case, folder, geodesy, name)
        given = ["--metadata", os.path.join(folder, name)] if record == "given record" else []
        got = run(case.boresight, *given, "--dump-points", run_in)
        case.check(f"geodesy {geodesy} from the runs' records" in got.stderr, f"the geodesy told: {got.stderr}")
    if not case.check(got.returncode == 0, f"--dump-points exits 0: {got.stdout}{got.stderr}"):
        return
    scanpt = "points.bin"
    with open(os.path.join(folder, scanpt), "rb") as a, open(run_in + ".points", "rb") as b:
        ours, theirs = b.read(), a.read()
    same = ours == theirs and len(ours) > 0
    at = next((k for k in range(min(len(ours), len(theirs))) if ours[k] != theirs[k]), min(len(ours), len(theirs)))
    case.check(same, f"the recomputed points equal morva's {scanpt} ({len(ours)} and {len(theirs)} bytes, "
               f"first difference at byte {at})")
    print(f"{case.name}: {got.stdout.strip()}, {len(ours)} bytes equal to morva's")


def refusal_case(case, top, surface, used, edits, extra, expected):
    if any(e == "other scanner" for e in edits.values()):
        case.fly(os.path.join(top, "other"), FLIGHT["300"] + surface + ["--nmeas", "300"], TRUTH, "flat")
    case.fly(top, FLIGHT["300"] + surface, TRUTH, "flat")
    for f, edit in edits.items():
        folder = os.path.join(top, f)
        if edit == "no trajectory":
            os.remove(os.path.join(folder, "trajectory.txt"))
        elif edit == "no scanner file":
            os.remove(os.path.join(folder, "scan.bin"))
        elif edit == "scanner file cut":
            with open(os.path.join(folder, "scan.bin"), "r+b") as s:
                s.truncate(40)
        elif edit == "other scanner":
            shutil.rmtree(folder)
            shutil.copytree(os.path.join(top, "other", f), folder)
        elif edit == "lever arm":
            edit_run_control(os.path.join(folder, "run.in"), "offx offy offz", ["0.25", "0", "0"])
        elif edit == "calibrated copy exists":
            open(os.path.join(folder, "run.boresight.in"), "w").close()
        elif edit == "centre file run.boresight.in":
            with open(os.path.join(folder, "run.in")) as s:
                text = s.read()
            with open(os.path.join(folder, "run.in"), "w") as s:
                s.write(text.replace("centre.txt", "run.boresight.in", 1))
        elif edit == "dump exists":
            open(os.path.join(folder, "run.in.points"), "w").close()
        elif edit.startswith("record "):
            run_with_record(case, folder, edit.split()[1])
    report = os.path.join(top, "refusal.json")
    json_wanted = "--json" not in extra and "--dump-points" not in extra
    args = [a.replace("{top}", top) for a in extra] + (["--json", report] if json_wanted else [])
    got = run(case.boresight, *args, *[os.path.join(top, f, "run.in") for f in used])
    line = "morva-boresight: " + expected.replace("{top}", top)
    case.check(got.returncode == 1 and got.stderr.startswith(line) and got.stderr.count("\n") == 1,
               f"exit 1 with '{line}': status {got.returncode}, {got.stderr}")
    if "cannot be determined" in expected:
        with open(report) as f:
            r = json.load(f)
        case.check(not r["determined"] and all("estimate" not in r["misalignment_degrees"][a] for a in ANGLES),
                   "the JSON gives no estimate")
    for f in ALL:  # a refusal writes nothing beside the run controls
        if edits.get(f) not in ("calibrated copy exists", "dump exists"):
            case.check(not os.path.exists(os.path.join(top, f, "run.boresight.in")) and
                       not os.path.exists(os.path.join(top, f, "run.in.points")), f"nothing written beside {f}/run.in")
    print(f"{case.name}: {got.stderr.strip()}")


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def writes_case(case, top, options, links):
    case.fly(top, FLIGHT["300"] + ROOFS, TRUTH, "flat")
    before = {}
    for f in ALL:
        folder = os.path.join(top, f)
        for name, target in links.items():
            os.symlink(target, os.path.join(folder, name))
        before[f] = digest(os.path.join(folder, "trajectory.txt"))
    args = [a.replace("{top}", top) for a in options]
    used = ALL[:1] if "--dump-points" in options else ALL
    got = run(case.boresight, *args, *[os.path.join(top, f, "run.in") for f in used])
    case.check(got.returncode == 0, f"exits 0: {got.stdout}{got.stderr}")
    for f in ALL:
        folder = os.path.join(top, f)
        case.check(digest(os.path.join(folder, "trajectory.txt")) == before[f], f"{f}/trajectory.txt unchanged")
        for name, target in links.items():
            path = os.path.join(folder, name)
            case.check(os.path.islink(path) and os.readlink(path) == target, f"{f}/{name} still a link to {target}")
        left = [n for n in os.listdir(folder) if "morva-tmp" in n]
        case.check(not left, f"no temporaries left in {f}: {left}")
    for output in ([os.path.join(top, f, "run.boresight.in") for f in ALL] if "--write-run-controls" in options
                   else [os.path.join(top, "1-along", "run.in.points")] if "--dump-points" in options
                   else [args[args.index("--json") + 1]]):
        case.check(os.path.isfile(output) and not os.path.islink(output) and os.path.getsize(output) > 0,
                   f"{output} written")
    print(f"{case.name}: {got.stdout.strip().splitlines()[-1] if got.stdout.strip() else got.stderr.strip()}")


def run_case(name, tools, work):
    case = Case(name, tools)
    kind, key = name.split("/", 1)
    top = os.path.join(work, "campaign")
    try:
        if kind == "estimate":
            flight, surface, truth, geodesy, navg, stated, _, options = ESTIMATES[key]
            estimate_case(case, top, flight, surface, truth, geodesy, navg, stated, options)
        elif kind == "points":
            points_case(case, top, *POINTS[key][:5], *POINTS[key][6:])
        elif kind == "writes":
            writes_case(case, top, *WRITES[key])
        else:
            refusal_case(case, top, *REFUSALS[key])
    except SystemExit:
        pass
    return case.failures


def main():
    tools = [os.path.abspath(a) for a in sys.argv[1:5]]
    rest = sys.argv[5:]
    if "--list" in rest:
        for name, slow in cases():
            print(name, "slow" if slow else "")
        return 0
    if "--case" in rest:
        names = [rest[rest.index("--case") + 1]]
    elif "--matrix" in rest:
        rng = random.Random(24)
        ESTIMATES.clear()
        for height, flight in (("300", "300"), ("1000", "1000")):
            for geodesy in ("flat", "ellipsoid"):
                for k in range(3):
                    truth = tuple(round(rng.uniform(-0.2, 0.2), 4) for _ in range(3))
                    ESTIMATES[f"{height}m-{geodesy}-{k + 1}"] = (flight, ROOFS, truth, geodesy, 1, ZERO, True, [])
        names = ["estimate/" + k for k in ESTIMATES]
    else:
        names = [n for n, _ in cases()]
    failures = []
    for name in names:
        work = tempfile.mkdtemp(prefix="morva-boresight-")
        try:
            failures += run_case(name, tools, work)
        finally:
            shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
