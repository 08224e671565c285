"""morva-campaign report: one self-contained HTML page of a campaign: every
flight's state, figures, quick-look, geodesy and software version, the strip
overlaps with their verdicts and picture (from morva-overlap), and a warning
where flights were processed differently."""
import base64
import html
import json
import os
import shutil
import subprocess
import sys
import tempfile
from typing import Any, Dict, List, Optional

from morva_cli import outputs

from . import flights as flights_mod, protected
from .flight_run import RUNNER_FILES

OUTPUT = "campaign-report.html"


def _program(build: Any, name: str, subdir: str) -> Optional[str]:
    for candidate in (os.path.join(build.script_dir, name), os.path.join(build.script_dir, os.pardir, subdir, name)):
        if os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return candidate
    return shutil.which(name)


def _image(path: str) -> str:
    with open(path, "rb") as f:
        return "data:image/png;base64," + base64.b64encode(f.read()).decode("ascii")


def _read_json(path: str) -> Any:
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def _runinfo(runinfo: str, flight: flights_mod.Flight, run_control: str) -> Optional[Dict[str, Any]]:
    """The run control as morva reads it, or None."""
    try:
        done = subprocess.run([runinfo, run_control], cwd=flight.path, capture_output=True, text=True,
                              stdin=subprocess.DEVNULL)
        info = json.loads(done.stdout) if done.returncode == 0 else None
    except (OSError, ValueError):
        return None
    return info if isinstance(info, dict) else None


def _used_run_control(record: Dict[str, Any]) -> str:
    """The run control the flight's record says it was processed with."""
    entry = record.get("run_control")
    name = entry.get("name") if isinstance(entry, dict) else None
    return name if isinstance(name, str) else flights_mod.RUN_CONTROL


def _flight(flight: flights_mod.Flight, runinfo: str) -> Dict[str, Any]:
    """What the page shows of one flight: its record, and the run control it
    was processed with (the configured one when it has not run yet)."""
    record = _read_json(os.path.join(flight.path, flights_mod.RECORD)) or {}
    identity = record.get("identity") or {}
    args = identity.get("morva_args") or []
    geodesy = args[args.index("--geodesy") + 1] if "--geodesy" in args[:-1] else "flat"
    run_control = _used_run_control(record)
    info = _runinfo(runinfo, flight, run_control)
    state = "stopped" if record.get("stopped_by") else record.get("state", "not run")
    f = {"name": flight.rel, "flight": flight, "state": state,
         "last_line": record.get("last_line", ""), "summary": record.get("summary") or {},
         "version": identity.get("morva", ""), "geodesy": geodesy, "run_control": run_control,
         "geoid": None, "misalignment": record.get("misalignment"), "quicklook": None, "info": info}
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
        f["quicklook"] = _image(png)


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


def _number(v: Any, digits: int = 3) -> str:
    """A figure, or "-" where there is none (never "None")."""
    if isinstance(v, bool) or not isinstance(v, (int, float)):
        return "-"
    return f"{v:.{digits}f}"


def _count(v: Any) -> str:
    return str(v) if isinstance(v, int) and not isinstance(v, bool) else "-"


def _text(v: Any) -> str:
    return v if isinstance(v, str) and v else "-"


NOT_TESTED = "not tested"


def _pair_verdict(p: Dict[str, Any], resolution: Any) -> tuple[str, str]:
    """(verdict, why it is "not tested"): a pair without smooth cells was not
    compared, whatever verdict an older morva-overlap gave it."""
    smooth = p.get("smooth_cells")
    if p.get("verdict") != NOT_TESTED and isinstance(smooth, int) and smooth > 0:
        return _text(p.get("verdict")), ""
    reason = p.get("reason")
    if not isinstance(reason, str) or not reason:
        at = f" at cells of {resolution:g} m" if isinstance(resolution, (int, float)) else ""
        reason = f"{_count(smooth) if smooth is not None else 'no'} smooth cells{at}"
        hints = [v for k, v in p.items() if "resolution" in k and isinstance(v, (int, float))]
        if hints:
            reason += f"; cells of {hints[0]:g} m would test it"
    return NOT_TESTED, reason


def _flight_verdicts(overlap: Dict[str, Any], tested: set[str]) -> Dict[str, str]:
    """Each flight's verdict: "not tested" unless one of its pairs was."""
    out = {}
    for f in overlap.get("flights", []):
        name = f.get("name")
        out[name] = _text(f.get("verdict")) if name in tested and f.get("verdict") != NOT_TESTED else NOT_TESTED
    return out


def _verdict_cell(verdict: str, why: str = "") -> str:
    e = html.escape
    css = {"pass": "pass", "fail": "fail", NOT_TESTED: "untested"}.get(verdict, "")
    text = verdict + (f" ({why})" if why else "")
    return f"<td class='l {css}'>{e(text)}</td>"


CSS = """body{font-family:sans-serif;margin:24px;color:#222}table{border-collapse:collapse;margin:8px 0 20px}
td,th{border:1px solid #bbb;padding:3px 8px;text-align:right}th{background:#eee}td.l,th.l{text-align:left}
.pass{background:#d8f0d8}.fail{background:#f6d0d0}.untested{background:#e8e8e8}.warn{background:#fff3c4;
border:1px solid #d9b400;padding:8px;margin:8px 0}img{max-width:100%;border:1px solid #ccc}.flight{display:inline-block;
width:48%;vertical-align:top;margin:0 1% 16px 0}"""


def _overlap_section(overlap: Dict[str, Any], picture: Optional[str], names: Dict[str, str]) -> List[str]:
    """The strip overlaps: the limits, every pair, every flight."""
    e = html.escape
    out = []
    resolution = overlap.get("resolution_m")
    lim = overlap.get("limits") or {}
    if lim.get("name"):
        out.append(f"<p>Limits {e(str(lim['name']))}: RMSDz at most {_number(lim.get('max_rmsdz_m'))} m, |dz| at "
                   f"most {_number(lim.get('max_dz_m'))} m, precision at most {_number(lim.get('max_precision_m'))} m. "
                   f"Cells of {_number(resolution, 2)} m in {e(_text(overlap.get('crs')))}.</p>")
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
        figures = "".join(f"<td>{_number(p.get(k), 4)}</td>" for k in ("mean_m", "median_m", "std_m", "rmsdz_m",
                                                                    "p95_abs_m", "max_abs_m"))
        out.append(f"<tr><td class='l'>{e(names.get(p.get('a'), _text(p.get('a'))))}</td>"
                   f"<td class='l'>{e(names.get(p.get('b'), _text(p.get('b'))))}</td>"
                   f"<td>{_count(p.get('overlap_cells'))}</td><td>{_count(p.get('smooth_cells'))}</td>{figures}"
                   f"<td>{_number(grad[0])}</td><td>{_number(grad[1])}</td>{_verdict_cell(verdict, why)}</tr>")
    out.append("</table><table><tr><th class='l'>flight</th><th>precision (m)</th><th class='l'>verdict</th>"
               "<th>heading (deg)</th></tr>")
    verdicts = _flight_verdicts(overlap, tested)
    for f in overlap.get("flights", []):
        name = f.get("name")
        out.append(f"<tr><td class='l'>{e(names.get(name, _text(name)))}</td><td>{_number(f.get('precision_m'), 4)}</td>"
                   f"{_verdict_cell(verdicts[name])}<td>{_number(f.get('heading_deg'), 1)}</td></tr>")
    out.append("</table>")
    for w in overlap.get("warnings", []):
        out.append(f"<div class='warn'>Warning: {e(str(w))}</div>")
    if picture:
        out.append(f"<img alt='strip differences' src='{picture}'>")
    return out


def render(campaign: str, fl: List[Dict[str, Any]], overlap: Optional[Dict[str, Any]], overlap_error: str,
           picture: Optional[str]) -> str:
    e = html.escape
    out = [f"<!DOCTYPE html><html><head><meta charset='utf-8'><title>Campaign {e(os.path.basename(campaign))}</title>"
           f"<style>{CSS}</style></head><body><h1>Campaign {e(os.path.basename(campaign))}</h1>"]
    for w in _differences(fl):
        out.append(f"<div class='warn'>Warning: {e(w)}</div>")
    out.append("<h2>Flights</h2><table><tr><th class='l'>flight</th><th class='l'>state</th><th>points</th>"
               "<th>scans</th><th>heights (m)</th><th>bias (m)</th><th>roll</th><th>warnings</th>"
               "<th class='l'>geodesy</th><th class='l'>geoid grid</th><th class='l'>run control</th>"
               "<th class='l'>misalignment (deg)</th><th class='l'>morva</th></tr>")
    for f in fl:
        s = f["summary"]
        heights = s.get("ground_heights")
        state = f["state"] + (f": {f['last_line']}" if f["last_line"] else "")
        out.append(f"<tr><td class='l'>{e(f['name'])}</td><td class='l'>{e(state)}</td><td>{_count(s.get('points'))}</td>"
                   f"<td>{_count(s.get('scans'))}</td>"
                   f"<td>{e(' to '.join(_number(h, 2) for h in heights)) if isinstance(heights, list) else '-'}</td>"
                   f"<td>{_number(s.get('bias'))}</td><td>{_number(s.get('roll'))}</td><td>{_count(s.get('warnings'))}</td>"
                   f"<td class='l'>{e(f['geodesy'])}</td><td class='l'>{e(f['geoid'] or 'none')}</td>"
                   f"<td class='l'>{e(f['run_control'])}</td><td class='l'>{e(_shown(f['misalignment']))}</td>"
                   f"<td class='l'>{e(f['version'] or '-')}</td></tr>")
    out.append("</table><h2>Strip overlaps</h2>")
    if overlap is None:
        out.append(f"<p>No overlap check: {e(overlap_error)}</p>")
    else:
        names = {f"{f['name']}/{f['run_control']}": f["name"] for f in fl}
        out += _overlap_section(overlap, picture, names)
    out.append("<h2>Quick-looks</h2>")
    for f in fl:
        if f["quicklook"]:
            out.append(f"<div class='flight'><h3>{e(f['name'])}</h3><img alt='quick-look {e(f['name'])}' "
                       f"src='{f['quicklook']}'></div>")
    out.append("</body></html>\n")
    return "".join(out)


def _overlap(campaign: str, fl: List[Dict[str, Any]], options: Dict[str, Any], build: Any,
             work: str) -> tuple[Optional[Dict[str, Any]], str, Optional[str]]:
    """morva-overlap on the flights that are done (a failed one leaves the
    others compared), each through the run control it was processed with:
    (its JSON or None, why there is none, the picture or None)."""
    done = [f for f in fl if f["state"] == "done"]
    if len(done) < 2:
        return None, f"{len(done)} flight{'' if len(done) == 1 else 's'} done, two are needed", None
    tool = _program(build, "morva-overlap", "overlap")
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
    overlap = _read_json(os.path.join(work, "o.json"))
    if not isinstance(overlap, dict):
        return None, "morva-overlap wrote no figures", None
    try:
        picture: Optional[str] = _image(os.path.join(work, "o.png"))
    except OSError:
        picture = None
    return overlap, "", picture


def report(campaign: str, options: Dict[str, Any], build: Any, runinfo: str) -> int:
    """morva-campaign report DIR (options as command_line.parse gives them):
    exit 0 when the page is written, 1 when it cannot be (one line)."""
    output = options.get("--output") or os.path.join(campaign, OUTPUT)
    found = flights_mod.find(campaign)
    fl = [_flight(f, runinfo) for f in found]
    infos = {f["name"]: f["info"] for f in fl}
    try:
        outputs.check([output], protected.files(campaign, found, lambda f: infos[f.rel], RUNNER_FILES))
    except outputs.Refused as e:
        print(f"morva-campaign: {e}", file=sys.stderr)
        return 1
    with tempfile.TemporaryDirectory() as work:
        quicklook = _program(build, "morva-quicklook", "quicklook")
        for f in fl:
            _add_quicklook(f, quicklook, work)
        overlap, overlap_error, picture = _overlap(campaign, fl, options, build, work)
        page = render(campaign, fl, overlap, overlap_error, picture)
    try:
        outputs.write_text(output, page)
    except outputs.Refused as e:
        print(f"morva-campaign: {e}", file=sys.stderr)
        return 1
    print(output)
    return 0
