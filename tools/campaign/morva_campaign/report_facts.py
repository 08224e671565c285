"""What the client's report states beyond the flights' records: when each
flight was flown, the calibration (morva-boresight's --json), the absolute
accuracy and density (morva-accuracy's --json), and each missing part's
reason. Every reader returns plain dicts, with None and a reason where
there is nothing to show."""
import os
import re
from typing import Any, Optional

from . import accuracy_step, settings as settings_mod
from .flights import read_json

ANGLES = ("dpitch", "droll", "dheading")


def clock(hours: Any) -> str:
    """Decimal hours of the day as hh:mm:ss.s, or "-"."""
    if isinstance(hours, bool) or not isinstance(hours, (int, float)):
        return "-"
    seconds = round(hours * 3600.0, 1)
    return f"{int(seconds // 3600):02d}:{int(seconds % 3600 // 60):02d}:{seconds % 60:04.1f}"


def flown(rel: str, summary: dict[str, Any]) -> dict[str, str]:
    """The flight's date (from a YYYY-MM-DD in its path: the run's files
    carry times of day only) and its first and last scan time."""
    m = re.search(r"(?<!\d)(\d{4})-(\d{2})-(\d{2})(?!\d)", rel)
    span = summary.get("time_span")
    times = f"{clock(span[0])} to {clock(span[1])}" if isinstance(span, list) and len(span) == 2 else "-"
    return {"date": "-".join(m.groups()) if m else "not recorded", "times": times}


def calibration(campaign: str, s: settings_mod.Settings) -> dict[str, Any]:
    """The angles with their standard deviations and the tie patches'
    point-to-plane RMS before and after, from morva-boresight's --json:
    the file campaign.toml names (boresight = ...), else boresight.json at
    the campaign's top."""
    name = s.boresight or "boresight.json"
    data = read_json(os.path.join(campaign, name))
    if not isinstance(data, dict) or not isinstance(data.get("misalignment_degrees"), dict):
        if s.boresight:
            why = f"{name} is not a morva-boresight --json report"
        else:
            why = "no calibration report (morva-boresight --json boresight.json, or boresight = \"FILE\" in campaign.toml)"
        return {"file": name, "data": None, "why": why}
    angles = []
    for angle in ANGLES:
        a = data["misalignment_degrees"].get(angle) or {}
        angles.append({"angle": angle, "start": a.get("start"), "estimate": a.get("estimate"),
                       "sigma": a.get("sigma"), "not_determined": a.get("not_determined")})
    rms = data.get("rms_point_to_plane_m") or {}
    return {"file": name, "data": data, "angles": angles, "rms_before": rms.get("before"),
            "rms_after": rms.get("after"), "why": ""}


def estimated_angles(cal: dict[str, Any]) -> Optional[list[float]]:
    """The three estimated angles, or None when one was not determined."""
    if not cal.get("data"):
        return None
    values = [a["estimate"] for a in cal["angles"]]
    return values if all(isinstance(v, (int, float)) for v in values) else None


def accuracy(campaign: str, s: settings_mod.Settings) -> dict[str, Any]:
    """morva-accuracy's figures of the campaign, with their state."""
    if not s.checkpoints:
        return {"data": None, "state": "not configured",
                "why": "campaign.toml names no check-point file (checkpoints = \"FILE.csv\"): "
                       "absolute accuracy was not measured"}
    state, why = accuracy_step.state(campaign, s)
    data = read_json(os.path.join(campaign, accuracy_step.OUTPUT))
    if state in ("to do", "failed") or not isinstance(data, dict):
        reason = why if state != "to do" else "morva-campaign run has not measured it yet"
        return {"data": None, "state": state, "why": f"absolute accuracy not measured: {reason}"}
    return {"data": data, "state": state, "why": "" if state == "done" else f"figures stale: {why}"}
