"""The checks of the raster's content: every cell against numpy's statistics
of the points in it (or within the radius, or as a fill fills it), the mean
against the true surface, the overviews, the tiles left out or filled, and a
projected LAS file's points against GeographicLib."""

import math
import os
import struct
import subprocess

import numpy as np
import tifffile

from case_points import geoconvert, las_points, run_control_points
from case_raster import read_raster
from case_verdict import check, fail

EDGE = 0.001  # metres: a point this close to a cell edge may fall either way


def check_overviews(path, pixels, levels):
    """Each overview halves the one before, its cell (r, c) the nearest
    neighbour of the four it covers: the level before's cell (2r + 1, 2c + 1),
    the last row or column where that level's size is odd; a value of the
    band or nodata, never a blend."""
    with tifffile.TiffFile(path) as t:
        count = len(t.pages)
    check(count - 1 == levels, f"{count - 1} overviews, not {levels}")
    before = pixels
    for level in range(1, count):
        view, _ = read_raster(path, level)
        rows, cols = before.shape[:2]
        check(view.shape[:2] == ((rows + 1) // 2, (cols + 1) // 2), f"overview {level} is {view.shape[:2]}, not half of {(rows, cols)}")
        picked = before[np.minimum(2 * np.arange(view.shape[0]) + 1, rows - 1)][:, np.minimum(2 * np.arange(view.shape[1]) + 1, cols - 1)]
        for b in range(pixels.shape[2]):
            wrong = view[:, :, b] != picked[:, :, b]
            check(not wrong.any(), f"overview {level} band {b + 1}: {int(wrong.sum())} cells not the nearest of the level before")
        before = view


def check_left_out(path, bands, at_least):
    """At least that many tiles of the height bands hold no bytes (left out,
    every cell nodata); the count band keeps every tile (its empty cells are 0)."""
    with tifffile.TiffFile(path) as t:
        page = t.pages[0]
        check(page.planarconfig == 2, "expected the bands stored one after another")
        per_band = len(page.databytecounts) // page.samplesperpixel
        counts = np.array(page.databytecounts).reshape(page.samplesperpixel, per_band)
    for b, name in enumerate(bands):
        empty = int((counts[b] == 0).sum())
        if name == "count":
            check(empty == 0, f"the count band left out {empty} tiles")
        else:
            check(empty >= at_least, f"band {name}: {empty} of {per_band} tiles left out, expected at least {at_least}")


def check_fill_reaches(pixels, bands, nodata, at_least, side=256):
    """At least that many tiles without any point hold filled height cells
    (the fill reached into tiles the points left empty)."""
    count = pixels[:, :, bands.index("count")]
    height = pixels[:, :, next(b for b, name in enumerate(bands) if name in ("min", "max", "mean", "idw"))]
    reached = 0
    for r0 in range(0, count.shape[0], side):
        for c0 in range(0, count.shape[1], side):
            tile = (slice(r0, r0 + side), slice(c0, c0 + side))
            reached += int(not count[tile].any() and (height[tile] != nodata).any())
    check(reached >= at_least, f"the fill reached {reached} tiles without points, expected at least {at_least}")


def check_cells(pixels, geo, bands, e, n, h, nodata, radius=None, fill=None):
    x0, y1 = geo["ModelTiepoint"][3], geo["ModelTiepoint"][4]
    r = geo["ModelPixelScale"][0]
    rows, cols = pixels.shape[:2]
    fx, fy = (e - x0) / r, (y1 - n) / r
    col, row = np.floor(fx).astype(np.int64), np.floor(fy).astype(np.int64)
    check(col.min() >= 0 and row.min() >= 0 and col.max() < cols and row.max() < rows,
          "points fall outside the raster")
    near_edge = (np.minimum(fx - col, col + 1 - fx) * r < EDGE) | (np.minimum(fy - row, row + 1 - fy) * r < EDGE)
    doubtful = np.zeros((rows, cols), bool)
    cell = row * cols + col
    if radius is None:
        # Both cells beside a near edge are in doubt.
        for de in (-EDGE / r, EDGE / r):
            for dn in (-EDGE / r, EDGE / r):
                c2 = np.clip(np.floor(fx[near_edge] + de).astype(np.int64), 0, cols - 1)
                r2 = np.clip(np.floor(fy[near_edge] + dn).astype(np.int64), 0, rows - 1)
                doubtful[r2, c2] = True
        order = np.argsort(cell, kind="stable")
        cell_sorted, h_sorted = cell[order], h[order]
        starts = np.flatnonzero(np.r_[True, cell_sorted[1:] != cell_sorted[:-1]])
        groups = {int(cell_sorted[s]): h_sorted[s:t] for s, t in zip(starts, np.r_[starts[1:], len(cell_sorted)])}
    else:
        groups = {}
        reach = int(math.ceil(radius / r)) + 1
        for k in range(len(e)):
            for rr in range(row[k] - reach, row[k] + reach + 1):
                for cc in range(col[k] - reach, col[k] + reach + 1):
                    if not (0 <= rr < rows and 0 <= cc < cols):
                        continue
                    d = math.hypot(x0 + (cc + 0.5) * r - e[k], y1 - (rr + 0.5) * r - n[k])
                    if abs(d - radius) < EDGE:
                        doubtful[rr, cc] = True
                    elif d < radius:
                        groups.setdefault(rr * cols + cc, []).append((h[k], d))
        groups = {k: np.array(v) for k, v in groups.items()}
    for k, v in list(groups.items()):
        groups[k] = v if v.ndim == 2 else np.stack([v, np.ones(len(v))], axis=1)

    def idw(v):
        centre = v[:, 1] < 1e-9
        if centre.any():
            return v[centre, 0].mean()
        return np.sum(v[:, 0] / v[:, 1] ** 2) / np.sum(1 / v[:, 1] ** 2)
    compared = 0
    for b, name in enumerate(bands):
        if name == "dtm":  # checked against the truth or a triangulation (terrain, triangulation)
            continue
        band = pixels[:, :, b].astype(np.float64)
        expected = np.full(rows * cols, 0.0 if name == "count" else nodata)
        for c, values in groups.items():
            if name == "idw":
                expected[c] = idw(values)
            else:
                expected[c] = {"min": np.min, "max": np.max, "mean": np.mean, "count": len, "stdev": np.std}[name](
                    values[:, 0])
        expected = expected.reshape(rows, cols)
        if pixels.dtype == np.float32:
            expected = expected.astype(np.float32).astype(np.float64)
        in_doubt = doubtful
        if fill and name in ("min", "max", "mean", "idw"):
            expected, in_doubt = filled(expected, doubtful, nodata, fill)
            if pixels.dtype == np.float32:
                expected = expected.astype(np.float32).astype(np.float64)
        tolerance = 1e-6 if name == "stdev" else 0.0
        relative = 4e-7 if name in ("mean", "idw") else 0.0
        wrong = (np.abs(band - expected) > tolerance + relative * np.abs(expected)) & ~in_doubt
        if wrong.any():
            rr, cc = np.argwhere(wrong)[0]
            fail(f"band {name}: {int(wrong.sum())} cells differ, e.g. row {rr} column {cc}: {band[rr, cc]} "
                 f"against {expected[rr, cc]}")
        compared += int((~in_doubt).sum())
    if "count" in bands:
        total = pixels[:, :, bands.index("count")].astype(np.float64).sum()
        if radius is None:
            check(total == len(h), f"the count band sums to {total}, not the {len(h)} valid points")
    return compared, doubtful


def filled(values, doubtful, nodata, n):
    """The empty cells of a height band filled by weights 1/d^2 (d in cells) of
    the non-empty cells within a circle of n cells, filled cells feeding none;
    an empty cell with a doubtful cell in its circle is in doubt."""
    rows, cols = values.shape
    empty = values == nodata
    weighted, weights = np.zeros_like(values), np.zeros_like(values)
    near_doubt = np.zeros_like(doubtful)
    pad = lambda a, v: np.pad(a, n, constant_values=v)
    source, known, doubt = pad(values, 0.0), pad(~empty, False), pad(doubtful, False)
    for dr in range(-n, n + 1):
        for dc in range(-n, n + 1):
            d2 = float(dr * dr + dc * dc)
            if d2 == 0 or d2 > n * n:
                continue
            window = (slice(n + dr, n + dr + rows), slice(n + dc, n + dc + cols))
            use = known[window] & empty
            weighted[use] += source[window][use] / d2
            weights[use] += 1 / d2
            near_doubt |= doubt[window]
    out = values.copy()
    take = empty & (weights > 0)
    out[take] = weighted[take] / weights[take]
    return out, doubtful | (empty & near_doubt)


def surface_height(s, lon, lat):
    north = (lat - s["lat"]) * 111120.0
    east = (lon - s["lon"]) * 111120.0 * math.cos(math.radians(s["lat"]))
    if s["kind"] == "flat":
        return np.full(len(lon), s["ground"])
    return s["ground"] + s["tilt"][0] * north + s["tilt"][1] * east


def check_surface(pixels, geo, bands, e, n, lon, lat, s, doubtful):
    x0, y1, r = geo["ModelTiepoint"][3], geo["ModelTiepoint"][4], geo["ModelPixelScale"][0]
    cols = pixels.shape[1]
    cell = np.floor((y1 - n) / r).astype(np.int64) * cols + np.floor((e - x0) / r).astype(np.int64)
    truth = surface_height(s, lon, lat)
    sums = np.bincount(cell, truth, minlength=pixels.shape[0] * cols)
    counts = np.bincount(cell, minlength=pixels.shape[0] * cols)
    mean = pixels[:, :, bands.index("mean")].astype(np.float64).ravel()
    have = (counts > 0) & ~doubtful.ravel()
    worst = np.max(np.abs(mean[have] - sums[have] / counts[have]))
    check(worst <= 0.01, f"mean band {worst:.4f} m from the true surface")
    return worst


def horizontal_part(wkt):
    """The PROJCS[...] inside a compound WKT1."""
    start = wkt.index("PROJCS[")
    depth = 0
    for k in range(start, len(wkt)):
        depth += {"[": 1, "]": -1}.get(wkt[k], 0)
        if depth == 0 and wkt[k] == "]":
            return wkt[start:k + 1]
    fail("unbalanced WKT")


def check_projected_las(work, expected):
    """morva-las in a projected CRS: X and Y within 1 mm of GeoConvert's UTM
    of the scan points, Z the records' heights, the WKT's projected CRS
    identified by projinfo at 100 %, the vertical part naming the heights."""
    data = open(os.path.join(work, expected["las"]), "rb").read()
    scale = struct.unpack_from("<3d", data, 131)
    check(scale[0] == 0.001 and scale[1] == 0.001, f"X and Y scale {scale[:2]}, not 0.001")
    x, y, z = las_points(os.path.join(work, expected["las"]))
    lon, lat, h = run_control_points(os.path.join(work, expected["run_control"]))
    e, n = geoconvert(lon, lat, expected["zone"])
    worst = max(np.abs(x - e).max(), np.abs(y - n).max())
    check(worst <= 0.001, f"X, Y up to {worst * 1000:.3f} mm from GeoConvert")
    check(np.array_equal(np.round(z * 1000), np.round(h * 1000)), "Z is not the records' height")
    start = data.index(b"COMPD_CS[")
    wkt = data[start:data.index(b"\0", start)].decode()
    check(expected["vertical"] in wkt, f"the WKT lacks {expected['vertical']!r}: {wkt[:120]}")
    ident = subprocess.run(["projinfo", "--identify", horizontal_part(wkt), "-o", "WKT1_GDAL", "-q"],
                           capture_output=True, text=True).stdout + \
        subprocess.run(["projinfo", "--identify", horizontal_part(wkt), "-o", "WKT1_GDAL"],
                       capture_output=True, text=True).stdout
    check(f"{expected['epsg']}: 100 %" in ident, f"projinfo does not identify {expected['epsg']} at 100 %: {ident[-200:]}")
    print(f"{len(x)} LAS points within {worst * 1000:.3f} mm of GeoConvert; {expected['epsg']} identified at 100 %")
