"""What a flight's status shows, read from morva's record of the run (its
--metadata file) or, from a morva without one, its console report and
standard error; the time span from its centre-point file."""
import contextlib
import os
import re
from typing import Any

from . import flights

WARNING_PREFIX = "morva: warning: "
_NUMBER = r"([-+]?[0-9.]+|\*+)"


def _value(text: str) -> float | None:
    try:
        return float(text)
    except ValueError:
        return None     # a field morva printed as asterisks


def _int_after(label: str, text: str) -> int | None:
    m = re.search(re.escape(label) + r"\s*(-?\d+)", text)
    return int(m.group(1)) if m else None


def last_line(path: str) -> str:
    """The last line of a text file that is not blank, or ""."""
    try:
        with open(path, "rb") as f:
            f.seek(0, os.SEEK_END)
            size = f.tell()
            f.seek(max(0, size - 65536))
            tail = f.read().decode("utf-8", "replace")
    except OSError:
        return ""
    lines = [ln.strip() for ln in tail.splitlines() if ln.strip()]
    return lines[-1] if lines else ""


def count_warnings(path: str) -> int:
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return sum(1 for ln in f if ln.startswith(WARNING_PREFIX))
    except OSError:
        return 0


def _centre_times(path: str) -> list[float] | None:
    """First and last time (decimal hours) of a centre-point file, reading
    only its first and last lines."""
    with contextlib.suppress(OSError, ValueError):
        with open(path, "rb") as f:
            first = f.readline().split()
            f.seek(0, os.SEEK_END)
            f.seek(max(0, f.tell() - 4096))
            lines = f.read().splitlines()
        last = lines[-1].split() if lines else []
        if first and last:
            return [float(first[0]), float(last[0])]
    return None


def summary_of_metadata(path: str) -> dict[str, Any] | None:
    """The figures of morva's run record, or None when there is none."""
    meta = flights.read_json(path)
    if not isinstance(meta, dict):
        return None
    rep = meta.get("report")
    if not isinstance(rep, dict):
        rep = {}
    fit = rep.get("regression")
    if not isinstance(fit, dict):
        fit = {}
    low, high = rep.get("ground_height_min_m"), rep.get("ground_height_max_m")
    return {"scans": rep.get("scans_read"), "points": rep.get("points_output"),
            # No scan-point file leaves the statistic at its initial 9999/-9999.
            "ground_heights": None if not rep or (low == 9999.0 and high == -9999.0) else [low, high],
            "bias": fit.get("bias_m"), "roll": fit.get("roll_slope_deg"),
            "geodesy": meta.get("geodesy"), "stop": meta.get("stop")}


def summary(log_path: str, err_path: str, centre_path: str | None,
            metadata_path: str | None = None) -> dict[str, Any]:
    """Scans read, points output, time span, range of ground heights,
    regression bias and roll (when the run had them), warnings."""
    figures = summary_of_metadata(metadata_path) if metadata_path else None
    if figures is None:
        # A morva without a record of the run: the figures of its console report.
        try:
            with open(log_path, encoding="utf-8", errors="replace") as f:
                text = f.read()
        except OSError:
            text = ""
        figures = {"scans": _int_after("Total number of scans read:", text),
                   "points": _int_after("Total number of points output:", text),
                   "ground_heights": None, "bias": None, "roll": None}
        m = re.search(r"range of ground heights:\s*" + _NUMBER + r"\s*" + _NUMBER, text)
        if m:
            low, high = _value(m.group(1)), _value(m.group(2))
            # No scan-point file leaves the statistic at its initial 9999/-9999.
            if not (low == 9999.0 and high == -9999.0):
                figures["ground_heights"] = [low, high]
        m = re.search(r"bias:\s*" + _NUMBER + r" m, slope \(roll0\):\s*" + _NUMBER, text)
        if m:
            figures["bias"], figures["roll"] = _value(m.group(1)), _value(m.group(2))
    figures["time_span"] = _centre_times(centre_path) if centre_path else None
    # The warnings are counted in morva.err, which holds them all, as the user
    # reads them there.
    figures["warnings"] = count_warnings(err_path)
    return figures
