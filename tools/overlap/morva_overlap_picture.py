#!/usr/bin/python3
"""The picture of morva-overlap: every pair's dz on one map in one diverging
colour scale, the flight lines with their directions, and a histogram of dz
per pair. Called by morva-overlap with the data it wrote (picture.json and one
float32 file per pair) and the PNG to write."""
import json
import math
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402


def main(data_path, png_path):
    with open(data_path, encoding="utf-8") as f:
        data = json.load(f)
    folder = os.path.dirname(data_path)
    res = data["resolution_m"]
    pairs = []
    for p in data["pairs"]:
        dz = np.fromfile(os.path.join(folder, p["file"]), dtype="<f4").reshape(p["rows"], p["cols"])
        pairs.append((p, dz))
    finite = np.concatenate([dz[np.isfinite(dz)] for _, dz in pairs] + [np.zeros(0, dtype="f4")])
    limit = data["limits"].get("max_dz_m")
    scale = float(np.percentile(np.abs(finite), 99)) if finite.size else 0.1
    if limit:
        scale = max(scale, 0.5 * limit) if finite.size else limit
    scale = max(scale, 1e-3)

    n = len(pairs)
    hist_cols = min(n, 4)
    hist_rows = math.ceil(n / hist_cols)
    fig = plt.figure(figsize=(14, 8 + 2.6 * hist_rows), dpi=100)
    grid = fig.add_gridspec(1 + hist_rows, hist_cols, height_ratios=[8] + [2.6] * hist_rows)
    ax = fig.add_subplot(grid[0, :])
    x_origin = min(min(fl["line"][0], fl["line"][2]) for fl in data["flights"])
    y_origin = min(min(fl["line"][1], fl["line"][3]) for fl in data["flights"])
    image = None
    for p, dz in pairs:
        extent = [p["col0"] * res - x_origin, (p["col0"] + p["cols"]) * res - x_origin,
                  p["row0"] * res - y_origin, (p["row0"] + p["rows"]) * res - y_origin]
        image = ax.imshow(np.ma.masked_invalid(dz), origin="lower", extent=extent, cmap="RdBu_r",
                          vmin=-scale, vmax=scale, interpolation="nearest")
    colours = plt.get_cmap("tab10")
    for i, fl in enumerate(data["flights"]):
        x0, y0, x1, y1 = fl["line"]
        x0, x1, y0, y1 = x0 - x_origin, x1 - x_origin, y0 - y_origin, y1 - y_origin
        ax.annotate("", xy=(x1, y1), xytext=(x0, y0),
                    arrowprops=dict(arrowstyle="-|>", color=colours(i % 10), lw=1.8, mutation_scale=18))
        ax.text(x0, y0, " " + fl["name"], color=colours(i % 10), fontsize=9, ha="left", va="bottom")
    ax.set_aspect("equal")
    ax.autoscale()
    ax.set_xlabel(f"easting - {x_origin:.0f} m ({data['crs']})")
    ax.set_ylabel(f"northing - {y_origin:.0f} m")
    ax.set_title(f"dz = A - B on smooth cells of {res:g} m; arrows: flight lines and directions")
    if image is not None:
        fig.colorbar(image, ax=ax, label="dz (m)", shrink=0.8)

    for k, (p, dz) in enumerate(pairs):
        h = fig.add_subplot(grid[1 + k // hist_cols, k % hist_cols])
        values = dz[np.isfinite(dz)]
        if values.size:
            h.hist(values, bins=60, range=(-scale, scale), color="steelblue")
        rms = p.get("rmsdz_m")
        label = f"{p['a']} - {p['b']}\n{values.size} cells"
        if rms is not None:
            label += f", RMSDz {rms * 100:.1f} cm"
        if p.get("verdict"):
            label += f", {p['verdict']}"
        h.set_title(label, fontsize=8)
        h.set_xlabel("dz (m)", fontsize=8)
        h.tick_params(labelsize=7)
    fig.tight_layout()
    fig.savefig(png_path, format="png")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
