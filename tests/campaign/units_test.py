"""The campaign runner's parts that end-to-end runs reach only at great cost:
campaign.toml settings of the wrong type, locks left by processes that are
gone (or whose children are not), and the status table. Run with pytest."""
import json
import os
import re
import socket
import subprocess
import sys
import time

import pytest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, "tools")
sys.path[0:0] = [os.path.join(TOOLS, "campaign"), TOOLS]
from morva_campaign import (accuracy_step, cli, flights, html_report, lock, report_facts, report_sections,  # noqa: E402
                            settings, status_table, terrain_picture)

USAGE = "; usage: morva-campaign run|status|report DIR [OPTIONS] (morva-campaign --help)\n"
# A wrong command line: the arguments and the one line on standard error
# (each with exit status 2, before any folder is looked at).
BAD_COMMAND_LINES = [
    ([], "missing COMMAND (run, status, report)"),
    (["rn", "x"], "'rn' is not one of run, status, report"),
    (["run"], "missing DIR"),
    (["run", "x", "--jobs", "0"], "option --jobs: 0 is out of range (1 to 4096)"),
    (["run", "x", "--jobs=two"], "option --jobs: 'two' is not a number"),
    (["run", "x", "--throttle"], "option --throttle needs a value"),
    (["run", "x", "--engine", "pbs"], "option --engine: 'pbs' is not one of local, slurm"),
    (["status", "x", "--geodesy", "round"], "option --geodesy: 'round' is not one of flat, ellipsoid"),
    (["status", "x", "--force"], "unknown option --force"),
    (["run", "x", "--csv", "t.csv"], "unknown option --csv"),
    (["run", "x", "--force=yes"], "option --force takes no value"),
    (["run", "x", "y"], "unexpected argument 'y'"),
    (["run-flight", "job.json"], "missing FIRST"),
]


@pytest.mark.parametrize("args,message", BAD_COMMAND_LINES)
def test_a_wrong_command_line_is_one_line_and_exit_2(capsys, args, message):
    assert cli.main(args, cli.Build("1.0", "", "/nonexistent", "", "")) == 2
    out, err = capsys.readouterr()
    assert (out, err) == ("", "morva-campaign: " + message + USAGE)

# campaign.toml text -> the message it is refused with.
BAD_SETTINGS = [
    ('jobs = "4"', "campaign.toml: jobs must be a whole number"),
    ("jobs = true", "campaign.toml: jobs must be a whole number"),
    ("jobs = 0", "campaign.toml: jobs must be at least 1"),
    ("jobs = 2.5", "campaign.toml: jobs must be a whole number"),
    ('engine = "cloud"', "campaign.toml: engine must be one of local, slurm"),
    ("geodesy = 1", "campaign.toml: geodesy must be a str"),
    ('exports = "morva-las run.in x.las"', "campaign.toml: exports must be a list of strings"),
    ("exports = [1]", "campaign.toml: exports must be a list of strings"),
    ("morva = 3", "campaign.toml: morva must be a str"),
    ("[slurm]\nthrottle = -1", "campaign.toml: slurm.throttle must be at least 1"),
    ("[slurm]\nsbatch_args = [true]", "campaign.toml: slurm.sbatch_args must be a list of strings"),
    ("[slurm]\nnodes = 2", "campaign.toml: slurm.nodes: unknown setting"),
    ("thread = 2", "campaign.toml: thread: unknown setting"),
    ("project = 1", "campaign.toml: project must be a str"),
    ('checkpoints = ""', "campaign.toml: checkpoints must name a file"),
    ('limits = "QL4"', "campaign.toml: limits must be one of QL0, QL1, QL2, QL3"),
    ("jobs = ", "campaign.toml: "),
]


@pytest.mark.parametrize("text,message", BAD_SETTINGS)
def test_settings_of_the_wrong_type_are_refused(tmp_path, text, message):
    (tmp_path / "campaign.toml").write_text(text + "\n")
    with pytest.raises(settings.SettingsError) as e:
        settings.read_file(str(tmp_path))
    assert str(e.value).startswith(message)


def test_good_settings_are_read(tmp_path):
    (tmp_path / "campaign.toml").write_text('jobs = 3\ngeodesy = "ellipsoid"\nexports = ["a", "b"]\n'
                                            '[slurm]\nthrottle = 5\nsbatch_args = ["--qos=low"]\n')
    s = settings.read_file(str(tmp_path))
    assert (s.jobs, s.geodesy, s.exports, s.slurm.throttle, s.slurm.sbatch_args) == \
        (3, "ellipsoid", ["a", "b"], 5, ["--qos=low"])


def _gone_pid():
    """The pid of a process that has ended and been reaped."""
    p = subprocess.Popen(["true"])
    p.wait()
    return p.pid


@pytest.fixture
def sleeper():
    p = subprocess.Popen(["sleep", "30"])
    yield p.pid
    p.kill()
    p.wait()


# (owner of the lock, whether it still holds). "live" is a running process,
# "gone" one that ended; "reused" a live pid with another start time.
LOCKS = [
    ("this runner", lambda me, live, gone: {"pid": me, "start": lock.start_time(me)}, True),
    ("owner gone", lambda me, live, gone: {"pid": gone, "children": []}, False),
    # guards: a rerun took over a lock while the dead runner's morva still wrote.
    ("owner gone, a child alive", lambda me, live, gone: {"pid": gone, "children": [
        {"pid": live, "start": lock.start_time(live)}]}, True),
    ("owner and children gone", lambda me, live, gone: {"pid": gone, "children": [{"pid": gone, "start": 1}]}, False),
    ("child pid reused", lambda me, live, gone: {"pid": gone, "children": [
        {"pid": live, "start": (lock.start_time(live) or 0) + 1}]}, False),
    ("owner pid reused", lambda me, live, gone: {"pid": me, "start": (lock.start_time(me) or 0) + 1}, False),
    ("older format, owner alive", lambda me, live, gone: {"pid": live}, True),
    ("another host, young", lambda me, live, gone: {"pid": gone, "host": "elsewhere.invalid"}, True),
]


@pytest.mark.parametrize("name,owner_of,held", LOCKS, ids=[c[0] for c in LOCKS])
def test_a_lock_holds_while_its_owner_or_a_recorded_child_lives(tmp_path, sleeper, name, owner_of, held):
    owner = {"host": socket.gethostname(), "time": time.time()}
    owner.update(owner_of(os.getpid(), sleeper, _gone_pid()))
    (tmp_path / lock.LOCK).write_text(json.dumps(owner))
    assert (lock.holder(str(tmp_path)) is not None) == held
    assert (lock.acquire(str(tmp_path)) is None) == (not held)


def test_a_lock_records_the_children_of_its_owner(tmp_path, sleeper):
    assert lock.acquire(str(tmp_path)) is None
    lock.add_child(str(tmp_path), sleeper)
    owner = json.loads((tmp_path / lock.LOCK).read_text())
    assert owner["children"] == [{"pid": sleeper, "start": lock.start_time(sleeper)}]
    assert [p.name for p in tmp_path.iterdir()] == [lock.LOCK]


def _row(summary, state="done", **record):
    record = dict({"state": state, "exit_status": 0, "summary": summary, "wall_s": 1.234}, **record)
    return status_table.row(flights.Flight("a/b", "/nonexistent/a/b"), flights.State(state, record))


def test_the_status_table_and_its_csv(tmp_path):
    table = [
        _row({"scans": 120, "points": 30000, "time_span": [10.5, 10.5 + 15 / 3600], "ground_heights": [0.5, 1.25],
              "bias": 0.5, "roll": -0.004, "warnings": 2},
             run_control={"name": "run.boresight.in"}, misalignment=[0.1, -0.05, 0.2]),
        _row({"ground_heights": [None, 2.0]}, state="failed", last_line="*** cannot open file: x"),
    ]
    # The run control and misalignment each flight was processed with come
    # second (the table grew them).
    assert status_table.format_table(table).splitlines() == [
        "flight  state   run control       misalignment deg  scans  points  time span              ground heights m  "
        "bias m  roll deg  wall s  warnings  last line",
        "a/b     done    run.boresight.in  0.1 -0.05 0.2       120   30000  10:30:00.0-10:30:15.0  0.50 1.25           "
        "0.50     -0.00    1.23         2",
        "a/b     failed                                                                             2.00              "
        "                   1.23            *** cannot open file: x",
    ]
    status_table.write_csv(table, str(tmp_path / "s.csv"))
    lines = (tmp_path / "s.csv").read_text().splitlines()
    assert lines == [
        "flight,state,run control,misalignment deg,scans,points,start,end,ground height min m,ground height max m,"
        "bias m,roll deg,wall s,warnings,last line",
        "a/b,done,run.boresight.in,0.1 -0.05 0.2,120,30000,10:30:00.0,10:30:15.0,0.50,1.25,0.50,-0.00,1.23,2,",
        "a/b,failed,,,,,,,,2.00,,,1.23,,*** cannot open file: x",
    ]
    assert [p.name for p in tmp_path.iterdir()] == ["s.csv"]
    assert status_table.summary_line(table) == "2 flights: 1 done, 1 failed, 0 to do"


def _pair(a, b, smooth, verdict, **more):
    figures = {k: (None if not smooth else 0.01) for k in ("mean_m", "median_m", "std_m", "rmsdz_m", "p95_abs_m",
                                                          "max_abs_m", "gradient_right_of_a", "gradient_right_of_b")}
    return dict({"a": a, "b": b, "overlap_cells": 900, "smooth_cells": smooth, "verdict": verdict}, **figures, **more)


# morva-overlap's JSON (older and newer forms) -> the verdicts the report
# shows: each pair's, then each flight's.
OVERLAP_VERDICTS = [
    ("tested pairs pass through", [_pair("A", "B", 60, "pass"), _pair("A", "C", 40, "fail")],
     ["pass", "fail"], {"A": "pass", "B": "pass", "C": "pass"}),
    # guards: a pair without smooth cells said "no smooth cells" and its flights "pass".
    ("no smooth cells (older form)", [_pair("A", "B", 60, "pass"), _pair("A", "C", 0, "no smooth cells")],
     ["pass", "not tested (0 smooth cells at cells of 2 m)"], {"A": "pass", "B": "pass", "C": "not tested"}),
    ("smooth cells missing", [{"a": "A", "b": "C", "verdict": "pass"}],
     ["not tested (no smooth cells at cells of 2 m)"], {"A": "not tested", "B": "not tested", "C": "not tested"}),
    ("not tested with a reason (newer form)",
     [_pair("A", "B", 3, "not tested", reason="3 smooth cells, 30 needed", resolution_to_test_m=4.0)],
     ["not tested (3 smooth cells, 30 needed)"], {"A": "not tested", "B": "not tested", "C": "not tested"}),
    ("a resolution that would test it", [_pair("A", "B", 0, "not tested", resolution_to_test_m=4.0)],
     ["not tested (0 smooth cells at cells of 2 m; cells of 4 m would test it)"],
     {"A": "not tested", "B": "not tested", "C": "not tested"}),
]


@pytest.mark.parametrize("case,pairs,pair_verdicts,flight_verdicts", OVERLAP_VERDICTS, ids=[c[0] for c in OVERLAP_VERDICTS])
def test_the_report_shows_pass_only_for_a_tested_pair(case, pairs, pair_verdicts, flight_verdicts):
    flights_json = [{"name": n, "precision_m": None, "verdict": "pass", "heading_deg": None} for n in "ABC"]
    overlap = {"resolution_m": 2.0, "limits": {"name": "QL2", "max_rmsdz_m": 0.08}, "crs": "EPSG:32631",
               "flights": flights_json, "pairs": pairs}
    page = "".join(html_report._overlap_section(overlap, None, {}))
    cells = re.findall(r"<td class='l[^']*'>([^<]*)</td>", page)
    shown_pairs = [c for c in cells if c not in "ABC"]
    assert shown_pairs[:len(pairs)] == pair_verdicts
    assert dict(zip("ABC", shown_pairs[len(pairs):])) == flight_verdicts
    assert "None" not in page


def _done(name, geoid, digest, misalignment=(0, 0, 0)):
    return {"name": name, "state": "done", "geodesy": "flat", "geoid": geoid, "geoid_content": [geoid, digest],
            "misalignment": list(misalignment)}


# Flights as the report reads them -> its warnings.
DIFFERENCES = [
    ("alike", [_done("a", "geoid.txt", "11"), _done("b", "geoid.txt", "11")], []),
    # guards: two different grids both named geoid.txt were taken as one.
    ("one name, two grids", [_done("a", "geoid.txt", "1" * 64), _done("b", "geoid.txt", "2" * 64)],
     ["The flights were processed with different geoid grids (a: geoid.txt (sha256 111111111111), "
      "b: geoid.txt (sha256 222222222222))."]),
    ("angles", [_done("a", "g", "1"), _done("b", "g", "1", (0.1, -0.05, 0.2))],
     ["The flights were processed with different misalignments (a: 0, 0, 0, b: 0.1, -0.05, 0.2)."]),
]


@pytest.mark.parametrize("case,fl,warnings", DIFFERENCES, ids=[c[0] for c in DIFFERENCES])
def test_the_report_warns_where_flights_were_processed_differently(case, fl, warnings):
    assert html_report._differences(fl) == warnings


# A verdict of morva-accuracy's JSON -> what the report shows: never "pass"
# without the figure and the limit it was judged by.
ACCURACY_VERDICTS = [
    ({"figure": "NVA", "value": 0.05, "limit": 0.196, "verdict": "pass", "reason": ""}, ("pass", "")),
    ({"figure": "NVA", "value": 0.25, "limit": 0.196, "verdict": "fail", "reason": ""}, ("fail", "")),
    # guards: a "pass" without a value was shown as a pass.
    ({"figure": "RMSEz", "value": None, "limit": 0.10, "verdict": "pass", "reason": ""},
     ("not tested", "not measured")),
    ({"figure": "VVA", "value": 0.3, "limit": None, "verdict": "pass", "reason": ""}, ("not tested", "no limit")),
    ({"figure": "VVA", "value": None, "limit": 0.294, "verdict": "not tested", "reason": "no vegetated check points"},
     ("not tested", "no vegetated check points")),
    ({"figure": "VVA", "value": True, "limit": 0.294, "verdict": "pass"}, ("not tested", "not measured")),
]


@pytest.mark.parametrize("verdict,shown", ACCURACY_VERDICTS)
def test_an_accuracy_figure_passes_only_with_its_evidence(verdict, shown):
    acc = {"data": {"verdicts": [verdict]}, "why": ""}
    assert report_sections.accuracy_verdicts(acc)[0][3:] == shown
    page = "".join(report_sections.accuracy(acc))
    assert "None" not in page and f">{shown[0]}" in page


# morva-accuracy's density figures -> the verdict shown.
DENSITY = [
    ({"cells": 100, "mean": 2.5, "required": 2.0, "verdict": "pass"}, ("pass", "")),
    ({"cells": 0, "mean": None, "required": 2.0, "verdict": "pass"}, ("not tested", "no cell holds a point")),
    ({"cells": 100, "mean": 2.5, "required": None, "verdict": "pass"}, ("not tested", "no limit")),
]


@pytest.mark.parametrize("density,shown", DENSITY)
def test_density_passes_only_with_its_evidence(density, shown):
    assert report_sections.density_verdict({"data": {"density": density}, "why": ""}) == shown


def test_the_overlaps_pass_as_a_whole_only_when_every_pair_was_tested():
    tested, untested = _pair("A", "B", 60, "pass"), _pair("A", "C", 0, "not tested")
    assert html_report.overlap_verdict({"resolution_m": 2.0, "pairs": [tested]}, "") == ("pass", "")
    assert html_report.overlap_verdict({"resolution_m": 2.0, "pairs": [tested, untested]}, "") == \
        ("not tested", "1 of 2 pairs not tested: 0 smooth cells at cells of 2 m")
    assert html_report.overlap_verdict({"pairs": [tested, _pair("B", "C", 50, "fail")]}, "")[0] == "fail"
    assert html_report.overlap_verdict(None, "1 flight done, two are needed") == \
        ("not tested", "1 flight done, two are needed")


# A flight's folder and its time span -> the date and scan times shown.
FLOWN = [
    ("2024-05-17/line1", {"time_span": [10.5000729, 10.5011771]},
     {"date": "2024-05-17", "times": "10:30:00.3 to 10:30:04.2"}),
    ("north/f1", {"time_span": None}, {"date": "not recorded", "times": "-"}),
    ("x12024-05-17", {}, {"date": "not recorded", "times": "-"}),
]


@pytest.mark.parametrize("rel,summary,shown", FLOWN)
def test_a_flight_is_dated_by_its_folder_and_timed_by_its_scans(rel, summary, shown):
    assert report_facts.flown(rel, summary) == shown


def test_the_accuracy_goes_stale_when_its_check_points_or_flights_change(tmp_path):
    campaign = str(tmp_path)
    os.makedirs(os.path.join(campaign, "f"))
    with open(os.path.join(campaign, "f", "run.in"), "w") as f:
        f.write("")
    with open(os.path.join(campaign, "f", flights.RECORD), "w") as f:
        json.dump({"format": 1, "state": "done", "run_control": {"name": "run.in"}}, f)
    with open(os.path.join(campaign, "cp.csv"), "w") as f:
        f.write("id,easting,northing,height,land_cover\n1,0,0,0,open\n")
    stand_in = os.path.join(campaign, "morva-accuracy")
    with open(stand_in, "w") as f:
        f.write("#!/bin/sh\necho '{}' > accuracy.json\n")
    os.chmod(stand_in, 0o755)
    s = settings.Settings(checkpoints="cp.csv")
    said = []
    assert accuracy_step.state(campaign, s) == ("to do", "not measured yet")
    assert accuracy_step.run(campaign, s, campaign, said.append) and said[0].startswith("done     accuracy")
    assert accuracy_step.state(campaign, s) == ("done", "")
    with open(os.path.join(campaign, "cp.csv"), "a") as f:
        f.write("2,1,1,1,open\n")
    assert accuracy_step.state(campaign, s) == ("stale", "check points changed")
    accuracy_step.run(campaign, s, campaign, said.append)
    with open(os.path.join(campaign, "f", flights.RECORD), "w") as f:
        json.dump({"format": 1, "state": "done", "run_control": {"name": "run.boresight.in"}}, f)
    assert accuracy_step.state(campaign, s) == ("stale", "flights changed")
    with open(stand_in, "w") as f:
        f.write("#!/bin/sh\necho 'morva-accuracy: cp.csv line 3: bad' >&2\nexit 1\n")
    assert not accuracy_step.run(campaign, s, campaign, said.append)
    assert said[-1] == "failed   accuracy: morva-accuracy: cp.csv line 3: bad"
    assert accuracy_step.state(campaign, s) == ("failed", "morva-accuracy: cp.csv line 3: bad")


def test_check_points_in_another_crs_are_drawn_where_they_are(tmp_path):
    osr = pytest.importorskip("osgeo.osr")
    src, dst = osr.SpatialReference(), osr.SpatialReference()
    src.ImportFromEPSG(32631)
    dst.ImportFromEPSG(32632)
    x, y, _ = osr.CoordinateTransformation(src, dst).TransformPoint(637234.27, 5763058.63)
    points = [{"id": "1", "easting": 637234.27, "northing": 5763058.63, "dz": 0.01, "status": "measured"}]
    # guards: check points in their own CRS were drawn as if in the map's.
    moved = terrain_picture._points_in(points, 32631, 32632, str(tmp_path))
    assert abs(moved[0]["easting"] - x) < 0.002 and abs(moved[0]["northing"] - y) < 0.002 and moved[0]["dz"] == 0.01
    assert terrain_picture._points_in(points, 32632, 32632, str(tmp_path)) == points
    assert terrain_picture._points_in(points, None, 32632, str(tmp_path)) == points
