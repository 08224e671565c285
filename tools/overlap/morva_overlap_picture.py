#!/usr/bin/python3
"""The picture of morva-overlap: one map per pair (so that pairs never draw
over each other) of its dz in one diverging colour scale for all, with every
flight line and its direction, and below each map the histogram of the
pair's dz over its whole range, the quality level's limits marked on both.
Called by morva-overlap with the PNG to write; the data come on standard
input (one line of JSON, then per pair its smooth cells as float64 triples:
easting, northing, dz). A failure is one line on standard error, exit 1."""
import json
import math
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

# The shared morva_cli: beside this script once installed, one folder up in the source tree.
sys.path.insert(1, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from morva_cli import picture  # noqa: E402

MAP_PIXELS = 500   # the most display cells across a map: finer cells are averaged


def read_input(stream):
    data = json.loads(stream.readline())
    pairs = []
    for p in data["pairs"]:
        raw = stream.read(24 * p["cells"])
        cells = np.frombuffer(raw, dtype="<f8").reshape(-1, 3)
        if len(cells) != p["cells"]:
            raise ValueError("the picture's data ended early")
        pairs.append((p, cells))
    return data, pairs


def extent_of(data, pairs):
    """West, east, south, north around every flight line and every cell, with a margin."""
    xs = [v for fl in data["flights"] for v in (fl["line"][0], fl["line"][2])]
    ys = [v for fl in data["flights"] for v in (fl["line"][1], fl["line"][3])]
    for _, cells in pairs:
        if len(cells):
            xs += [cells[:, 0].min(), cells[:, 0].max()]
            ys += [cells[:, 1].min(), cells[:, 1].max()]
    w, e, s, n = min(xs), max(xs), min(ys), max(ys)
    margin = 0.06 * max(e - w, n - s, 10 * data["resolution_m"])
    return w - margin, e + margin, s - margin, n + margin


def binned(cells, extent, size):
    """The mean dz of the cells in each display cell of side size (NaN where none)."""
    w, e, s, n = extent
    cols, rows = max(1, math.ceil((e - w) / size)), max(1, math.ceil((n - s) / size))
    total = np.zeros(rows * cols)
    count = np.zeros(rows * cols)
    if len(cells):
        col = np.clip(((cells[:, 0] - w) / size).astype(int), 0, cols - 1)
        row = np.clip(((cells[:, 1] - s) / size).astype(int), 0, rows - 1)
        np.add.at(total, row * cols + col, cells[:, 2])
        np.add.at(count, row * cols + col, 1)
    with np.errstate(invalid="ignore", divide="ignore"):
        image = (total / count).reshape(rows, cols)
    return image, [w, w + cols * size, s, s + rows * size]


def colour_scale(pairs, limit):
    finite = np.concatenate([cells[:, 2] for _, cells in pairs] + [np.zeros(0)])
    scale = float(np.percentile(np.abs(finite), 99)) if finite.size else 0.1
    if limit:
        scale = max(scale, 0.5 * limit) if finite.size else limit
    return max(scale, 1e-3)


def draw(data, pairs, png_path):
    res = data["resolution_m"]
    limit = data["limits"].get("max_dz_m")
    rms_limit = data["limits"].get("max_rmsdz_m")
    level = data["limits"].get("name") or "limits"
    scale = colour_scale(pairs, limit)
    extent = extent_of(data, pairs)
    size = max(res, max(extent[1] - extent[0], extent[3] - extent[2]) / MAP_PIXELS)

    n = len(pairs)
    cols = min(n, 3)
    rows = math.ceil(n / cols)
    aspect = (extent[3] - extent[2]) / max(extent[1] - extent[0], 1e-9)
    map_height = min(max(5.2 / cols * 3 * aspect / 1.4, 2.5), 9)
    fig = plt.figure(figsize=(15, rows * (map_height + 2.4) + 0.6), dpi=100)
    grid = fig.add_gridspec(2 * rows, cols, height_ratios=[map_height, 2.0] * rows)
    colours = plt.get_cmap("tab10")
    image = None
    for k, (p, cells) in enumerate(pairs):
        ax = fig.add_subplot(grid[2 * (k // cols), k % cols])
        values, box = binned(cells, extent, size)
        image = ax.imshow(np.ma.masked_invalid(values), origin="lower", extent=box, cmap="RdBu_r",
                          vmin=-scale, vmax=scale, interpolation="nearest")
        for i, fl in enumerate(data["flights"]):
            x0, y0, x1, y1 = fl["line"]
            mine = fl["name"] in (p["a"], p["b"])
            colour = colours(i % 10) if mine else "0.65"
            ax.annotate("", xy=(x1, y1), xytext=(x0, y0),
                        arrowprops=dict(arrowstyle="-|>", color=colour, lw=1.8 if mine else 0.8,
                                        mutation_scale=14 if mine else 8))
            if mine:
                ax.text(x0, y0, " " + fl["name"], color=colour, fontsize=8, ha="left", va="bottom", clip_on=True)
        ax.set_xlim(extent[0], extent[1])
        ax.set_ylim(extent[2], extent[3])
        ax.set_aspect("equal")
        ax.ticklabel_format(useOffset=False, style="plain")
        ax.tick_params(labelsize=7)
        ax.set_xlabel(f"easting (m, {data['crs']})", fontsize=8)
        ax.set_ylabel("northing (m)", fontsize=8)
        title = f"{p['a']} - {p['b']}: {p['smooth_cells']} of {p['overlap_cells']} cells smooth"
        if p.get("verdict"):
            title += f", {p['verdict']}"
        ax.set_title(title, fontsize=9)

        h = fig.add_subplot(grid[2 * (k // cols) + 1, k % cols])
        dz = cells[:, 2]
        # Over the pair's own range, never clipped; a limit beyond it is named.
        reach = max(float(np.abs(dz).max()) if dz.size else 0.0, 1e-4) * 1.08
        if dz.size:
            h.hist(dz, bins=60, range=(-reach, reach), color="steelblue")
        h.set_xlim(-reach, reach)
        beyond = []
        for value, colour, name in ((limit, "firebrick", "|dz|"), (rms_limit, "darkorange", "RMSDz")):
            if not value:
                continue
            if value <= reach:
                for v in (-value, value):
                    h.axvline(v, color=colour, ls="--", lw=1.2)
            else:
                beyond.append(f"{name} limit {value * 100:g} cm")
        if beyond:
            h.text(0.99, 0.95, "beyond: " + ", ".join(beyond), transform=h.transAxes, ha="right", va="top",
                   fontsize=7, color="0.3")
        label = f"{dz.size} cells"
        if p.get("rmsdz_m") is not None:
            label += f", RMSDz {p['rmsdz_m'] * 100:.2f} cm, largest |dz| {p['max_abs_m'] * 100:.2f} cm"
        h.set_title(label, fontsize=8)
        h.set_xlabel("dz (m); dashed: the limits of |dz| (red) and RMSDz (orange)" if limit or rms_limit
                     else "dz (m)", fontsize=7)
        h.tick_params(labelsize=7)
    limits_text = ""
    if limit:
        limits_text = f"; {level}: |dz| <= {limit * 100:g} cm"
        if rms_limit:
            limits_text += f", RMSDz <= {rms_limit * 100:g} cm"
    fig.suptitle(f"dz = A - B on smooth cells of {res:g} m (maps averaged to {size:.3g} m); "
                 f"arrows: flight lines and directions{limits_text}", fontsize=10)
    fig.tight_layout(rect=(0, 0, 0.93, 0.97))
    if image is not None:
        bar = fig.colorbar(image, ax=fig.axes, label="dz (m)", shrink=0.6, fraction=0.03, pad=0.02)
        for value, colour in ((limit, "firebrick"), (rms_limit, "darkorange")):
            if value and value <= scale:
                for v in (-value, value):
                    bar.ax.axhline(v, color=colour, lw=2)
    fig.savefig(png_path, format="png")


if __name__ == "__main__":
    sys.exit(picture.run(read_input, draw))
