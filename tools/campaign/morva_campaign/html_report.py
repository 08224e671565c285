"""morva-campaign report: the survey report a client signs, one
self-contained HTML page that prints to PDF: project and client, flight
dates, coordinate systems, software; the calibration; the strip overlaps
(morva-overlap); the absolute accuracy and density (morva-accuracy); the
terrain model's hillshade with the flight lines and check points; every
flight's figures and quick-look; and in words what was not done."""
import contextlib
import json
import os
import subprocess
import sys
import tempfile
import time
from typing import Any, Dict, List, Optional

from morva_cli import outputs

from . import atomic, flights as flights_mod, protected, report_facts, report_sections, terrain_picture
from . import settings as settings_mod
from .report_format import NOT_TESTED, count, crs_name, e, given, image, number, text, verdict_cell

OUTPUT = "campaign-report.html"


def _runinfo(runinfo: str, flight: flights_mod.Flight, run_control: str) -> Optional[Dict[str, Any]]:
    """The run control as morva reads it, or None."""
    try:
        done = subprocess.run([runinfo, run_control], cwd=flight.path, capture_output=True, text=True,
                              stdin=subprocess.DEVNULL)
        info = json.loads(done.stdout) if done.returncode == 0 else None
    except (OSError, ValueError):
        return None
    return info if isinstance(info, dict) else None


def _flight(flight: flights_mod.Flight, runinfo: str) -> Dict[str, Any]:
    """What the page shows of one flight: its record, and the run control it
    was processed with (the configured one when it has not run yet)."""
    record = flights_mod.read_json(os.path.join(flight.path, flights_mod.RECORD)) or {}
    identity = record.get("identity") or {}
    args = identity.get("morva_args") or []
    geodesy = args[args.index("--geodesy") + 1] if "--geodesy" in args[:-1] else "flat"
    run_control = flights_mod.used_run_control(record) or flights_mod.RUN_CONTROL
    info = _runinfo(runinfo, flight, run_control)
    state = "stopped" if record.get("stopped_by") else record.get("state", "not run")
    f = {"name": flight.rel, "flight": flight, "state": state,
         "last_line": record.get("last_line", ""), "summary": record.get("summary") or {},
         "version": identity.get("morva", ""), "geodesy": geodesy, "run_control": run_control,
         "geoid": None, "misalignment": record.get("misalignment"), "quicklook": None, "info": info,
         "flown": report_facts.flown(flight.rel, record.get("summary") or {})}
    if info:
        f["geoid"] = info.get("geoidfile")
        if f["misalignment"] is None:
            f["misalignment"] = info.get("misalignment")
    # Two grids of one name are told apart by their content, as recorded.
    digests = {e.get("name"): e.get("sha256") for e in record.get("inputs") or [] if isinstance(e, dict)}
    f["geoid_content"] = [f["geoid"], digests.get(f["geoid"])] if f["geoid"] else None
    return f


def _add_quicklook(f: Dict[str, Any], quicklook: Optional[str], work: str) -> None:
    if not quicklook or f["state"] != "done":
        return
    png = os.path.join(work, f["name"].replace("/", "_") + ".png")
    done = subprocess.run([quicklook, "--small", f["run_control"], png], cwd=f["flight"].path,
                          capture_output=True, text=True, stdin=subprocess.DEVNULL)
    if done.returncode == 0 and os.path.isfile(png):
        f["quicklook"] = image(png)


def _shown(value: Any) -> str:
    if value is None:
        return "none"
    if isinstance(value, list):
        return ", ".join(f"{v:g}" if isinstance(v, (int, float)) else "-" for v in value)
    return str(value)


def _shown_grid(content: Any) -> str:
    """A geoid grid by name and the start of its digest."""
    if not content:
        return "none"
    name, digest = content
    return f"{name} (sha256 {digest[:12]})" if isinstance(digest, str) else str(name)


def _differences(fl: List[Dict[str, Any]]) -> List[str]:
    """Warnings where flights were processed differently."""
    warnings = []
    for label, key in (("geodesy modes", "geodesy"), ("geoid grids", "geoid_content"),
                       ("misalignments", "misalignment")):
        values = {json.dumps(f.get(key)) for f in fl if f["state"] == "done"}
        if len(values) > 1:
            each = ", ".join(f"{f['name']}: {_shown_grid(f[key]) if key == 'geoid_content' else _shown(f[key])}"
                             for f in fl if f["state"] == "done")
            warnings.append(f"The flights were processed with different {label} ({each}).")
    return warnings


def _pair_verdict(p: Dict[str, Any], resolution: Any) -> tuple[str, str]:
    """(verdict, why it is "not tested"): a pair without smooth cells was not
    compared, whatever verdict an older morva-overlap gave it."""
    smooth = p.get("smooth_cells")
    if p.get("verdict") != NOT_TESTED and isinstance(smooth, int) and smooth > 0:
        return text(p.get("verdict")), ""
    reason = p.get("reason")
    if not isinstance(reason, str) or not reason:
        at = f" at cells of {resolution:g} m" if isinstance(resolution, (int, float)) else ""
        reason = f"{count(smooth) if smooth is not None else 'no'} smooth cells{at}"
        hints = [v for k, v in p.items() if "resolution" in k and isinstance(v, (int, float))]
        if hints:
            reason += f"; cells of {hints[0]:g} m would test it"
    return NOT_TESTED, reason


def _flight_verdicts(overlap: Dict[str, Any], tested: set[str]) -> Dict[str, str]:
    """Each flight's verdict: "not tested" unless one of its pairs was."""
    out = {}
    for f in overlap.get("flights", []):
        name = f.get("name")
        out[name] = text(f.get("verdict")) if name in tested and f.get("verdict") != NOT_TESTED else NOT_TESTED
    return out


CSS = """body{font-family:sans-serif;margin:24px;color:#222;font-size:13px}table{border-collapse:collapse;margin:6px 0 14px}
td,th{border:1px solid #bbb;padding:2px 6px;text-align:right}th{background:#eee}td.l,th.l{text-align:left}
.pass{background:#d8f0d8}.fail{background:#f6d0d0}.untested{background:#e8e8e8}.warn{background:#fff3c4;
border:1px solid #d9b400;padding:8px;margin:8px 0}img{max-width:100%;border:1px solid #ccc}.flight{display:inline-block;
width:48%;vertical-align:top;margin:0 1% 16px 0}svg.map{max-width:100%;height:auto;border:1px solid #ccc}
table.facts td{text-align:left}.missing{color:#7a4b00}.sign td{height:34px;min-width:220px;text-align:left}
*{-webkit-print-color-adjust:exact;print-color-adjust:exact}
@page{size:A4;margin:12mm}
@media print{body{margin:0;font-size:10px}table,.keep,svg,img{break-inside:avoid;page-break-inside:avoid}
h2,h3{break-after:avoid;page-break-after:avoid}.appendix{break-before:page;page-break-before:always}
svg.map{max-height:170mm;width:auto}}"""


def _overlap_section(overlap: Dict[str, Any], picture: Optional[str], names: Dict[str, str]) -> List[str]:
    """The strip overlaps: the limits, every pair, every flight."""
    out = []
    resolution = overlap.get("resolution_m")
    lim = overlap.get("limits") or {}
    if lim.get("name"):
        out.append(f"<p>Limits {e(str(lim['name']))}: RMSDz at most {number(lim.get('max_rmsdz_m'))} m, |dz| at "
                   f"most {number(lim.get('max_dz_m'))} m, precision at most {number(lim.get('max_precision_m'))} m. "
                   f"Cells of {number(resolution, 2)} m in {e(text(overlap.get('crs')))}.</p>")
    out.append("<table><tr><th class='l'>A</th><th class='l'>B</th><th>overlap cells</th><th>smooth cells</th>"
               "<th>mean (m)</th><th>median (m)</th><th>std (m)</th><th>RMSDz (m)</th><th>p95 |dz| (m)</th>"
               "<th>max |dz| (m)</th><th>gradient right of A (mm/m)</th><th>gradient right of B (mm/m)</th>"
               "<th class='l'>verdict</th></tr>")
    tested: set[str] = set()
    for p in overlap.get("pairs", []):
        verdict, why = _pair_verdict(p, resolution)
        if verdict != NOT_TESTED:
            tested |= {p.get("a"), p.get("b")}
        grad = [v * 1000 if isinstance(v, (int, float)) else None
                for v in (p.get("gradient_right_of_a"), p.get("gradient_right_of_b"))]
        figures = "".join(f"<td>{number(p.get(k), 4)}</td>" for k in ("mean_m", "median_m", "std_m", "rmsdz_m",
                                                                    "p95_abs_m", "max_abs_m"))
        out.append(f"<tr><td class='l'>{e(names.get(p.get('a'), text(p.get('a'))))}</td>"
                   f"<td class='l'>{e(names.get(p.get('b'), text(p.get('b'))))}</td>"
                   f"<td>{count(p.get('overlap_cells'))}</td><td>{count(p.get('smooth_cells'))}</td>{figures}"
                   f"<td>{number(grad[0])}</td><td>{number(grad[1])}</td>{verdict_cell(verdict, why)}</tr>")
    out.append("</table><table><tr><th class='l'>flight</th><th>precision (m)</th><th class='l'>verdict</th>"
               "<th>heading (deg)</th></tr>")
    verdicts = _flight_verdicts(overlap, tested)
    for f in overlap.get("flights", []):
        name = f.get("name")
        out.append(f"<tr><td class='l'>{e(names.get(name, text(name)))}</td><td>{number(f.get('precision_m'), 4)}</td>"
                   f"{verdict_cell(verdicts[name])}<td>{number(f.get('heading_deg'), 1)}</td></tr>")
    out.append("</table>")
    for w in overlap.get("warnings", []):
        out.append(f"<div class='warn'>Warning: {e(str(w))}</div>")
    if picture:
        out.append(f"<img alt='strip differences' src='{picture}'>")
    return out


OVERLAPS = "Strip overlaps (flight lines against each other)"


def overlap_verdict(overlap: Optional[Dict[str, Any]], why_none: str) -> tuple[str, str]:
    """The strip overlaps' verdict over all pairs: "fail" when one fails,
    "pass" only when every pair was tested and passed."""
    if overlap is None:
        return NOT_TESTED, why_none
    verdicts = [_pair_verdict(p, overlap.get("resolution_m")) for p in overlap.get("pairs", [])]
    if not verdicts:
        return NOT_TESTED, "no two flights overlap"
    if any(v == "fail" for v, _ in verdicts):
        return "fail", ""
    untested = sum(1 for v, _ in verdicts if v != "pass")
    if untested:
        return NOT_TESTED, f"{untested} of {len(verdicts)} pairs not tested: {next(w for v, w in verdicts if v != 'pass')}"
    return "pass", ""


def _header(campaign: str, s: settings_mod.Settings, fl: List[Dict[str, Any]], crs: Dict[str, Any],
            level: str, version: str) -> List[str]:
    """Who and what the report is of, when, in which systems, by which software."""
    dates = sorted({f["flown"]["date"] for f in fl})
    morvas = sorted({f["version"] for f in fl if f["version"]})
    facts = [("Project", given(s.project)), ("Client", given(s.client)),
             ("Campaign", os.path.basename(campaign)),
             ("Flight dates", ", ".join(dates) if dates else "-"),
             ("Horizontal coordinate system", crs_name(crs.get("horizontal"))),
             ("Vertical coordinate system (heights)", crs_name(crs.get("vertical"))),
             ("Quality level judged against", level),
             ("Software", f"morva-campaign {version}; " + ("; ".join(morvas) if morvas else "morva: no flight done")),
             ("Report written", time.strftime("%Y-%m-%d %H:%M %Z"))]
    rows = "".join(f"<tr><th class='l'>{e(k)}</th><td>{e(v)}</td></tr>" for k, v in facts)
    return [f"<h1>Airborne laser survey report: {e(given(s.project))}</h1><table class='facts keep'>{rows}</table>"]


def _summary(items: List[tuple[str, str, str]], figures: Dict[str, str]) -> List[str]:
    rows = "".join(f"<tr><td class='l'>{e(what)}</td><td class='l'>{e(figures.get(what, '-'))}</td>"
                   f"{verdict_cell(v, why)}</tr>" for what, v, why in items)
    return ["<h2>Verdicts</h2><table class='keep'><tr><th class='l'>figure</th><th class='l'>measured (limit)</th>"
            "<th class='l'>verdict</th></tr>", rows, "</table>"]


def _summary_figures(acc: Dict[str, Any], overlap: Optional[Dict[str, Any]]) -> Dict[str, str]:
    """The figure beside each verdict of the summary, with its limit."""
    out = {f"Absolute accuracy: {figure}": f"{number(value, 4)} m ({number(limit, 4)} m)"
           for figure, value, limit, _, _ in report_sections.accuracy_verdicts(acc)}
    d = (acc.get("data") or {}).get("density")
    if isinstance(d, dict):
        share = d.get("share_meeting")
        out["Point density"] = (f"{number(d.get('mean'), 2)} per m² ({number(d.get('required'), 2)}), "
                                f"{number(share * 100 if isinstance(share, (int, float)) else None, 1)} % of cells")
    rmsdz = [p.get("rmsdz_m") for p in (overlap or {}).get("pairs", []) if isinstance(p.get("rmsdz_m"), (int, float))]
    if rmsdz:
        limit = ((overlap or {}).get("limits") or {}).get("max_rmsdz_m")
        out[OVERLAPS] = f"largest RMSDz {number(max(rmsdz), 4)} m ({number(limit, 3)} m)"
    return out


SIGN_OFF = ("<table class='sign keep'><tr><th class='l'>Checked by (name, date, signature)</th>"
            "<th class='l'>Accepted for the client (name, date, signature)</th></tr><tr><td></td><td></td></tr></table>")


def _flights_table(fl: List[Dict[str, Any]]) -> List[str]:
    out = ["<h2>Flights</h2><table><tr><th class='l'>flight</th><th class='l'>state</th><th class='l'>date</th>"
           "<th class='l'>scan times (of day)</th><th>points</th>"
           "<th>scans</th><th>heights (m)</th><th>bias (m)</th><th>roll</th><th>warnings</th>"
           "<th class='l'>geodesy</th><th class='l'>geoid grid</th><th class='l'>run control</th>"
           "<th class='l'>misalignment (deg)</th><th class='l'>morva</th></tr>"]
    for f in fl:
        s = f["summary"]
        heights = s.get("ground_heights")
        state = f["state"] + (f": {f['last_line']}" if f["last_line"] else "")
        out.append(f"<tr><td class='l'>{e(f['name'])}</td><td class='l'>{e(state)}</td>"
                   f"<td class='l'>{e(f['flown']['date'])}</td><td class='l'>{e(f['flown']['times'])}</td>"
                   f"<td>{count(s.get('points'))}</td><td>{count(s.get('scans'))}</td>"
                   f"<td>{e(' to '.join(number(h, 2) for h in heights)) if isinstance(heights, list) else '-'}</td>"
                   f"<td>{number(s.get('bias'))}</td><td>{number(s.get('roll'))}</td><td>{count(s.get('warnings'))}</td>"
                   f"<td class='l'>{e(f['geodesy'])}</td><td class='l'>{e(f['geoid'] or 'none')}</td>"
                   f"<td class='l'>{e(f['run_control'])}</td><td class='l'>{e(_shown(f['misalignment']))}</td>"
                   f"<td class='l'>{e(f['version'] or '-')}</td></tr>")
    out.append("</table>")
    return out


def _not_done(s: settings_mod.Settings, fl: List[Dict[str, Any]], parts: List[tuple[str, str, str]]) -> List[str]:
    """In words, everything the report could not state, and why."""
    said = [f"{what}: {why}" for what, verdict, why in parts if verdict == NOT_TESTED and why]
    said += [f"{key} not given (campaign.toml: {key} = \"...\")" for key in ("project", "client")
             if not getattr(s, key)]
    said += [f"flight {f['name']} not done ({f['state']}" + (f": {f['last_line']})" if f["last_line"] else ")")
             for f in fl if f["state"] != "done"]
    undated = [f["name"] for f in fl if f["flown"]["date"] == "not recorded"]
    if undated:
        said.append(f"the date of {len(undated)} flight{'s' if len(undated) > 1 else ''} "
                    "(the run's files hold times of day only; a YYYY-MM-DD in the flight's folder path dates it)")
    out = ["<h2>Not done</h2>"]
    out.append("<ul>" + "".join(f"<li>{e(w)}</li>" for w in said) + "</ul>" if said else "<p>Nothing left out.</p>")
    return out


def render(campaign: str, s: settings_mod.Settings, fl: List[Dict[str, Any]], facts: Dict[str, Any],
           version: str) -> str:
    """The page: facts holds "overlap", "overlap_error", "overlap_picture",
    "history", "run_controls", "calibration", "accuracy", "terrain"."""
    overlap, acc, terrain = facts["overlap"], facts["accuracy"], facts["terrain"]
    crs = dict(terrain.get("crs") or {})
    crs.update({k: v for k, v in ((acc.get("data") or {}).get("crs") or {}).items() if isinstance(v, dict)})
    cal = facts["calibration"]
    parts = [(f"Absolute accuracy: {figure}", v, why) for figure, _, _, v, why in report_sections.accuracy_verdicts(acc)]
    if acc.get("data"):
        parts.append(("Point density", *report_sections.density_verdict(acc)))
    else:
        parts.append(("Absolute vertical accuracy and point density", NOT_TESTED, acc["why"]))
    parts.append((OVERLAPS, *overlap_verdict(overlap, facts["overlap_error"])))
    if not cal.get("data"):
        parts.append(("Boresight calibration", NOT_TESTED, cal["why"]))
    if not terrain.get("svg"):
        parts.append(("Terrain model picture", NOT_TESTED, terrain["why"]))
    title = e(given(s.project))
    out = [f"<!DOCTYPE html><html><head><meta charset='utf-8'><title>Survey report {title}</title>"
           f"<style>{CSS}</style></head><body>"]
    level = s.limits or ((overlap or {}).get("limits") or {}).get("name")
    out += _header(campaign, s, fl, crs, given(level), version)
    out += _summary(parts, _summary_figures(acc, overlap))
    out.append(SIGN_OFF)
    for w in _differences(fl):
        out.append(f"<div class='warn'>Warning: {e(w)}</div>")
    out += _flights_table(fl)
    out += report_sections.calibration(cal, fl, report_facts.estimated_angles(cal))
    out += report_sections.before_after(facts["history"], facts["run_controls"], bool(cal.get("data")))
    out.append("<h2>Strip overlaps</h2>")
    if overlap is None:
        out.append(f"<p class='missing'>No overlap check: {e(facts['overlap_error'])}</p>")
    else:
        names = {f"{f['name']}/{f['run_control']}": f["name"] for f in fl}
        out += _overlap_section(overlap, facts["overlap_picture"], names)
    out += report_sections.accuracy(acc)
    out += report_sections.density(acc)
    out += report_sections.terrain(terrain)
    out += _not_done(s, fl, parts)
    out.append("<div class='appendix'><h2>Quick-looks</h2>")
    for f in fl:
        if f["quicklook"]:
            out.append(f"<div class='flight'><h3>{e(f['name'])}</h3><img alt='quick-look {e(f['name'])}' "
                       f"src='{f['quicklook']}'></div>")
    out.append("</div></body></html>\n")
    return "".join(out)


def _overlap(campaign: str, fl: List[Dict[str, Any]], options: Dict[str, Any], build: Any,
             work: str) -> tuple[Optional[Dict[str, Any]], str, Optional[str]]:
    """morva-overlap on the flights that are done (a failed one leaves the
    others compared), each through the run control it was processed with:
    (its JSON or None, why there is none, the picture or None)."""
    done = [f for f in fl if f["state"] == "done"]
    if len(done) < 2:
        return None, f"{len(done)} flight{'' if len(done) == 1 else 's'} done, two are needed", None
    tool = settings_mod.companion(build.script_dir, "morva-overlap", "overlap")
    if tool is None:
        return None, "morva-overlap was not found", None
    command = [tool, "--json", os.path.join(work, "o.json"), "--picture", os.path.join(work, "o.png")]
    for name in ("--limits", "--resolution"):
        if name in options:
            command += [name, str(options[name])]
    command += [f"{f['name']}/{f['run_control']}" for f in done]
    ran = subprocess.run(command, cwd=campaign, capture_output=True, text=True, stdin=subprocess.DEVNULL)
    if ran.returncode not in (0, 3, 4):  # compared: all pass, a failure, a pair not tested
        return None, (ran.stderr.strip().splitlines() or ["morva-overlap failed"])[-1], None
    overlap = flights_mod.read_json(os.path.join(work, "o.json"))
    if not isinstance(overlap, dict):
        return None, "morva-overlap wrote no figures", None
    try:
        picture: Optional[str] = image(os.path.join(work, "o.png"))
    except OSError:
        picture = None
    return overlap, "", picture


def _terrain(campaign: str, s: settings_mod.Settings, fl: List[Dict[str, Any]], acc: Dict[str, Any],
             build: Any, work: str) -> Dict[str, Any]:
    """The hillshade with the flight lines and the check points (measured
    ones with their dz, from morva-accuracy; else the check-point file's)."""
    done = []
    for f in fl:
        if f["state"] == "done":
            centre = (f["info"] or {}).get("centfile")
            done.append({"name": f["name"], "input": f"{f['name']}/{f['run_control']}",
                         "centre": os.path.join(f["flight"].path, centre) if isinstance(centre, str) else None})
    data = acc.get("data") or {}
    points = data.get("checkpoints")
    epsg = ((data.get("crs") or {}).get("horizontal") or {}).get("epsg")
    if not isinstance(points, list):
        points, epsg = (_checkpoint_file(os.path.join(campaign, s.checkpoints)) if s.checkpoints else []), None
    geodesy = ["--geodesy", s.geodesy] if s.geodesy else []
    grid = settings_mod.companion(build.script_dir, "morva-grid", "grid")
    return terrain_picture.draw(grid, done, campaign, geodesy, points, epsg, work)


def _checkpoint_file(path: str) -> List[Dict[str, Any]]:
    """The positions of a check-point file (id,easting,northing,...), not yet
    measured; lines that do not read are left to morva-accuracy to name."""
    points: List[Dict[str, Any]] = []
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            rows = [ln.strip().split(",") for ln in f if ln.strip() and not ln.startswith("#")]
    except OSError:
        return points
    for row in rows[1:]:
        try:
            points.append({"id": row[0], "easting": float(row[1]), "northing": float(row[2]), "status": "not measured"})
        except (IndexError, ValueError):
            continue
    return points


HISTORY = os.path.join(".morva-campaign", "overlaps.json")

def _pairs_by_flight(overlap: Dict[str, Any]) -> Dict[str, Dict[str, Any]]:
    """Each pair's figures by "A & B" of flight folders (run controls left out)."""
    out = {}
    for p in overlap.get("pairs", []):
        if isinstance(p.get("a"), str) and isinstance(p.get("b"), str):
            verdict, _ = _pair_verdict(p, overlap.get("resolution_m"))
            out[f"{p['a'].rsplit('/', 1)[0]} & {p['b'].rsplit('/', 1)[0]}"] = {
                "rmsdz_m": p.get("rmsdz_m"), "mean_m": p.get("mean_m"), "smooth_cells": p.get("smooth_cells"),
                "verdict": verdict}
    return out


def _keep_overlaps(campaign: str, run_controls: str, overlap: Optional[Dict[str, Any]]) -> Dict[str, Any]:
    """The overlap figures of every run control a report has compared the
    flights through (.morva-campaign/overlaps.json), this one's (run_controls
    of the flights done, "run.in+run.boresight.in") added: the figures
    before a calibration stay to compare with those after it."""
    path = os.path.join(campaign, HISTORY)
    history = flights_mod.read_json(path)
    history = history if isinstance(history, dict) else {}
    if overlap is not None:
        history[run_controls] = {"written": time.strftime("%Y-%m-%d %H:%M %Z"), "resolution_m": overlap.get("resolution_m"),
                                 "pairs": _pairs_by_flight(overlap)}
        # The comparison is shown from what was kept; nothing else depends on it.
        with contextlib.suppress(OSError):
            os.makedirs(os.path.dirname(path), exist_ok=True)
            atomic.write_atomically(path, json.dumps(history, indent=1) + "\n", durable=False)
    return history


def report(campaign: str, s: settings_mod.Settings, options: Dict[str, Any], build: Any, runinfo: str) -> int:
    """morva-campaign report DIR (options as command_line.parse gives them):
    exit 0 when the page is written, 1 when it cannot be (one line)."""
    output = options.get("--output") or os.path.join(campaign, OUTPUT)
    found = flights_mod.find(campaign)
    fl = [_flight(f, runinfo) for f in found]
    infos = {f["name"]: f["info"] for f in fl}
    try:
        outputs.check([output], protected.files(campaign, found, lambda f: infos[f.rel], s))
    except outputs.Refused as err:
        print(f"morva-campaign: {err}", file=sys.stderr)
        return 1
    if "--limits" not in options and s.limits:
        options = {**options, "--limits": s.limits}
    with tempfile.TemporaryDirectory() as work:
        quicklook = settings_mod.companion(build.script_dir, "morva-quicklook", "quicklook")
        for f in fl:
            _add_quicklook(f, quicklook, work)
        overlap, overlap_error, picture = _overlap(campaign, fl, options, build, work)
        run_controls = "+".join(sorted({f["run_control"] for f in fl if f["state"] == "done"}))
        history = _keep_overlaps(campaign, run_controls, overlap)
        acc = report_facts.accuracy(campaign, s)
        facts = {"overlap": overlap, "overlap_error": overlap_error, "overlap_picture": picture, "history": history,
                 "run_controls": run_controls, "calibration": report_facts.calibration(campaign, s), "accuracy": acc,
                 "terrain": _terrain(campaign, s, fl, acc, build, work)}
        page = render(campaign, s, fl, facts, build.version)
    try:
        outputs.write_text(output, page)
    except outputs.Refused as err:
        print(f"morva-campaign: {err}", file=sys.stderr)
        return 1
    print(output)
    return 0
