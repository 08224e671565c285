"""The parts of a run's saved console report that the picture uses: the
measurements per scan, the time gaps, the end-of-run statistics, the
across-scan regression and a stop line. A value printed as asterisks (too
wide for its field) reads as None."""

import re
from typing import Any, Callable, Sequence

import numpy as np

GAP_PREFIX = " ** time gap scan"


def _number(text: str, kind: Callable[[str], Any] = float) -> Any:
    try:
        return kind(text)
    except ValueError:
        return None


def _fields(line: str, start: int, widths: Sequence[int], kinds: Sequence[Callable[[str], Any]]) -> list[Any]:
    out, pos = [], start
    for width, kind in zip(widths, kinds):
        out.append(_number(line[pos:pos + width].strip(), kind))
        pos += width
    return out


def parse_report(text: str) -> dict[str, Any]:
    info: dict[str, Any] = {"gaps": [], "nmeas": None, "scans_read": None, "points_output": None, "regression": None,
            "stopped": None}
    regression: dict[str, Any] = {}
    lines = text.splitlines()
    for n, line in enumerate(lines):
        if line.startswith(GAP_PREFIX):
            # " ** time gap scan" I7 I4 F11.7 ", seconds" F10.3
            scan, index, thr = _fields(line, len(GAP_PREFIX), (7, 4, 11), (int, int, float))
            seconds = _number(line[len(GAP_PREFIX) + 22 + len(", seconds"):].strip())
            info["gaps"].append({"scan": scan, "index": index, "thr": thr, "seconds": seconds})
        elif m := re.search(r"measurements per scan:\s*(\S+)", line):
            info["nmeas"] = _number(m.group(1), int)
        elif m := re.match(r"\s*Total number of scans read:\s*(\S+)", line):
            info["scans_read"] = _number(m.group(1), int)
        elif m := re.match(r"\s*Total number of points output:\s*(\S+)", line):
            info["points_output"] = _number(m.group(1), int)
        elif m := re.match(r"\s*no of points used in regression:\s*(\S+)\s*, parameters:\s*(\S+)", line):
            regression["points"] = _number(m.group(1), int)
            regression["parameters"] = _number(m.group(2), int)
        elif m := re.match(r" \*\*\* warning: detrending (..) singularities", line):
            regression["singularities"] = _number(m.group(1).strip(), int)
        elif line.startswith(" bias:") and " m, slope (roll0):" in line:
            # " bias:" F7.2 " m, slope (roll0):" F6.2 " degrees" / " polynomial coefficients :" 8F9.4
            regression["bias"] = _number(line[6:13].strip())
            regression["slope_degrees"] = _number(line[31:37].strip())
            nxt = lines[n + 1] if n + 1 < len(lines) else ""
            head = " polynomial coefficients :"
            if nxt.startswith(head):
                body = nxt[len(head):]
                regression["coefficients"] = [_number(body[k:k + 9].strip()) for k in range(0, len(body) - 8, 9)]
    if regression.get("bias") is not None or "points" in regression:
        info["regression"] = regression
    last = [line for line in lines if line.strip()]
    if last and last[-1].lstrip().startswith("***") and "warning" not in last[-1]:
        info["stopped"] = last[-1].strip()
    return info


def regression_curve(regression: dict[str, Any] | None, nmeas: int | None, index: np.ndarray) -> np.ndarray | None:
    """Height of the reported regression polynomial at each measurement index,
    or None when the report lacks a value or no point entered the fit. The
    slope line gives the linear
    coefficient back: slope = -57.29577951289617 * c2 * 0.01."""
    if not regression or nmeas is None or regression.get("points") == 0:
        return None
    bias, slope = regression.get("bias"), regression.get("slope_degrees")
    higher = regression.get("coefficients") or []
    if bias is None or slope is None or any(c is None for c in higher):
        return None
    c = [bias, -slope / (57.29577951289617 * 0.01)] + list(higher)
    x = (index - 0.5 * nmeas) * 0.009999999776482582   # the run's single-precision 0.01
    y = np.zeros(np.shape(x))
    for coefficient in reversed(c):
        y = y * x + coefficient
    return y
