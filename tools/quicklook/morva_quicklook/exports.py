"""Files written beside the picture: the flight line as GeoJSON for a GIS,
and what was drawn as JSON for tests and scripts."""

import json
from typing import Any, Iterable

import numpy as np

from .figure import View, clock
from .summary import COLOUR_PERCENTILES

MAX_VERTICES = 2000


def _rounded(values: Iterable[Any], digits: int) -> list[float]:
    return [round(float(v), digits) for v in values]


def flight_line(view: View) -> dict[str, Any]:
    """An RFC 7946 feature collection holding one LineString feature: the
    centre points, thinned evenly to at most MAX_VERTICES vertices."""
    c, names = view["centres"], view["names"]
    n = len(c.thr)
    keep = np.unique(np.linspace(0, n - 1, min(n, MAX_VERTICES)).round().astype(int)) if n else []
    coordinates = [[round(float(c.lon[k]), 7), round(float(c.lat[k]), 7)] for k in keep]
    properties = {"run_control": names["run_control"], "scan_point_file": names["scan_points"],
                  "centre_point_file": names["centres"], "centre_points": n, "vertices": len(coordinates)}
    if n:
        properties.update({"start": clock(float(c.thr.min())), "end": clock(float(c.thr.max())),
                           "start_hours": round(float(c.thr.min()), 7), "end_hours": round(float(c.thr.max()), 7)})
    geometry = {"type": "LineString", "coordinates": coordinates} if len(coordinates) >= 2 else None
    return {"type": "FeatureCollection",
            "features": [{"type": "Feature", "geometry": geometry, "properties": properties}]}


def content(view: View) -> dict[str, Any]:
    s, bands = view["summary"], view["bands"]
    bounds = {key: _rounded(s.bounds[key], 7) for key in ("thr", "lat", "lon") if key in s.bounds}
    if "h" in s.bounds:
        bounds["h"] = _rounded(s.bounds["h"], 3)
    if "index" in s.bounds:
        bounds["index"] = [int(v) for v in s.bounds["index"]]
    c = view["centres"]
    out = {
        "flight": view["flight"],
        "date": view["date"],
        "title": list(view["title"]),
        "run_control": view["names"]["run_control"],
        "scan_point_file": view["names"]["scan_points"],
        "form": view["form"],
        "centre_point_file": view["names"]["centres"],
        "picture": view["png"],
        "points": {"all": s.records, "valid": s.valid, "drawn": len(s.sample["lat"]), "skipped": s.skipped},
        "bounds": bounds,
        "time_span": [clock(v, 1) for v in s.bounds["thr"]] if "thr" in s.bounds else None,
        "colour_limits": _rounded(view["limits"], 3) if view["limits"] else None,
        "colour_percentiles": list(COLOUR_PERCENTILES),
        "across_scan": {
            "index": [int(v) for v in bands["index"]],
            "count": [int(v) for v in bands["count"]],
            "median": _rounded(bands["median"], 4),
            "p10": _rounded(bands["p10"], 4),
            "p90": _rounded(bands["p90"], 4),
            "tilt_degrees": None if view["tilt"] is None else round(view["tilt"], 4),
            "regression_curve": None if view["curve"] is None else _rounded(view["curve"], 4),
        },
        "centre_points": {"count": len(c.thr), "skipped": c.skipped},
        "report": view["report"],
        "texts": view.get("texts"),
    }
    hist = view["histogram"]
    if hist is not None:
        out["histogram"] = {"edges": _rounded(hist["edges"], 4), "counts": [int(v) for v in hist["counts"]],
                            "below": hist["below"], "above": hist["above"]}
    return out


def write_json(path: str, data: dict[str, Any]) -> None:
    """One top-level key a line, each value compact."""
    with open(path, "w") as f:
        f.write("{\n" + ",\n".join(f" {json.dumps(k)}: {json.dumps(v)}" for k, v in data.items()) + "\n}\n")
