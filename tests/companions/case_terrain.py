"""The dtm band of a grid case: against the simulator's true ground, and
against scipy's triangulation of a LAS file's class 2 points."""

import os
import struct

import numpy as np

from case_points import las_points
from case_setup import las_class_offset
from case_verdict import check


def las_classes(path):
    data = open(path, "rb").read()
    start, length = struct.unpack_from("<I", data, 96)[0], struct.unpack_from("<H", data, 105)[0]
    count = struct.unpack_from("<Q", data, 247)[0]
    records = np.frombuffer(data, np.uint8, count * length, start).reshape(count, length)
    classes = records[:, las_class_offset(data)]
    return classes & 0x1f if las_class_offset(data) == 15 else classes


def cell_centres(pixels, geo):
    x0, y1, r = geo["ModelTiepoint"][3], geo["ModelTiepoint"][4], geo["ModelPixelScale"][0]
    rows, cols = np.indices(pixels.shape[:2])
    return x0 + (cols + 0.5) * r, y1 - (rows + 0.5) * r


def read_ascii_grid(path):
    lines = open(path).read().split("\n")
    head = {line.split()[0].lower(): float(line.split()[1]) for line in lines[:6]}
    values = np.array([[float(v) for v in line.split()] for line in lines[6:] if line.strip()])
    return head, values


def check_terrain(work, pixels, geo, band, nodata, t):
    """The dtm band against the simulator's true ground at the truth grid's
    cell centres (the raster's cell holding each)."""
    head, ground = read_ascii_grid(os.path.join(work, t["survey"], "ground.asc"))
    _, cover = read_ascii_grid(os.path.join(work, t["survey"], "cover.asc"))
    step = head["cellsize"]
    rows, cols = np.indices(ground.shape)
    e = head["xllcorner"] + (cols + 0.5) * step
    n = head["yllcorner"] + (ground.shape[0] - rows - 0.5) * step
    x0, y1, r = geo["ModelTiepoint"][3], geo["ModelTiepoint"][4], geo["ModelPixelScale"][0]
    col, row = np.floor((e - x0) / r).astype(np.int64), np.floor((y1 - n) / r).astype(np.int64)
    inside = (col >= 0) & (row >= 0) & (col < pixels.shape[1]) & (row < pixels.shape[0]) & (ground != head["nodata_value"])
    dtm = np.full(ground.shape, np.nan)
    dtm[inside] = pixels[row[inside], col[inside], band]
    dtm[dtm == nodata] = np.nan
    # Truth cells inside the raster's cells that hold points (the min band).
    with_points = np.zeros(ground.shape, bool)
    with_points[inside] = pixels[row[inside], col[inside], 0] != nodata
    measured = ~np.isnan(dtm)
    error = dtm - ground
    rmse = float(np.sqrt(np.mean(error[measured] ** 2)))
    bare = measured & (cover == 2)
    open_rmse = float(np.sqrt(np.mean(error[bare] ** 2)))
    covered = (measured & with_points).sum() / max(1, with_points.sum())
    print(f"dtm against the true ground: RMSE {rmse:.4f} m over {int(measured.sum())} cells, {open_rmse:.4f} m over "
          f"{int(bare.sum())} on bare ground; {100 * covered:.1f} % of the cells with points hold a height")
    check(rmse <= t["rmse"], f"the dtm's RMSE against the true ground is {rmse:.4f} m, above {t['rmse']}")
    check(open_rmse <= t["open_rmse"], f"the dtm's RMSE on bare ground is {open_rmse:.4f} m, above {t['open_rmse']}")
    check(covered >= t["covered"], f"{100 * covered:.1f} % of the cells with points hold a height, fewer than "
          f"{100 * t['covered']:.0f} %")


def check_triangulation(work, pixels, geo, band, nodata, t):
    """The dtm band against scipy's triangulation of the LAS file's ground."""
    from scipy.spatial import Delaunay
    x, y, z = las_points(os.path.join(work, t["las"]))
    ground = las_classes(os.path.join(work, t["las"])) == 2
    x, y, z = x[ground], y[ground], z[ground]
    origin = np.array([x.min(), y.min()])
    xy = np.column_stack([x, y]) - origin
    tri = Delaunay(xy)
    e, n = cell_centres(pixels, geo)
    q = np.column_stack([e.ravel(), n.ravel()]) - origin
    simplex = tri.find_simplex(q)
    corners = tri.simplices[np.maximum(simplex, 0)]
    pts = xy[corners]
    longest = np.max([np.hypot(*(pts[:, a] - pts[:, b]).T) for a, b in ((0, 1), (1, 2), (2, 0))], axis=0)
    transform = tri.transform[np.maximum(simplex, 0)]
    w = np.einsum("ijk,ik->ij", transform[:, :2], q - transform[:, 2])
    weights = np.column_stack([w, 1 - w.sum(axis=1)])
    expected = np.sum(weights * z[corners], axis=1)
    has = (simplex >= 0) & (longest <= t["max_edge"])
    # A cell centre within 1 micrometre of a triangle's edge or of the
    # longest edge's limit may fall either way.
    doubtful = (weights.min(axis=1) < 1e-6) | (np.abs(longest - t["max_edge"]) < 1e-6)
    band_values = pixels[:, :, band].astype(np.float64).ravel()
    got = band_values != nodata
    wrong_presence = (got != has) & ~doubtful
    check(not wrong_presence.any(), f"{int(wrong_presence.sum())} cells hold a height where the triangulation "
          "says otherwise (or lack one)")
    both = got & has & ~doubtful
    off = np.abs(band_values[both] - expected[both].astype(np.float32))
    check(off.max() <= 1e-3, f"dtm cells differ from the triangulation by up to {off.max():.6f} m")
    print(f"dtm: {int(both.sum())} cells equal the triangulation of {len(z)} ground points")
