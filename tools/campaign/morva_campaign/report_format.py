"""How the report writes a figure, a count, a name and a verdict: "-" where
there is none (never "None"), every text escaped, and never "pass" without
the evidence for it."""
import base64
import html
from typing import Any, TypeGuard

NOT_TESTED = "not tested"
e = html.escape


def is_figure(v: Any) -> TypeGuard[float]:
    return isinstance(v, (int, float)) and not isinstance(v, bool)


def number(v: Any, digits: int = 3) -> str:
    """A figure, or "-" where there is none."""
    return f"{v:.{digits}f}" if is_figure(v) else "-"


def count(v: Any) -> str:
    return str(v) if isinstance(v, int) and not isinstance(v, bool) else "-"


def text(v: Any) -> str:
    return v if isinstance(v, str) and v else "-"


def given(v: Any) -> str:
    """A setting of campaign.toml, or "not given"."""
    return v if isinstance(v, str) and v.strip() else "not given"


def guarded(verdict: Any, value: Any, limit: Any, reason: Any) -> tuple[str, str]:
    """(verdict, reason): "pass" or "fail" only with a figure and a limit
    to judge it by; anything else is "not tested", with why."""
    why = reason if isinstance(reason, str) else ""
    if verdict in ("pass", "fail") and is_figure(value) and is_figure(limit):
        return verdict, ""
    if not why:
        why = "no limit" if is_figure(value) else "not measured"
    return NOT_TESTED, why


def verdict_cell(verdict: str, why: str = "") -> str:
    css = {"pass": "pass", "fail": "fail", NOT_TESTED: "untested"}.get(verdict, "")
    shown = verdict + (f" ({why})" if why else "")
    return f"<td class='l {css}'>{e(shown)}</td>"


def image(path: str) -> str:
    """A PNG file as a data URL, for a page that holds its pictures."""
    with open(path, "rb") as f:
        return "data:image/png;base64," + base64.b64encode(f.read()).decode("ascii")


def crs_name(crs: Any) -> str:
    """A coordinate system by name and EPSG code, as far as either is known."""
    if not isinstance(crs, dict) or not crs.get("name"):
        return "not known"
    code = crs.get("epsg")
    return f"{crs['name']} (EPSG:{code})" if is_figure(code) else f"{crs['name']} (no EPSG code)"
