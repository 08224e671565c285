"""The sections of the client's report that are not the flights' or the
strip overlaps': the calibration, the absolute accuracy at the check points,
the point density, and the map. Each returns HTML, escaped, and a section
without data says why."""
import math
from typing import Any, Optional

from .report_format import NOT_TESTED, count, e, guarded, is_figure, number, text, verdict_cell

HISTOGRAM_BINS = 12


def calibration(cal: dict[str, Any], fl: list[dict[str, Any]], estimate: Optional[list[float]]) -> list[str]:
    """The angles with their standard deviations, the tie patches' RMS
    before and after, and each flight's run control and angles as used."""
    out = ["<h2>Boresight calibration</h2>"]
    if not cal.get("data"):
        out.append(f"<p class='missing'>Not done: {e(cal['why'])}.</p>")
    else:
        d = cal["data"]
        out.append(f"<p>From {e(cal['file'])} (morva-boresight), {count(d.get('points'))} points on "
                   f"{count((d.get('patches') or {}).get('count'))} tie patches, geodesy {e(text(d.get('geodesy')))}.</p>")
        out.append("<table class='keep'><tr><th class='l'>angle</th><th>start (deg)</th><th>estimate (deg)</th>"
                   "<th>standard deviation (deg)</th><th class='l'>note</th></tr>")
        for a in cal["angles"]:
            note = f"not determined: {a['not_determined']}" if a.get("not_determined") else ""
            out.append(f"<tr><td class='l'>{e(a['angle'])}</td><td>{number(a['start'], 6)}</td>"
                       f"<td>{number(a['estimate'], 6)}</td><td>{number(a['sigma'], 6)}</td>"
                       f"<td class='l'>{e(note)}</td></tr>")
        out.append("</table><table class='keep'><tr><th class='l'>tie-patch fit between the flight lines</th>"
                   "<th>before calibration</th><th>after calibration</th></tr>"
                   f"<tr><td class='l'>RMS point-to-plane distance (m)</td><td>{number(cal['rms_before'], 4)}</td>"
                   f"<td>{number(cal['rms_after'], 4)}</td></tr></table>")
    out.append("<table class='keep'><tr><th class='l'>flight processed</th><th class='l'>with run control</th>"
               "<th>dpitch (deg)</th><th>droll (deg)</th><th>dheading (deg)</th><th class='l'>angles used</th></tr>")
    for f in fl:
        used = f["misalignment"] if isinstance(f["misalignment"], list) and len(f["misalignment"]) == 3 else None
        if estimate is None or used is None:
            agree = "-"
        else:
            agree = ("the calibration's" if all(abs(u - c) < 5e-7 for u, c in zip(used, estimate))
                     else "NOT the calibration's")
        cells = "".join(f"<td>{number(v, 6)}</td>" for v in (used or [None] * 3))
        out.append(f"<tr><td class='l'>{e(f['name'])}</td><td class='l'>{e(f['run_control'])}</td>{cells}"
                   f"<td class='l'>{e(agree)}</td></tr>")
    out.append("</table>")
    return out


def before_after(history: dict[str, Any], now: str, calibrated: bool) -> list[str]:
    """Each pair's strip differences through every other run control the
    flights were compared through (before the calibration) and through
    the one they are processed with now; when there are none and there was
    a calibration, why."""
    current = history.get(now)
    others = [k for k in history if k != now and isinstance(history[k], dict)]
    if not isinstance(current, dict) or not others:
        return [] if not calibrated else ["<p class='missing'>Strip overlaps before the calibration: none kept (a report made while the "
                "flights were processed with their earlier run control keeps them for this comparison).</p>"]
    out = ["<p>Strip differences (morva-overlap) before the calibration, through the run control the flights were "
           "processed with earlier, and now:</p><table class='keep'><tr><th class='l'>strip overlap</th>"]
    for k in others + [now]:
        label = (f"{k}, cells of {number(history[k].get('resolution_m'), 1)} m ({history[k].get('written', '')})"
                 + (", now" if k == now else ""))
        out.append(f"<th>RMSDz (m), {e(label)}</th><th>mean dz (m)</th>")
    out.append("</tr>")
    for pair, fig in (current.get("pairs") or {}).items():
        cells = ""
        for k in others + [now]:
            f = (history[k].get("pairs") or {}).get(pair) or {}
            untested = f.get("verdict") == NOT_TESTED
            cells += (f"<td>{number(f.get('rmsdz_m'), 4)}{' (not tested)' if untested and f else ''}</td>"
                      f"<td>{number(f.get('mean_m'), 4)}</td>")
        out.append(f"<tr><td class='l'>{e(pair)}</td>{cells}</tr>")
    out.append("</table>")
    return out


def _histogram(dz: list[float]) -> str:
    """An SVG histogram of dz (cm bins over the values' range)."""
    low, high = min(dz), max(dz)
    width = max((high - low) / HISTOGRAM_BINS, 0.005)
    counts = [0] * HISTOGRAM_BINS
    for v in dz:
        counts[min(HISTOGRAM_BINS - 1, int((v - low) / width))] += 1
    top = max(counts)
    bars = []
    for i, n in enumerate(counts):
        h = 120.0 * n / top
        bars.append(f"<rect x='{30 + i * 30}' y='{140 - h:.1f}' width='26' height='{h:.1f}' fill='#557'>"
                    f"<title>{n}</title></rect>")
    return (f"<svg class='hist' xmlns='http://www.w3.org/2000/svg' viewBox='0 0 420 170' width='420' height='170'>"
            f"{''.join(bars)}<line x1='30' y1='140' x2='390' y2='140' stroke='#000'/>"
            f"<text x='30' y='158' font-size='11'>{low:+.3f} m</text>"
            f"<text x='390' y='158' font-size='11' text-anchor='end'>{low + width * HISTOGRAM_BINS:+.3f} m</text>"
            f"<text x='210' y='158' font-size='11' text-anchor='middle'>dz = lidar - surveyed ({len(dz)} points)</text>"
            f"<text x='26' y='{140 - 120}' font-size='11' text-anchor='end'>{top}</text></svg>")


def _figures_table(data: dict[str, Any]) -> str:
    rows = ["<table class='keep'><tr><th class='l'>land cover</th><th>check points</th><th>mean dz (m)</th>"
            "<th>standard deviation (m)</th><th>standard error of the mean (m)</th><th>RMSEz (m)</th>"
            "<th>NVA (m)</th><th>VVA (m)</th></tr>"]
    for cover in ("open", "vegetated"):
        g: dict[str, Any] = data[cover] if isinstance(data.get(cover), dict) else {}
        n, sd = g.get("count"), g.get("std")
        se = sd / math.sqrt(n) if is_figure(sd) and isinstance(n, int) and n > 0 else None
        rows.append(f"<tr><td class='l'>{cover}</td><td>{count(n)}</td><td>{number(g.get('mean'), 4)}</td>"
                    f"<td>{number(sd, 4)}</td><td>{number(se, 4)}</td><td>{number(g.get('rmse'), 4)}</td>"
                    f"<td>{number(g.get('nva'), 4)}</td><td>{number(g.get('vva'), 4)}</td></tr>")
    rows.append("</table>")
    return "".join(rows)


def accuracy_verdicts(acc: dict[str, Any]) -> list[tuple[str, Any, Any, str, str]]:
    """(figure, value, limit, verdict, why) of each accuracy figure, guarded."""
    data = acc.get("data") or {}
    out = []
    for v in data.get("verdicts") or []:
        if isinstance(v, dict):
            verdict, why = guarded(v.get("verdict"), v.get("value"), v.get("limit"), v.get("reason"))
            out.append((text(v.get("figure")), v.get("value"), v.get("limit"), verdict, why))
    return out


def density_verdict(acc: dict[str, Any]) -> tuple[str, str]:
    if not acc.get("data"):
        return NOT_TESTED, acc["why"]
    d = acc["data"].get("density")
    if not isinstance(d, dict):
        return NOT_TESTED, "morva-accuracy gave no density figures"
    cells = d.get("cells")
    if not isinstance(cells, int) or cells <= 0:
        return NOT_TESTED, text(d.get("reason")) if d.get("reason") else "no cell holds a point"
    return guarded(d.get("verdict"), d.get("mean"), d.get("required"), d.get("reason"))


def accuracy(acc: dict[str, Any]) -> list[str]:
    """The check points' figures, verdicts, histogram and not measured ones."""
    out = ["<h2>Absolute vertical accuracy</h2>"]
    data = acc.get("data")
    if not data:
        out.append(f"<p class='missing'>Not done: {e(acc['why'])}.</p>")
        return out
    if acc.get("why"):
        out.append(f"<div class='warn'>Warning: {e(acc['why'])}.</div>")
    lim = data.get("limits") if isinstance(data.get("limits"), dict) else {}
    missing = data.get("not_measured") if isinstance(data.get("not_measured"), dict) else {}
    points = [p for p in data.get("checkpoints") or [] if isinstance(p, dict)]
    out.append(f"<p>Check points {e(text(data.get('checkpoints_file')))}: {len(points)}, of which "
               f"{count(missing.get('outside'))} outside the data and {count(missing.get('far'))} farther than "
               f"{number(data.get('max_edge'), 1)} m from a ground point were not measured (listed below). "
               f"Heights of the bare-earth triangulation of the ground points (morva-accuracy "
               f"{e(text(data.get('version')))}); limits {e(text(lim.get('name')))}.</p>")
    out.append(_figures_table(data))
    out.append("<table class='keep'><tr><th class='l'>figure</th><th>value (m)</th><th>limit (m)</th>"
               "<th class='l'>verdict</th></tr>")
    for figure, value, limit, verdict, why in accuracy_verdicts(acc):
        out.append(f"<tr><td class='l'>{e(figure)}</td><td>{number(value, 4)}</td><td>{number(limit, 4)}</td>"
                   f"{verdict_cell(verdict, why)}</tr>")
    out.append("</table>")
    dz = [p["dz"] for p in points if p.get("status") == "measured" and is_figure(p.get("dz"))]
    if dz:
        out.append(_histogram(dz))
    gone = [p for p in points if p.get("status") != "measured"]
    if gone:
        out.append("<table class='keep'><tr><th class='l'>check point not measured</th><th>easting</th>"
                   "<th>northing</th><th class='l'>why</th></tr>")
        for p in gone:
            why = {"outside": "outside the data", "far": "too far from a ground point"}.get(str(p.get("status")),
                                                                                          text(p.get("status")))
            out.append(f"<tr><td class='l'>{e(text(str(p.get('id'))))}</td><td>{number(p.get('easting'), 2)}</td>"
                       f"<td>{number(p.get('northing'), 2)}</td><td class='l'>{e(why)}</td></tr>")
        out.append("</table>")
    return out


def density(acc: dict[str, Any]) -> list[str]:
    out = ["<h2>Point density</h2>"]
    if not acc.get("data"):
        out.append("<p class='missing'>Not done: measured with the absolute accuracy (above).</p>")
        return out
    d = acc["data"].get("density")
    if not isinstance(d, dict):
        out.append("<p class='missing'>Not done: morva-accuracy gave no density figures.</p>")
        return out
    verdict, why = density_verdict(acc)
    share, need = d.get("share_meeting"), d.get("required_share")
    out.append("<table class='keep'><tr><th>cell size (m)</th><th>cells with points</th>"
               "<th>mean density (first or only returns per m²)</th><th>required (per m²)</th>"
               "<th>share of cells meeting it</th><th>share required</th><th class='l'>verdict</th></tr>"
               f"<tr><td>{number(d.get('cell_size'), 2)}</td><td>{count(d.get('cells'))}</td>"
               f"<td>{number(d.get('mean'), 2)}</td><td>{number(d.get('required'), 2)}</td>"
               f"<td>{number(share * 100 if is_figure(share) else None, 1)} %</td>"
               f"<td>{number(need * 100 if is_figure(need) else None, 1)} %</td>{verdict_cell(verdict, why)}</tr></table>")
    return out


def terrain(picture: dict[str, Any]) -> list[str]:
    if not picture.get("svg"):
        return ["<h2>Terrain model</h2>", f"<p class='missing'>Not drawn: {e(picture['why'])}.</p>"]
    which = ("the terrain model (morva-grid's dtm band)" if picture["band"] == "dtm" else
             "the lowest point of each cell (morva-grid's min band: this morva-grid has no terrain model band)")
    out = ["<div class='keep'><h2>Terrain model</h2>"]
    out.append(f"<p>Hillshade of {e(which)}, cells of {number(picture['resolution'], 1)} m; flight lines in blue, "
               "check points as dots (red above the surveyed height, blue below, hollow not measured).</p>")
    out.append(f"{picture['svg']}</div>")
    return out
