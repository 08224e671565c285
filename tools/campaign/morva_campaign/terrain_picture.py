"""The report's map: morva-grid's hillshade of the terrain model of the done
flights (the `dtm` band where morva-grid has it, else the lowest point of
each cell), with each flight line (its centre-point file, projected by
PROJ's cs2cs) and the check points drawn over it as SVG; and the raster's
coordinate systems as GDAL reads them."""
import html
import json
import math
import os
import subprocess
from typing import Any, Optional

from .report_format import image

MAX_PIXELS = 1400       # the picture's longer side at most, for a page
LINE_VERTICES = 400     # the points drawn of each flight line at most
FILL_CELLS = 3          # empty cells (fewer points than cells) filled from their neighbours, for a seamless relief


def _run(command: list[str], cwd: str, stdin: str = "") -> subprocess.CompletedProcess:
    return subprocess.run(command, cwd=cwd, input=stdin, capture_output=True, text=True, errors="replace")


def _png_size(path: str) -> tuple[int, int]:
    with open(path, "rb") as f:
        head = f.read(24)
    return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")


def _grid(grid: str, inputs: list[str], geodesy: list[str], campaign: str, work: str,
          resolution: float) -> tuple[Optional[dict[str, Any]], str]:
    helptext = _run([grid, "--help"], campaign).stdout
    band = "dtm" if "dtm" in helptext else "min"
    tif, png = os.path.join(work, "terrain.tif"), os.path.join(work, "terrain.png")
    done = _run([grid, "--output-type", band, "--resolution", f"{resolution:g}", "--fill", str(FILL_CELLS),
                 "--hillshade", png, *geodesy, *inputs, tif], campaign)
    if done.returncode != 0:
        lines = [ln for ln in done.stderr.splitlines() if ln.strip()]
        return None, lines[-1] if lines else f"morva-grid exited with status {done.returncode}"
    with open(png[:-4] + ".pgw") as f:
        a, _, _, e, c, fy = (float(v) for v in f.read().split())
    return {"band": band, "tif": tif, "png": png, "resolution": resolution, "transform": (a, e, c, fy)}, ""


def coordinate_systems(tif: str, campaign: str) -> dict[str, Any]:
    """The raster's horizontal CRS (name, EPSG code) and its heights' system
    (morva-grid's VERTICAL item) as gdalinfo reads them."""
    done = _run(["gdalinfo", "-json", tif], campaign)
    try:
        info = json.loads(done.stdout)
    except ValueError:
        return {}
    stac = info.get("stac") or {}
    projjson = stac.get("proj:projjson") or {}
    vertical = (info.get("metadata") or {}).get("", {}).get("VERTICAL")
    return {"horizontal": {"name": projjson.get("name"), "epsg": stac.get("proj:epsg")},
            "vertical": {"name": vertical, "epsg": 4979 if vertical == "ellipsoidal height" else None}}


def _project(pairs: list[tuple[str, str]], source: str, target: str, campaign: str) -> list[tuple[float, float]]:
    """Coordinates (in the source CRS's axis order) in the target CRS, by
    PROJ's cs2cs; pairs that do not convert are left out."""
    text = "".join(f"{a} {b}\n" for a, b in pairs)
    done = _run(["cs2cs", "-f", "%.3f", source, target], campaign, text)
    out = []
    for ln in done.stdout.splitlines():
        parts = ln.split()
        try:
            out.append((float(parts[0]), float(parts[1])))
        except (IndexError, ValueError):
            continue
    return out


def _flight_line(centre_file: str, epsg: int, campaign: str) -> list[tuple[float, float]]:
    """Easting, northing of the flight's centre points (thinned)."""
    try:
        with open(centre_file, encoding="utf-8", errors="replace") as f:
            rows = [ln.split() for ln in f if ln.strip()]
    except OSError:
        return []
    step = max(1, math.ceil(len(rows) / LINE_VERTICES))
    picked = rows[::step] + ([rows[-1]] if rows and (len(rows) - 1) % step else [])
    return _project([(r[1], r[2]) for r in picked if len(r) >= 3], "EPSG:4326", f"EPSG:{epsg}", campaign)


def _points_in(points: list[dict[str, Any]], source: Any, epsg: int, campaign: str) -> list[dict[str, Any]]:
    """The check points in the raster's CRS: converted when they are in another."""
    if not isinstance(source, int) or source == epsg:
        return points
    placed = [p for p in points if isinstance(p.get("easting"), (int, float)) and isinstance(p.get("northing"), (int, float))]
    moved = _project([(str(p["easting"]), str(p["northing"])) for p in placed], f"EPSG:{source}", f"EPSG:{epsg}", campaign)
    if len(moved) != len(placed):
        return []
    return [dict(p, easting=x, northing=y) for p, (x, y) in zip(placed, moved)]


def _svg(grid: dict[str, Any], lines: dict[str, list[tuple[float, float]]], points: list[dict[str, Any]]) -> str:
    """The hillshade as an inline SVG with the flight lines and check points
    in its pixels (world file: a, e cell sizes; c, f the first cell's centre)."""
    e_ = html.escape
    width, height = _png_size(grid["png"])
    a, e, c, f = grid["transform"]

    def px(x: float, y: float) -> str:
        return f"{(x - c) / a + 0.5:.1f},{(y - f) / e + 0.5:.1f}"
    scale = max(width, height) / 600.0
    out = [f"<svg class='map' xmlns='http://www.w3.org/2000/svg' viewBox='0 0 {width} {height}' "
           f"width='{width}' height='{height}'><image width='{width}' height='{height}' "
           f"href='{image(grid['png'])}'/>"]
    for name, line in lines.items():
        if len(line) >= 2:
            out.append(f"<polyline fill='none' stroke='#0050c8' stroke-width='{2 * scale:.1f}' "
                       f"points='{' '.join(px(x, y) for x, y in line)}'><title>{e_(name)}</title></polyline>")
            out.append(f"<text x='{px(*line[0]).split(',')[0]}' y='{px(*line[0]).split(',')[1]}' "
                       f"font-size='{12 * scale:.0f}' fill='#0050c8' stroke='#fff' stroke-width='{3 * scale:.1f}' "
                       f"paint-order='stroke'>{e_(name)}</text>")
    for p in points:
        x, y = p.get("easting"), p.get("northing")
        if not isinstance(x, (int, float)) or not isinstance(y, (int, float)):
            continue
        dz = p.get("dz")
        measured = p.get("status", "measured") == "measured" and isinstance(dz, (int, float))
        colour = ("#c00000" if dz > 0 else "#0060ff") if isinstance(dz, (int, float)) and measured else "none"
        cx, cy = px(x, y).split(",")
        title = f"{p.get('id')}: " + (f"dz {dz:+.3f} m" if measured else str(p.get("status", "not measured")))
        out.append(f"<circle cx='{cx}' cy='{cy}' r='{5 * scale:.1f}' fill='{colour}' stroke='#000' "
                   f"stroke-width='{1.2 * scale:.1f}'><title>{e_(title)}</title></circle>")
    out.append("</svg>")
    return "".join(out)


def draw(grid_program: Optional[str], done: list[dict[str, Any]], campaign: str, geodesy: list[str],
         points: list[dict[str, Any]], points_epsg: Any, work: str) -> dict[str, Any]:
    """{"svg", "band", "crs", "resolution"} or {"why"}: done holds each flight
    that is done as {"name", "input" (its run control below the campaign),
    "centre" (its centre-point file or None)}; the check points are in
    EPSG:points_epsg (None: the raster's)."""
    if not done:
        return {"why": "no flight is done"}
    if grid_program is None:
        return {"why": "morva-grid was not found"}
    inputs = [f["input"] for f in done]
    grid, why = _grid(grid_program, inputs, geodesy, campaign, work, 1.0)
    longest = max(_png_size(grid["png"])) if grid else 0
    if longest > MAX_PIXELS:
        grid, why = _grid(grid_program, inputs, geodesy, campaign, work, float(math.ceil(longest / MAX_PIXELS)))
    if grid is None:
        return {"why": f"morva-grid: {why}"}
    crs = coordinate_systems(grid["tif"], campaign)
    epsg = (crs.get("horizontal") or {}).get("epsg")
    lines = {f["name"]: _flight_line(f["centre"], epsg, campaign) for f in done if f["centre"] and epsg}
    shown = _points_in(points, points_epsg, epsg, campaign) if epsg else []
    return {"svg": _svg(grid, lines, shown), "band": grid["band"], "crs": crs, "resolution": grid["resolution"],
            "why": ""}
