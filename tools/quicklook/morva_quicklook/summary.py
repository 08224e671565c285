"""What the picture shows, gathered chunk by chunk over every point of the
scan-point file: counts, bounds, heights by measurement index, a uniform
random subsample for the map, and each point's distance across the track."""

import math
from dataclasses import dataclass, field
from typing import Any, Iterable

import numpy as np

from .records import Centres, Points

METRES_PER_DEGREE = 111120.0   # the flat-earth scale the run itself uses
COLOUR_PERCENTILES = (2.0, 98.0)
MIN_COLOUR_SPAN_M = 0.01
BAND_PERCENTILES = (10.0, 50.0, 90.0)
HEIGHT_OFFSET = 1 << 31        # makes a height in mm a non-negative key part
TRACK_BASELINE_S = 2.0         # half the span over which the track direction is taken


class IndexUnwrapper:
    """Recovers the measurement index from the low 8 bits a binary record
    keeps. A point's place along the sweep follows its index: each index step
    moves the footprint about the same distance along the scan direction,
    whatever the scan. So where the low byte does not grow (a new scan, or
    the index passing a multiple of 256), the index is the low byte plus the
    multiple of 256 whose distance from the previous point's index best fits
    how far the footprint moved along the sweep. A single step back of the
    footprint (a roof's edge hiding the ground behind it) cannot pass for a
    new scan that way: a multiple of 256 is a long way across the swath."""

    MIN_STEPS = 10   # up steps a chunk needs to measure the sweep

    def __init__(self) -> None:
        self.metres_east: float | None = None
        self.along_x = self.along_y = 0.0   # unit vector of the sweep, metres east and north
        self.per_index = 0.0                # metres along the sweep per index step; 0 until measured
        self.last: tuple[float, float, int] | None = None  # the previous point: x, y, full index

    def _measure_sweep(self, x: np.ndarray, y: np.ndarray, b: np.ndarray) -> None:
        """The sweep's direction and step from the steps where the low byte
        grows by 1 to 3 (within a scan, no points between them left out)."""
        d = np.diff(b)
        up = (d > 0) & (d <= 3)
        if np.count_nonzero(up) < self.MIN_STEPS:
            return
        vx, vy = np.median(np.diff(x)[up] / d[up]), np.median(np.diff(y)[up] / d[up])
        length = math.hypot(vx, vy)
        if length > 0 and math.isfinite(length):
            self.along_x, self.along_y, self.per_index = vx / length, vy / length, length

    def unwrap(self, lat: np.ndarray, lon: np.ndarray, low_byte: np.ndarray) -> np.ndarray:
        b = low_byte.astype(np.int64)
        if not len(b):
            return b
        if self.metres_east is None:
            self.metres_east = METRES_PER_DEGREE * math.cos(math.radians(float(lat[0])))
        x, y = lon * self.metres_east, lat * METRES_PER_DEGREE
        self._measure_sweep(x, y, b)
        # Where the low byte does not grow: the previous chunk's last point first.
        prev_b = np.empty_like(b)
        prev_b[1:] = b[:-1]
        prev_b[0] = (self.last[2] & 255) if self.last is not None else 256
        events = np.nonzero(b <= prev_b)[0]
        start = (self.last[2] >> 8) if self.last is not None else 0
        wraps = np.zeros(len(events), np.int64)
        for n, i in enumerate(events):
            k = 0
            if i > 0 or self.last is not None:
                if i > 0:
                    index = int(b[i - 1]) + 256 * (int(wraps[n - 1]) if n > 0 else start)
                    px, py = float(x[i - 1]), float(y[i - 1])
                else:
                    px, py, index = self.last  # type: ignore[misc]
                if self.per_index > 0:
                    moved = (float(x[i]) - px) * self.along_x + (float(y[i]) - py) * self.along_y
                    k = max(0, round((index + moved / self.per_index - int(b[i])) / 256.0))
            wraps[n] = k
        # Every point takes the multiple of its last event (or the previous chunk's).
        at = np.searchsorted(events, np.arange(len(b)), side="right") - 1
        segment = wraps[np.maximum(at, 0)] if len(events) else np.zeros(len(b), np.int64)
        unwrapped: np.ndarray = b + 256 * np.where(at >= 0, segment, start)
        self.last = (float(x[-1]), float(y[-1]), int(unwrapped[-1]))
        return unwrapped


@dataclass
class Track:
    """The flight line from the centre points, as a function of time, with
    the unit vector pointing to the right of the track."""
    thr: np.ndarray
    east: np.ndarray
    north: np.ndarray
    right_e: np.ndarray
    right_n: np.ndarray
    metres_east: float


def make_track(centres: Centres) -> Track | None:
    if len(centres.thr) < 2:
        return None
    order = np.argsort(centres.thr, kind="stable")
    t = centres.thr[order]
    metres_east = METRES_PER_DEGREE * math.cos(math.radians(float(np.median(centres.lat))))
    east = centres.lon[order] * metres_east
    north = centres.lat[order] * METRES_PER_DEGREE
    span = TRACK_BASELINE_S / 3600.0
    de = np.interp(t + span, t, east) - np.interp(t - span, t, east)
    dn = np.interp(t + span, t, north) - np.interp(t - span, t, north)
    length = np.hypot(de, dn)
    length[length == 0] = np.nan
    return Track(t, east, north, dn / length, -de / length, metres_east)


def across_track(track: Track, thr: np.ndarray, lat: np.ndarray, lon: np.ndarray) -> np.ndarray:
    """Signed distance of each point from the flight line, metres, positive
    to the right of the direction of flight."""
    de = lon * track.metres_east - np.interp(thr, track.thr, track.east)
    dn = lat * METRES_PER_DEGREE - np.interp(thr, track.thr, track.north)
    return de * np.interp(thr, track.thr, track.right_e) + dn * np.interp(thr, track.thr, track.right_n)


@dataclass
class Summary:
    records: int = 0
    valid: int = 0
    skipped: int = 0
    bounds: dict = field(default_factory=dict)
    keys: np.ndarray = field(default_factory=lambda: np.zeros(0, np.int64))  # per point: index << 32 | (height in mm + 2**31)
    sample: dict = field(default_factory=dict)
    across_sum: np.ndarray = field(default_factory=lambda: np.zeros(0))     # per index, metres
    across_count: np.ndarray = field(default_factory=lambda: np.zeros(0, np.int64))


def _extend(bounds: dict[str, list[float]], key: str, values: np.ndarray) -> None:
    if len(values):
        lo, hi = float(values.min()), float(values.max())
        old = bounds.get(key)
        bounds[key] = [min(lo, old[0]), max(hi, old[1])] if old else [lo, hi]


def summarise(chunks: Iterable[Points], expected_records: int, max_drawn: int, binary: bool, track: Track | None,
              seed: int = 1) -> Summary:
    """Folds the chunks of points into a Summary. Each point enters the map's
    subsample with the same chance, max_drawn / expected_records."""
    rng = np.random.default_rng(seed)
    chance = min(1.0, max_drawn / expected_records) if expected_records else 1.0
    unwrapper = IndexUnwrapper() if binary else None
    s = Summary()
    keys = np.empty(expected_records, np.int64)
    drawn: dict[str, list[np.ndarray]] = {"lat": [], "lon": [], "h": []}
    for p in chunks:
        s.skipped += p.skipped
        s.valid += len(p.h_mm)
        index = unwrapper.unwrap(p.lat, p.lon, p.index) if unwrapper is not None else p.index
        for key, values in (("thr", p.thr), ("lat", p.lat), ("lon", p.lon), ("h", p.h_mm / 1000.0),
                            ("index", index)):
            _extend(s.bounds, key, values)
        n = len(p.h_mm)
        if s.valid > len(keys):
            keys = np.resize(keys, s.valid)
        part = keys[s.valid - n:s.valid]
        np.left_shift(np.clip(index, 0, 65535), 32, out=part)
        part |= p.h_mm + HEIGHT_OFFSET
        pick = rng.random(len(p.h_mm)) < chance
        drawn["lat"].append(p.lat[pick])
        drawn["lon"].append(p.lon[pick])
        drawn["h"].append((p.h_mm[pick] / 1000.0).astype(np.float32))
        if track is not None and len(index):
            _add_across(s, index, across_track(track, p.thr, p.lat, p.lon))
    s.records = s.valid + s.skipped
    s.keys = keys[:s.valid]
    s.sample = {key: np.concatenate(v) if v else np.zeros(0) for key, v in drawn.items()}
    return s


def _add_across(s: Summary, index: np.ndarray, d: np.ndarray) -> None:
    """Adds the distances across the track to the sums per index."""
    ok = np.isfinite(d)
    size = int(index.max()) + 1
    if size > len(s.across_sum):
        s.across_sum = np.pad(s.across_sum, (0, size - len(s.across_sum)))
        s.across_count = np.pad(s.across_count, (0, size - len(s.across_count)))
    s.across_sum[:size] += np.bincount(index[ok], weights=d[ok], minlength=size)
    s.across_count[:size] += np.bincount(index[ok], minlength=size)


def heights_mm(summary: Summary) -> np.ndarray:
    """The heights of all points in whole millimetres, in the keys' order."""
    keys = summary.keys
    out = np.empty(len(keys), np.int32)
    for a in range(0, len(keys), 1 << 20):
        out[a:a + (1 << 20)] = (keys[a:a + (1 << 20)] & 0xFFFFFFFF) - HEIGHT_OFFSET
    return out


def per_index(summary: Summary) -> dict[str, np.ndarray]:
    """Count and the 10, 50 and 90 % heights (metres) of every measurement
    index that has points, exact, by one sort of the (index, height) keys."""
    keys = summary.keys
    if not len(keys):
        return {"index": np.zeros(0, int), "count": np.zeros(0, int), "p10": np.zeros(0), "median": np.zeros(0),
                "p90": np.zeros(0)}
    keys.sort()
    last = int(keys[-1] >> 32)
    starts = np.searchsorted(keys, np.arange(last + 2, dtype=np.int64) << 32)
    counts = np.diff(starts)
    present = np.nonzero(counts)[0]
    n = counts[present]
    start = starts[present]
    out = {"index": present, "count": n}
    for q, name in zip(BAND_PERCENTILES, ("p10", "median", "p90")):
        pos = q / 100.0 * (n - 1)
        lo = np.floor(pos).astype(np.int64)
        hi = np.minimum(lo + 1, n - 1)
        a = (keys[start + lo] & 0xFFFFFFFF) - HEIGHT_OFFSET
        b = (keys[start + hi] & 0xFFFFFFFF) - HEIGHT_OFFSET
        out[name] = (a + (b - a) * (pos - lo)) / 1000.0
    return out


def across_tilt(summary: Summary, bands: dict[str, np.ndarray]) -> float | None:
    """Slope of the per-index median height against the per-index mean
    distance across the track, in degrees: positive when the right side of
    the swath lies higher. A roll error shows here at once."""
    idx = bands["index"]
    if len(idx) < 3 or len(summary.across_count) == 0:
        return None
    known = idx < len(summary.across_count)
    idx = idx[known]
    counts = summary.across_count[idx]
    use = counts > 0
    if np.count_nonzero(use) < 3:
        return None
    d = summary.across_sum[idx][use] / counts[use]
    h = bands["median"][known][use]
    w = counts[use].astype(float)
    dm = np.average(d, weights=w)
    spread = np.average((d - dm) ** 2, weights=w)
    if spread < 1.0:
        return None
    slope = np.average((d - dm) * (h - np.average(h, weights=w)), weights=w) / spread
    return math.degrees(math.atan(slope))


def height_limits(h_mm: np.ndarray) -> list[float] | None:
    """Colour limits at the robust percentiles, metres, at least
    MIN_COLOUR_SPAN_M apart (widened about their middle: flat ground would
    otherwise spread the colours over millimetres of noise); reorders h_mm."""
    if not len(h_mm):
        return None
    lo, hi = np.percentile(h_mm, COLOUR_PERCENTILES, overwrite_input=True) / 1000.0
    if hi - lo < MIN_COLOUR_SPAN_M:
        middle = (lo + hi) / 2.0
        lo, hi = middle - MIN_COLOUR_SPAN_M / 2.0, middle + MIN_COLOUR_SPAN_M / 2.0
    return [float(lo), float(hi)]


def histogram(h_mm: np.ndarray, limits: list[float], resolution_mm: int, bins: int = 120) -> dict[str, Any] | None:
    """Counts of heights over the colour limits widened by half their width
    on each side, and the counts below and above that range. The bins are a
    whole number of the records' height steps wide (1 cm in text, 1 mm in
    binary), centred on those steps, so that none catches one step more than
    its neighbours."""
    if not len(h_mm):
        return None
    width = max(limits[1] - limits[0], 0.01) * 1000.0
    lo, hi = limits[0] * 1000.0 - width / 2, limits[1] * 1000.0 + width / 2
    step = math.ceil((hi - lo) / bins / resolution_mm) * resolution_mm
    first = math.floor(lo / resolution_mm) * resolution_mm - resolution_mm / 2
    edges = first + step * np.arange(math.ceil((hi - first) / step) + 1)
    counts, _ = np.histogram(h_mm, bins=edges)
    below = int(np.count_nonzero(h_mm < edges[0]))
    above = int(np.count_nonzero(h_mm >= edges[-1]))
    return {"edges": edges / 1000.0, "counts": counts, "below": below, "above": above}
