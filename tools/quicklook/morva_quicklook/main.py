"""Command line of morva-quicklook: reads the run control through
morva-runinfo, the run's point files and optionally its saved report, and
writes the picture and the files asked for."""

import json
import os
import re
import subprocess
import sys
from typing import Any, Dict, Iterator, Sequence

import morva_cli

from . import outputs

PROGRAM = "morva-quicklook"
USAGE = "morva-quicklook [options] RUN_CONTROL [OUTPUT.png]"
HELP = """usage: morva-quicklook [options] RUN_CONTROL [OUTPUT.png]

Draws one picture of a morva run (1600 x 1200 pixels): a map of the scan
points coloured by height with the flight line, the ground and aircraft heights
along the track, the heights across the scan by measurement index, and a height
histogram, under a title naming the flight (its folder and run control) and its
date (from the scanner header's time epoch). It reads the run control the run
read and, from it, the scan-point file (binary or text, as iout_type and navg
say) and the centre-point file; the names inside the run control are taken
relative to its own folder (as morva reads them when run there). The map draws
a uniform random subsample of at most 200,000 points; every statistic uses every
point. The picture goes to OUTPUT.png, by default quicklook.png beside the
scan-point file. No output may be the run control, a file it names or a folder
or device: such an output is refused before anything is written. The outputs
appear together when all are complete (an output that is a link writes the file
it names); a stop or a signal leaves none. A run of the simplified vertical
computation (full_georef F) has no positions to draw and is refused.

  --report FILE    the run's saved console report: its time gaps, statistics and
                   across-scan regression (drawn over the heights) join the picture
  --svg            also write the picture as SVG, beside the PNG
  --small          write the PNG with a palette of 128 colours (a quarter of the size)
  --geojson FILE   write the flight line (centre points, thinned) as a GeoJSON
                   LineString feature with the run's files and time span
  --json FILE      write what was drawn: bounds, point counts, colour limits,
                   heights per measurement index
  --max-drawn N    points drawn on the map at most (default 200000)
  --help           this text
  --version        version and commit

Exit status: 0 when the picture is written, 1 when an input is missing or
unreadable or an output is refused, 2 for a wrong command line.
"""

MAX_DRAWN = 200_000

# The options and positionals of one command line.
Options = Dict[str, Any]


class Stop(Exception):
    """Ends the program with a message on standard error and status 1."""


def parser(version: str, commit: str) -> morva_cli.ArgumentParser:
    p = morva_cli.ArgumentParser(PROGRAM, USAGE, help_text=HELP, version=version, commit=commit)
    p.add_argument("--report")
    p.add_argument("--svg", action="store_true")
    p.add_argument("--small", action="store_true")
    p.add_argument("--geojson")
    p.add_argument("--json")
    p.add_argument("--max-drawn", type=morva_cli.number(1), default=MAX_DRAWN)
    p.add_argument("run_control", metavar="RUN_CONTROL")
    p.add_argument("png", metavar="OUTPUT.png", nargs="?")
    return p


def find_runinfo(runinfo_paths: Sequence[str]) -> str:
    tool = next((p for p in runinfo_paths if p and os.access(p, os.X_OK)), None)
    if tool is None:
        raise Stop(f"cannot find morva-runinfo (looked for {' and '.join(p for p in runinfo_paths if p)})")
    return tool


def run_info(run_control: str, tool: str) -> dict[str, Any]:
    """The run control as morva reads it, through morva-runinfo."""
    done = subprocess.run([tool, run_control], capture_output=True, text=True)
    if done.returncode != 0:
        stops = [line.strip() for line in done.stdout.splitlines() if line.lstrip().startswith("***")]
        raise Stop(f"run control {run_control}: {stops[-1] if stops else outputs.last_line(done)}")
    info: dict[str, Any] = json.loads(done.stdout)
    return info


def record_layouts(tool: str) -> dict[str, Any]:
    """The layouts of morva's records, as morva-runinfo --records gives them."""
    done = subprocess.run([tool, "--records"], capture_output=True, text=True)
    if done.returncode != 0:
        raise Stop(f"{tool} --records ended with status {done.returncode}: {done.stderr.strip()}")
    description: dict[str, Any] = json.loads(done.stdout)
    return description


def beside(folder: str, name: str) -> str:
    """A name inside the run control, taken relative to the run control's folder."""
    return name if not folder or os.path.isabs(name) else os.path.join(folder, name)


def flight_name(run_control: str) -> str:
    """The flight as a campaign names it: its folder, then the run control."""
    folder = os.path.basename(os.path.dirname(os.path.abspath(run_control)))
    return f"{folder}/{os.path.basename(run_control)}" if folder else os.path.basename(run_control)


EPOCH_TEXT = slice(169, 201)   # the time epoch's text in the scanner header's long variant
LONG_HEADER_ID = 10


def flight_date(scanner_file: str) -> str | None:
    """The date that begins the scanner header's time epoch (YYYY-MM-DD), when
    it holds one."""
    try:
        with open(scanner_file, "rb") as f:
            head = f.read(EPOCH_TEXT.stop)
    except OSError:
        return None
    if len(head) < EPOCH_TEXT.stop or head[7] != LONG_HEADER_ID:
        return None
    text = head[EPOCH_TEXT].decode("latin-1")[:10]
    return text if re.fullmatch(r"\d{4}-\d{2}-\d{2}", text) else None


def require(path: str, what: str, line: int, run_control: str) -> None:
    if not os.path.isfile(path):
        state = "is not a file" if os.path.exists(path) else "does not exist"
        raise Stop(f"{what} '{path}' (line {line} of run control {run_control}) {state}")


def main(argv: Sequence[str], version: str, commit: str, runinfo_paths: Sequence[str]) -> int:
    try:
        opts: Options = vars(parser(version, commit).parse_args(argv))
    except SystemExit as done:   # --help, --version or a usage error, already told
        return int(done.code or 0)
    outputs.stop_on_signals()
    try:
        quicklook(opts, runinfo_paths)
    except KeyboardInterrupt:
        print(f"{PROGRAM}: interrupted; nothing written", file=sys.stderr)
        return 130
    except (Stop, outputs.Refused) as stop:
        message = str(stop)
    except OSError as error:
        message = f"{error.filename or ''}: {error.strerror}"
    except ImportError as error:
        message = f"{error}: /usr/bin/python3 needs numpy and matplotlib (tools/install-deps installs them)"
    else:
        return 0
    print(f"{PROGRAM}: {message}", file=sys.stderr)
    return 1


def read_inputs(opts: Options, runinfo_paths: Sequence[str]) -> dict[str, Any]:
    """The run control, the saved report and the centre points; the scan
    points summed up chunk by chunk."""
    rc_path = opts["run_control"]
    if not os.path.isfile(rc_path):
        raise Stop(f"run control '{rc_path}' does not exist")
    tool = find_runinfo(runinfo_paths)
    info = run_info(rc_path, tool)
    if not info["full_georef"]:
        # The simplified vertical computation stores along-track time and
        # across-track offset per speed in those fields: nothing to draw on a map.
        raise Stop("the run control's full_georef is F (the simplified vertical computation): its scan points hold "
                   "along-track time and across-track offset in place of latitude and longitude, not positions")
    folder = os.path.dirname(rc_path)
    scan_path = None if info["scanptfile"] is None else beside(folder, info["scanptfile"])
    centre_path = beside(folder, info["centfile"])
    png = opts["png"] or os.path.join(os.path.dirname(scan_path or centre_path), "quicklook.png")
    # The run's files as this program opens them, for the guard (which takes
    # a run control's names relative to the current folder).
    run_files = [beside(folder, name) for name in info["inputs"] + info["outputs"]] if folder else []
    outputs.check(tool, output_names(opts, png), rc_path, ([opts["report"]] if opts["report"] else []) + run_files)
    if scan_path is not None:
        require(scan_path, "scan-point file", 4, rc_path)
    require(centre_path, "centre-point file", 5, rc_path)
    from .report import parse_report

    report = None
    if opts["report"]:
        if not os.path.isfile(opts["report"]):
            raise Stop(f"report '{opts['report']}' does not exist")
        with open(opts["report"], errors="replace") as f:
            report = parse_report(f.read())

    # The heavy imports wait until the inputs are known to be there.
    from . import records, summary

    binary, averaged = bool(info["binary_output"]), info["navg"] > 1
    lay = records.layouts(record_layouts(tool))
    try:
        centres = records.read_centres(centre_path, lay)
        whole, partial = 0, 0
        chunks: Iterator[records.Points] = iter(())
        if scan_path is not None:
            whole, partial = records.record_count(scan_path, binary, averaged, lay)
            if partial:
                print(f"{PROGRAM}: warning: {scan_path} ends in a partial record of {partial} bytes, skipped",
                      file=sys.stderr)
            chunks = records.scan_point_chunks(scan_path, binary, averaged, lay)
        s = summary.summarise(chunks, whole, opts["max_drawn"], binary, summary.make_track(centres))
    except records.RecordError as error:
        raise Stop(str(error))
    s.skipped += 1 if partial else 0
    s.records += 1 if partial else 0
    if report and scan_path is not None and report["points_output"] not in (None, s.records):
        print(f"{PROGRAM}: warning: the report counts {report['points_output']} points output, "
              f"{scan_path} holds {s.records} records", file=sys.stderr)
    return {"rc_path": rc_path, "scan_path": scan_path, "centre_path": centre_path, "binary": binary,
            "flight": flight_name(rc_path), "date": flight_date(beside(folder, info["scanfile"])),
            "report": report, "centres": centres, "summary": s, "png": png, "geoid": info["geoidfile"] is not None}


def make_view(opts: Options, inputs: dict[str, Any]) -> dict[str, Any]:
    """Everything the picture and the JSON show."""
    from . import summary
    from .report import regression_curve

    s, report, scan_path = inputs["summary"], inputs["report"], inputs["scan_path"]
    bands = summary.per_index(s)
    h_mm = summary.heights_mm(s)
    limits = summary.height_limits(h_mm)
    regression = report["regression"] if report else None
    return {
        "summary": s, "centres": inputs["centres"], "bands": bands, "limits": limits,
        "histogram": summary.histogram(h_mm, limits, 1 if inputs["binary"] else 10) if limits else None,
        "tilt": summary.across_tilt(s, bands),
        "regression": regression,
        "curve": regression_curve(regression, report["nmeas"], bands["index"]) if report else None,
        "gaps": report["gaps"] if report else [],
        "names": {"run_control": inputs["rc_path"], "scan_points": scan_path, "centres": inputs["centre_path"]},
        "flight": inputs["flight"], "date": inputs["date"],
        "form": None if scan_path is None else ("binary" if inputs["binary"] else "text"),
        "no_points_text": "no points" if scan_path is not None else "no scan-point file (its name is 0)",
        "png": inputs["png"],
        "geoid": inputs["geoid"],
        "report": report,
    }


def svg_name(png: str) -> str:
    return os.path.splitext(png)[0] + ".svg"


def output_names(opts: Options, png: str) -> list[str]:
    """Every file this run of the program writes."""
    names = [png] + ([svg_name(png)] if opts["svg"] else [])
    return names + [opts[key] for key in ("geojson", "json") if opts[key]]


def quicklook(opts: Options, runinfo_paths: Sequence[str]) -> None:
    view = make_view(opts, read_inputs(opts, runinfo_paths))
    from . import exports, figure

    png = view["png"]
    # Every output appears together, when all are complete.
    with outputs.Staged() as staged:
        view["texts"] = figure.draw(view, staged.add(png), staged.add(svg_name(png)) if opts["svg"] else None,
                                    opts["small"])
        if opts["geojson"]:
            with open(staged.add(opts["geojson"]), "w") as f:
                json.dump(exports.flight_line(view), f)
                f.write("\n")
        if opts["json"]:
            exports.write_json(staged.add(opts["json"]), exports.content(view))
        staged.commit()
