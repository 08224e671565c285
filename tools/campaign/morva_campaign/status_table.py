"""The status table of a campaign: one row per flight from its record and
report, a summary line, and the same rows as CSV."""
import collections
import csv
import io
from typing import Any, Callable, Collection

from morva_cli import outputs

from . import flights, lock

COLUMNS = ["flight", "state", "run control", "misalignment deg", "scans", "points", "time span", "ground heights m",
           "bias m", "roll deg", "wall s", "warnings", "last line"]
# The CSV has one value per column: the time span and the heights split.
CSV_COLUMNS = ["flight", "state", "run control", "misalignment deg", "scans", "points", "start", "end",
               "ground height min m", "ground height max m", "bias m", "roll deg", "wall s", "warnings", "last line"]
Row = dict[str, str]
STATES = ("done", "failed", "stopped", "stale", "to do", "running")


def _clock(hours: float) -> str:
    seconds = hours * 3600.0
    h, rest = divmod(seconds, 3600.0)
    m, s = divmod(rest, 60.0)
    return f"{int(h):02d}:{int(m):02d}:{s:04.1f}"


def _number(value: Any, form: str) -> str:
    return "" if value is None else format(value, form)


def _angles(value: Any) -> str:
    if not isinstance(value, list) or not all(isinstance(v, (int, float)) for v in value):
        return ""
    return " ".join(f"{v:g}" for v in value)


def row(flight: flights.Flight, state: flights.State) -> Row:
    """The table's values of one flight, as text."""
    record = state.record or {}
    summary = record.get("summary") or {}
    heights = summary.get("ground_heights")
    span = summary.get("time_span")
    name = state.name
    note = record.get("last_line", "") if name in ("failed", "stopped") else state.reason
    owner = lock.holder(flight.path)
    if owner is not None:
        name, note = "running", lock.describe(owner)
    start, end = (_clock(span[0]), _clock(span[1])) if span else ("", "")
    low, high = (_number(heights[0], ".2f"), _number(heights[1], ".2f")) if heights else ("", "")
    return {
        "flight": flight.rel, "state": name,
        "scans": _number(summary.get("scans"), "d"), "points": _number(summary.get("points"), "d"),
        "time span": f"{start}-{end}" if span else "", "start": start, "end": end,
        "ground heights m": f"{low} {high}" if heights else "", "ground height min m": low, "ground height max m": high,
        "bias m": _number(summary.get("bias"), ".2f"), "roll deg": _number(summary.get("roll"), ".2f"),
        "wall s": _number(record.get("wall_s"), ".2f"),
        "warnings": _number(summary.get("warnings"), "d") if record else "",
        # What the flight was processed with: the run control and the
        # angles on its misalignment line.
        "run control": flights.used_run_control(record) or "",
        "misalignment deg": _angles(record.get("misalignment")),
        "last line": note,
    }


def rows(found: list[flights.Flight], identity: Callable[[flights.Flight], flights.Record], rehash: bool = False,
         just_run: Collection[str] = frozenset(), stopped: Collection[str] = frozenset()) -> list[Row]:
    """The rows of the flights (identity(flight): the identity its record
    must hold); those in just_run were recorded by this very run, and their
    records are taken as they are; those in stopped were not begun because
    the run was stopped."""
    table = []
    for f in found:
        record = flights.read_record(f) if f.rel in just_run else None
        if record and record.get("identity") == identity(f):
            given = "done" if record.get("state") == "done" else "stopped" if record.get("stopped_by") else "failed"
            state = flights.State(given, record)
        else:
            state = flights.evaluate(f, identity(f), rehash)
        r = row(f, state)
        if f.rel in stopped and r["state"] != "running":
            r["state"], r["last line"] = "stopped", "runner stopped before it began"
        table.append(r)
    return table


def summary_line(table: list[Row], extra: str = "") -> str:
    c = collections.Counter(r["state"] for r in table)
    parts = [f"{c[s]} {s}" for s in STATES if c[s] or s in ("done", "failed", "to do")]
    return f"{len(table)} flight{'' if len(table) == 1 else 's'}: " + ", ".join(parts) + extra


def format_table(table: list[Row]) -> str:
    right = {"scans", "points", "bias m", "roll deg", "wall s", "warnings"}
    width = {c: max([len(c)] + [len(r[c]) for r in table]) for c in COLUMNS}
    lines = []
    for values in [dict(zip(COLUMNS, COLUMNS))] + table:
        cells = [values[c].rjust(width[c]) if c in right else values[c].ljust(width[c]) for c in COLUMNS]
        lines.append("  ".join(cells).rstrip())
    return "\n".join(lines) + "\n"


def write_csv(table: list[Row], path: str, protected: list[outputs.Protected] | None = None) -> None:
    """The table as CSV, under a temporary name until it is complete; raises
    outputs.Refused."""
    text = io.StringIO()
    w = csv.DictWriter(text, fieldnames=CSV_COLUMNS, extrasaction="ignore")
    w.writeheader()
    w.writerows(table)
    outputs.write_text(path, text.getvalue(), protected or [])


def all_done(table: list[Row]) -> bool:
    return bool(table) and all(r["state"] == "done" for r in table)
