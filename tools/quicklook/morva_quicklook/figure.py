"""The picture: map, along-track heights, heights across the scan and a
height histogram, drawn headless with matplotlib's Agg backend."""

import math
from typing import Any, Dict

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.axes import Axes  # noqa: E402
from matplotlib.figure import Figure  # noqa: E402
from matplotlib.ticker import FuncFormatter, MultipleLocator, ScalarFormatter  # noqa: E402
from mpl_toolkits.axes_grid1.anchored_artists import AnchoredSizeBar  # noqa: E402
import numpy as np  # noqa: E402

from .summary import COLOUR_PERCENTILES, METRES_PER_DEGREE  # noqa: E402

# Everything the picture and the JSON show (see main.make_view).
View = Dict[str, Any]

WIDTH_PX, HEIGHT_PX, DPI = 1600, 1200, 100
PANEL_NAMES = {"<colorbar>": "colour bar"}


def clock(hours: float, decimals: int = 0) -> str:
    """hh:mm:ss of a time in decimal hours, with decimals of the second."""
    tenths = 10 ** decimals
    s = int(round(hours * 3600.0 * tenths))
    whole, part = divmod(s, tenths)
    text = f"{whole // 3600:02d}:{whole // 60 % 60:02d}:{whole % 60:02d}"
    return text + (f".{part:0{decimals}d}" if decimals else "")


TIME_STEPS_S = (0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200)


def _time_axis(ax: Axes, t0: float, t1: float) -> None:
    """Ticks at round clock times, about six of them, labelled hh:mm:ss."""
    span = max((t1 - t0) * 3600.0, 0.1)
    step = next((s for s in TIME_STEPS_S if span / s <= 7), TIME_STEPS_S[-1])
    decimals = 1 if step < 1 else 0
    ax.xaxis.set_major_locator(MultipleLocator(step / 3600.0))
    ax.xaxis.set_major_formatter(FuncFormatter(lambda v, _: clock(v, decimals)))


def _no_data(ax: Axes, text: str = "no points") -> None:
    ax.text(0.5, 0.5, text, transform=ax.transAxes, ha="center", va="center", fontsize=16, color="0.4")


def _scale_length_m(width_m: float) -> float:
    """A round length near a fifth of the map's width."""
    target = max(width_m / 5.0, 1e-3)
    base = 10 ** math.floor(math.log10(target))
    return max((m * base for m in (1, 2, 5, 10) if m * base <= target), default=base)


def _draw_map(fig: Figure, ax: Axes, view: View) -> None:
    s, centres, limits = view["summary"], view["centres"], view["limits"]
    lat_ref = None
    if len(s.sample["lat"]):
        lat_ref = float(np.mean(s.bounds["lat"]))
        sc = ax.scatter(s.sample["lon"], s.sample["lat"], c=s.sample["h"], s=1.5, cmap="viridis",
                        vmin=limits[0], vmax=limits[1], linewidths=0, rasterized=True)
        bar = fig.colorbar(sc, ax=ax, shrink=0.85, pad=0.02)
        # Heights as written, never as an offset plus millimetres.
        bar.formatter = ScalarFormatter(useOffset=False)
        bar.update_ticks()
        bar.set_label(f"height (m); colours span the {COLOUR_PERCENTILES[0]:g} to {COLOUR_PERCENTILES[1]:g} % "
                      f"heights, {limits[0]:.2f} to {limits[1]:.2f} m")
    else:
        _no_data(ax, view["no_points_text"])
    if len(centres.lat):
        lat_ref = lat_ref if lat_ref is not None else float(np.mean(centres.lat))
        ax.plot(centres.lon, centres.lat, color="black", lw=0.8, label="flight line (centre points)")
        ax.plot(centres.lon[:1], centres.lat[:1], marker="o", ms=9, color="red", ls="none", label="start")
        ax.legend(loc="upper left", fontsize=8, framealpha=0.8)
    ax.set(xlabel="longitude (degrees)", ylabel="latitude (degrees)")
    ax.ticklabel_format(useOffset=False, style="plain")
    ax.set_title(f"map: {len(s.sample['lat']):,} of {s.valid:,} points drawn (uniform random subsample)")
    if lat_ref is None:
        return
    cos_lat = math.cos(math.radians(lat_ref))
    ax.set_aspect(1.0 / cos_lat, adjustable="datalim")
    x0, x1 = ax.get_xlim()
    length = _scale_length_m((x1 - x0) * METRES_PER_DEGREE * cos_lat)
    ax.add_artist(AnchoredSizeBar(ax.transData, length / (METRES_PER_DEGREE * cos_lat), f"{length / 1000:g} km",
                                  "lower right", pad=0.5, sep=4, frameon=True, size_vertical=0))


# The run reduces the ground heights to the geoid when it has a grid; the
# aircraft's heights are the trajectory's, above the ellipsoid.
AIRCRAFT_LABEL = "aircraft height above the ellipsoid (m)"
TILT_NOTE = "the report's regression fits a polynomial to single heights, only those within 3 m of zero"


def ground_label(geoid: bool) -> str:
    return f"ground height above the {'geoid' if geoid else 'ellipsoid'} (m)"


def tilt_text(tilt: float, with_regression: bool) -> str:
    """The tilt of the medians, and why it may differ from the regression drawn beside it."""
    tilt = round(tilt, 3)
    side = "level" if tilt == 0 else "right side higher" if tilt > 0 else "left side higher"
    text = f"across-track tilt {abs(tilt):.3f} degrees ({side}): a line through the medians of all heights"
    return text + (f";\n{TILT_NOTE}" if with_regression else "")


def _draw_along(ax: Axes, view: View) -> None:
    c = view["centres"]
    if not len(c.thr):
        _no_data(ax, "no centre points")
        ax.set_title("along track")
        return
    ax.plot(c.thr, c.h, color="tab:green", lw=0.8, label="ground height (centre points)")
    ax.set_ylabel(ground_label(view["geoid"]), color="tab:green")
    air = ax.twinx()
    air.set_label("along aircraft")
    air.plot(c.thr, c.airh, color="tab:blue", lw=0.8, ls="--", label="aircraft height")
    air.set_ylabel(AIRCRAFT_LABEL, color="tab:blue")
    # The ground line in front: the two can meet where their scales do.
    ax.set_zorder(air.get_zorder() + 1)
    ax.patch.set_visible(False)
    air.ticklabel_format(useOffset=False, axis="y")
    ax.ticklabel_format(useOffset=False, axis="y")
    _time_axis(ax, float(c.thr.min()), float(c.thr.max()))
    ax.set_xlabel("time (hh:mm:ss)")
    ax.set_title("along track: ground and aircraft heights at the nadir")
    for gap in view["gaps"]:
        if gap.get("thr") is not None:
            ax.axvline(gap["thr"], color="red", lw=0.6, alpha=0.6)


def _draw_across(ax: Axes, view: View) -> None:
    bands = view["bands"]
    ax.set(title="across the scan: median and 10 to 90 % band of the heights per measurement index",
           xlabel="measurement index", ylabel="height (m)")
    if not len(bands["index"]):
        _no_data(ax, view["no_points_text"])
        return
    i = bands["index"]
    ax.fill_between(i, bands["p10"], bands["p90"], color="tab:blue", alpha=0.25, lw=0, label="10 to 90 %")
    ax.plot(i, bands["median"], color="tab:blue", lw=1.0, label="median")
    if view["curve"] is not None:
        r = view["regression"]
        singular = f", {r['singularities']} singular" if r.get("singularities") else ""
        ax.plot(i, view["curve"], color="tab:red", lw=1.2, ls="--",
                label=f"regression of the report: bias {r['bias']:.2f} m, slope {r['slope_degrees']:.2f} degrees"
                      f"{singular}")
    if view["tilt"] is not None:
        ax.text(0.01, 0.02, tilt_text(view["tilt"], view["regression"] is not None), transform=ax.transAxes, fontsize=9)
    ax.ticklabel_format(useOffset=False, axis="y")
    ax.legend(loc="upper right", fontsize=8)


def _draw_histogram(ax: Axes, view: View) -> None:
    hist = view["histogram"]
    ax.set(title="heights of all points", xlabel="height (m)", ylabel="points")
    if hist is None:
        _no_data(ax, view["no_points_text"])
        return
    edges = hist["edges"]
    ax.stairs(hist["counts"], edges, fill=True, color="tab:gray")
    for v in view["limits"]:
        ax.axvline(v, color="tab:red", lw=0.8, ls=":")
    if hist["below"] or hist["above"]:
        ax.text(0.99, 0.97, f"outside: {hist['below']:,} below, {hist['above']:,} above",
                transform=ax.transAxes, ha="right", va="top", fontsize=9)
    ax.ticklabel_format(useOffset=False, axis="x")


def title_lines(view: View) -> tuple[str, str]:
    s, names = view["summary"], view["names"]
    flight = f"flight {view['flight']}, " + (view["date"] or "no date in the scanner header")
    files = f"{names['scan_points'] or 'no scan-point file'}, {names['centres']}"
    parts = [f"{flight}: {files}"]
    if "thr" in s.bounds:
        t0, t1 = s.bounds["thr"]
        parts.append(f"{clock(t0, 1)} to {clock(t1, 1)} ({(t1 - t0) * 3600:.1f} s)")
    parts.append(f"{s.valid:,} points" + (f" ({s.skipped:,} skipped)" if s.skipped else ""))
    if "h" in s.bounds:
        parts.append(f"heights {s.bounds['h'][0]:.2f} to {s.bounds['h'][1]:.2f} m")
    line2 = []
    gaps, report = view["gaps"], view["report"]
    if gaps:
        def one(g: dict[str, Any]) -> str:
            at = clock(g["thr"], 1) if g.get("thr") is not None else "?"
            return f"{at} ({g['seconds']:.3f} s)" if g.get("seconds") is not None else at
        named = ", ".join(one(g) for g in gaps[:3])
        more = f" and {len(gaps) - 3} more" if len(gaps) > 3 else ""
        seconds = [g["seconds"] for g in gaps if g.get("seconds") is not None]
        longest = f", longest {max(seconds):.3f} s" if len(gaps) > 3 and seconds else ""
        line2.append(f"{len(gaps)} time gap{'s' if len(gaps) != 1 else ''}: {named}{more}{longest}")
    elif report is not None:
        line2.append("no time gaps")
    if report and report["scans_read"] is not None:
        line2.append(f"report: {report['scans_read']:,} scans read, {report['points_output']:,} points output")
    if report and report["stopped"]:
        line2.append(f"run stopped: {report['stopped']}")
    return " | ".join(parts), " | ".join(line2)


def _to_palette(png: str) -> None:
    """Rewrites the PNG with a palette of 128 colours: about a quarter of the
    bytes, for documents and mail (Pillow comes with matplotlib)."""
    from PIL import Image
    with Image.open(png) as image:
        # Pillow's hints take the method as a plain number.
        small = image.convert("RGB").quantize(colors=128, method=Image.Quantize.FASTOCTREE)  # type: ignore[arg-type]
    small.save(png, optimize=True, format="PNG")


def _texts(fig: Figure) -> dict[str, dict[str, Any]]:
    """The labels and texts drawn, by panel, with the offset texts of the
    axes (empty when every tick label shows its whole value)."""
    out = {}
    for ax in fig.axes:
        offsets = [a.get_offset_text().get_text() for a in (ax.xaxis, ax.yaxis)]
        out[PANEL_NAMES.get(ax.get_label(), ax.get_label())] = {
            "x": ax.get_xlabel(), "y": ax.get_ylabel(), "texts": [t.get_text() for t in ax.texts],
            "offsets": [t for t in offsets if t]}
    return out


def draw(view: View, png: str, svg: str | None = None, small: bool = False) -> dict[str, dict[str, Any]]:
    """Writes the picture (and its SVG) to the files given (the staged
    temporaries); returns the texts drawn."""
    fig = plt.figure(figsize=(WIDTH_PX / DPI, HEIGHT_PX / DPI), dpi=DPI)
    grid = fig.add_gridspec(2, 2, left=0.06, right=0.95, bottom=0.06, top=0.90, wspace=0.28, hspace=0.28)
    _draw_map(fig, fig.add_subplot(grid[0, 0], label="map"), view)
    _draw_across(fig.add_subplot(grid[0, 1], label="across"), view)
    _draw_along(fig.add_subplot(grid[1, 0], label="along"), view)
    _draw_histogram(fig.add_subplot(grid[1, 1], label="histogram"), view)
    view["title"] = title_lines(view)
    first, second = view["title"]
    fig.suptitle(first + ("\n" + second if second else ""), fontsize=12)
    fig.savefig(png, dpi=DPI, format="png")
    if small:
        _to_palette(png)
    if svg:
        fig.savefig(svg, format="svg")
    texts = _texts(fig)
    plt.close(fig)
    return texts
