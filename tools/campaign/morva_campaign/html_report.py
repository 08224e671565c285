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
import tempfile
from typing import Any, Dict, List, Optional

from . import flights as flights_mod

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


def _flight(flight: flights_mod.Flight, build: Any, quicklook: Optional[str], work: str) -> Dict[str, Any]:
    """What the page shows of one flight."""
    record = _read_json(os.path.join(flight.path, flights_mod.RECORD)) or {}
    identity = record.get("identity") or {}
    args = identity.get("morva_args") or []
    geodesy = args[args.index("--geodesy") + 1] if "--geodesy" in args[:-1] else "flat"
    info = None
    done = subprocess.run([build.runinfo, flights_mod.RUN_CONTROL], cwd=flight.path, capture_output=True, text=True)
    if done.returncode == 0:
        info = json.loads(done.stdout)
    f = {"name": flight.rel, "state": record.get("state", "not run"), "last_line": record.get("last_line", ""),
         "summary": record.get("summary") or {}, "version": identity.get("morva", ""), "geodesy": geodesy,
         "geoid": None, "misalignment": None, "quicklook": None}
    if info:
        f["geoid"] = info.get("geoidfile")
        f["misalignment"] = info.get("misalignment")
    if quicklook and f["state"] == "done":
        png = os.path.join(work, flight.rel.replace("/", "_") + ".png")
        done = subprocess.run([quicklook, "--small", flights_mod.RUN_CONTROL, png], cwd=flight.path,
                              capture_output=True, text=True)
        if done.returncode == 0 and os.path.isfile(png):
            f["quicklook"] = _image(png)
    return f


def _shown(value: Any) -> str:
    if value is None:
        return "none"
    if isinstance(value, list):
        return ", ".join(f"{v:g}" for v in value)
    return str(value)


def _differences(fl: List[Dict[str, Any]]) -> List[str]:
    """Warnings where flights were processed differently."""
    warnings = []
    for label, key in (("geodesy modes", "geodesy"), ("geoid grids", "geoid"), ("misalignments", "misalignment")):
        values = {json.dumps(f[key]) for f in fl if f["state"] == "done"}
        if len(values) > 1:
            each = ", ".join(f"{f['name']}: {_shown(f[key])}" for f in fl if f["state"] == "done")
            warnings.append(f"The flights were processed with different {label} ({each}).")
    return warnings


def _number(v: Optional[float], digits: int = 3) -> str:
    return "-" if v is None else f"{v:.{digits}f}"


CSS = """body{font-family:sans-serif;margin:24px;color:#222}table{border-collapse:collapse;margin:8px 0 20px}
td,th{border:1px solid #bbb;padding:3px 8px;text-align:right}th{background:#eee}td.l,th.l{text-align:left}
.pass{background:#d8f0d8}.fail{background:#f6d0d0}.warn{background:#fff3c4;border:1px solid #d9b400;padding:8px;
margin:8px 0}img{max-width:100%;border:1px solid #ccc}.flight{display:inline-block;width:48%;vertical-align:top;
margin:0 1% 16px 0}"""


def render(campaign: str, fl: List[Dict[str, Any]], overlap: Optional[Dict[str, Any]], overlap_error: str,
           picture: Optional[str]) -> str:
    e = html.escape
    out = [f"<!DOCTYPE html><html><head><meta charset='utf-8'><title>Campaign {e(os.path.basename(campaign))}</title>"
           f"<style>{CSS}</style></head><body><h1>Campaign {e(os.path.basename(campaign))}</h1>"]
    for w in _differences(fl):
        out.append(f"<div class='warn'>Warning: {e(w)}</div>")
    out.append("<h2>Flights</h2><table><tr><th class='l'>flight</th><th class='l'>state</th><th>points</th>"
               "<th>scans</th><th>heights (m)</th><th>bias (m)</th><th>roll</th><th>warnings</th>"
               "<th class='l'>geodesy</th><th class='l'>geoid grid</th><th class='l'>misalignment (deg)</th>"
               "<th class='l'>morva</th></tr>")
    for f in fl:
        s = f["summary"]
        heights = s.get("ground_heights")
        state = f["state"] + (f": {f['last_line']}" if f["last_line"] else "")
        out.append(f"<tr><td class='l'>{e(f['name'])}</td><td class='l'>{e(state)}</td><td>{s.get('points', '-')}</td>"
                   f"<td>{s.get('scans', '-')}</td>"
                   f"<td>{e(' to '.join(_number(h, 2) for h in heights)) if heights else '-'}</td>"
                   f"<td>{_number(s.get('bias'))}</td><td>{_number(s.get('roll'))}</td><td>{s.get('warnings', '-')}</td>"
                   f"<td class='l'>{e(f['geodesy'])}</td><td class='l'>{e(f['geoid'] or 'none')}</td>"
                   f"<td class='l'>{e(_shown(f['misalignment']))}</td>"
                   f"<td class='l'>{e(f['version'] or '-')}</td></tr>")
    out.append("</table><h2>Strip overlaps</h2>")
    if overlap is None:
        out.append(f"<p>No overlap check: {e(overlap_error)}</p>")
    else:
        lim = overlap["limits"]
        if lim.get("name"):
            out.append(f"<p>Limits {e(lim['name'])}: RMSDz at most {_number(lim['max_rmsdz_m'])} m, |dz| at most "
                       f"{_number(lim['max_dz_m'])} m, precision at most {_number(lim['max_precision_m'])} m. Cells of "
                       f"{overlap['resolution_m']:g} m in {e(overlap['crs'])}.</p>")
        out.append("<table><tr><th class='l'>A</th><th class='l'>B</th><th>overlap cells</th><th>smooth cells</th>"
                   "<th>mean (m)</th><th>median (m)</th><th>std (m)</th><th>RMSDz (m)</th><th>p95 |dz| (m)</th>"
                   "<th>max |dz| (m)</th><th>gradient right of A (mm/m)</th><th>gradient right of B (mm/m)</th>"
                   "<th class='l'>verdict</th></tr>")
        for p in overlap["pairs"]:
            grad = [None if p[k] is None else p[k] * 1000 for k in ("gradient_right_of_a", "gradient_right_of_b")]
            out.append(f"<tr><td class='l'>{e(p['a'])}</td><td class='l'>{e(p['b'])}</td><td>{p['overlap_cells']}</td>"
                       f"<td>{p['smooth_cells']}</td><td>{_number(p['mean_m'], 4)}</td><td>{_number(p['median_m'], 4)}</td>"
                       f"<td>{_number(p['std_m'], 4)}</td><td>{_number(p['rmsdz_m'], 4)}</td>"
                       f"<td>{_number(p['p95_abs_m'], 4)}</td><td>{_number(p['max_abs_m'], 4)}</td>"
                       f"<td>{_number(grad[0])}</td><td>{_number(grad[1])}</td>"
                       f"<td class='l {e(p['verdict'])}'>{e(p['verdict'] or '-')}</td></tr>")
        out.append("</table><table><tr><th class='l'>flight</th><th>precision (m)</th><th class='l'>verdict</th>"
                   "<th>heading (deg)</th></tr>")
        for f in overlap["flights"]:
            out.append(f"<tr><td class='l'>{e(f['name'])}</td><td>{_number(f['precision_m'], 4)}</td>"
                       f"<td class='l {e(f['verdict'])}'>{e(f['verdict'] or '-')}</td><td>{f['heading_deg']:.1f}</td></tr>")
        out.append("</table>")
        for w in overlap.get("warnings", []):
            out.append(f"<div class='warn'>Warning: {e(w)}</div>")
        if picture:
            out.append(f"<img alt='strip differences' src='{picture}'>")
    out.append("<h2>Quick-looks</h2>")
    for f in fl:
        if f["quicklook"]:
            out.append(f"<div class='flight'><h3>{e(f['name'])}</h3><img alt='quick-look {e(f['name'])}' "
                       f"src='{f['quicklook']}'></div>")
    out.append("</body></html>\n")
    return "".join(out)


def report(campaign: str, options: Dict[str, Any], build: Any) -> int:
    """morva-campaign report DIR (options as command_line.parse gives them):
    exit 0 when the page is written."""
    output = options.get("--output") or os.path.join(campaign, OUTPUT)
    with tempfile.TemporaryDirectory() as work:
        quicklook = _program(build, "morva-quicklook", "quicklook")
        fl = [_flight(f, build, quicklook, work) for f in flights_mod.find(campaign)]
        overlap, overlap_error, picture = None, "", None
        tool = _program(build, "morva-overlap", "overlap")
        if tool is None:
            overlap_error = "morva-overlap was not found"
        else:
            command = [tool, "--json", os.path.join(work, "o.json"), "--picture", os.path.join(work, "o.png")]
            for name in ("--limits", "--resolution"):
                if name in options:
                    command += [name, str(options[name])]
            done = subprocess.run(command + [campaign], capture_output=True, text=True)
            if done.returncode in (0, 3, 4):   # compared: all pass, a failure, a pair not tested
                overlap = _read_json(os.path.join(work, "o.json"))
                picture = _image(os.path.join(work, "o.png"))
            else:
                overlap_error = (done.stderr.strip().splitlines() or ["morva-overlap failed"])[-1]
        page = render(campaign, fl, overlap, overlap_error, picture)
    tmp = output + f".partial-{os.getpid()}"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write(page)
    os.replace(tmp, output)
    print(output)
    return 0
