#!/usr/bin/python3
"""The picture of morva-accuracy: on the left the hillshade of the terrain
(the mean height of the ground points per cell) with every check point, its
dz in a diverging colour scale (open ones as circles, vegetated ones as
triangles, the ones not measured as grey crosses); on the right the
histogram of dz per land cover, the NVA and VVA limits marked. Called by
morva-accuracy with the PNG to write; the data come on standard input (one
line of JSON, then the terrain's heights as float64, row by row from the
north). A failure is one line on standard error, exit 1."""
import json
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

# The shared morva_cli: beside this script once installed, one folder up in the source tree.
sys.path.insert(1, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from morva_cli import picture  # noqa: E402
from matplotlib.colors import LightSource  # noqa: E402


def read_input(stream):
    data = json.loads(stream.readline())
    t = data["terrain"]
    count = t["columns"] * t["rows"]
    heights = np.frombuffer(stream.read(8 * count), dtype="<f8")
    if len(heights) != count:
        raise ValueError("the picture's data ended early")
    return data, heights.reshape(t["rows"], t["columns"]) if count else np.zeros((0, 0))


def hillshade(heights, cell):
    """Grey shading lit from the north-west; empty cells stay white."""
    if heights.size == 0 or np.all(np.isnan(heights)):
        return None
    filled = np.where(np.isnan(heights), np.nanmean(heights), heights)
    shade = LightSource(azdeg=315, altdeg=45).hillshade(filled, dx=cell, dy=cell)
    return np.ma.masked_where(np.isnan(heights), shade)


def draw(data, heights, png_path):
    t = data["terrain"]
    points = data["checkpoints"]
    measured = [p for p in points if p["dz"] is not None]
    fig, (ax, hist) = plt.subplots(1, 2, figsize=(13, 6), gridspec_kw={"width_ratios": [3, 2]})
    shade = hillshade(heights, t["cell_size"])
    if shade is not None:
        extent = [t["west"], t["west"] + t["columns"] * t["cell_size"], t["north"] - t["rows"] * t["cell_size"], t["north"]]
        ax.imshow(shade, cmap="gray", extent=extent, vmin=0, vmax=1, interpolation="nearest")
    scale = max([abs(p["dz"]) for p in measured] + [0.01])
    for cover, marker in (("open", "o"), ("vegetated", "^")):
        chosen = [p for p in measured if p["cover"] == cover]
        if chosen:
            dots = ax.scatter([p["e"] for p in chosen], [p["n"] for p in chosen], c=[p["dz"] for p in chosen],
                              cmap="RdBu_r", vmin=-scale, vmax=scale, marker=marker, s=60, edgecolors="black",
                              label=f"{cover} ({len(chosen)})")
    missed = [p for p in points if p["dz"] is None]
    if missed:
        ax.scatter([p["e"] for p in missed], [p["n"] for p in missed], marker="x", color="grey",
                   label=f"not measured ({len(missed)})")
    if measured:
        fig.colorbar(dots, ax=ax, label="dz = lidar - surveyed (m)", shrink=0.8)
    ax.set_aspect("equal")
    ax.set_title(f"check points on the terrain ({data['crs']})")
    ax.set_xlabel("easting (m)")
    ax.set_ylabel("northing (m)")
    ax.ticklabel_format(useOffset=False, style="plain")
    ax.legend(loc="upper right", fontsize="small")
    limits = data["limits"]
    for cover, colour in (("open", "tab:blue"), ("vegetated", "tab:green")):
        dz = [p["dz"] for p in measured if p["cover"] == cover]
        if dz:
            hist.hist(dz, bins=max(5, min(40, len(dz) // 2)), range=(-scale, scale), alpha=0.6, color=colour,
                      label=f"{cover}: {len(dz)}")
    for name, value, colour in (("NVA", limits["nva"], "firebrick"), ("VVA", limits["vva"], "darkorange")):
        if value and value <= 1.5 * scale:
            for v in (-value, value):
                hist.axvline(v, color=colour, lw=1.5, ls="--")
            hist.plot([], [], color=colour, ls="--", label=f"{limits['name']} {name} {value:g} m")
    hist.set_xlabel("dz (m)")
    hist.set_ylabel("check points")
    hist.set_title("dz per land cover")
    hist.legend(fontsize="small")
    fig.tight_layout()
    fig.savefig(png_path, format="png")


if __name__ == "__main__":
    sys.exit(picture.run(read_input, draw))
