"""The flights of a campaign and the state of each: every folder below the
campaign's top holding a run.in is one flight; its record says whether it is
done, and whether its files and the morva that made them still match."""
import fnmatch
import json
import os
import stat
import time
from dataclasses import dataclass
from typing import Any

from . import settings as settings_mod

RUN_CONTROL = "run.in"
RECORD = "morva.done.json"
RECORD_FORMAT = 1
# A file whose size and modification time are unchanged is taken as unchanged
# without reading it again, but only when it was last modified this many
# seconds before its digest was taken: a later change within the same tick of
# a coarse (or another host's) clock would otherwise go unseen.
TRUST_MARGIN_S = 2.0
# A record, and one file's entry in it, as JSON objects.
Record = dict[str, Any]
Entry = dict[str, Any]


@dataclass
class Flight:
    rel: str          # path below the campaign's top, "/"-separated
    path: str         # absolute folder


def find(campaign_dir: str, only: str | None = None) -> list[Flight]:
    """Every flight, sorted by path; hidden folders are not searched."""
    found = []
    for root, dirs, files in os.walk(campaign_dir):
        dirs[:] = [d for d in dirs if not d.startswith(".")]
        if root != campaign_dir and RUN_CONTROL in files:
            rel = os.path.relpath(root, campaign_dir).replace(os.sep, "/")
            if only is None or fnmatch.fnmatchcase(rel, only):
                found.append(Flight(rel, os.path.abspath(root)))
    found.sort(key=lambda f: f.rel.split("/"))
    return found


def file_state(path: str) -> Entry:
    """Size, modification time and content digest of a regular file; a special
    file (a device, a pipe) is named only, never read."""
    st = os.stat(path)
    if not stat.S_ISREG(st.st_mode):
        return {"special": True}
    checked = time.time()
    return {"size": st.st_size, "mtime_ns": st.st_mtime_ns, "sha256": settings_mod.file_digest(path),
            "checked": checked}


def same_file(path: str, recorded: Entry, rehash: bool = False) -> tuple[bool, Entry | None]:
    """Whether the file at path still is the one recorded. Returns (same,
    refreshed entry or None when the entry can stay as it is)."""
    try:
        st = os.stat(path)
    except OSError:
        return bool(recorded.get("missing")), None
    if recorded.get("missing"):
        return False, None
    if recorded.get("special"):
        return not stat.S_ISREG(st.st_mode), None
    if not stat.S_ISREG(st.st_mode) or st.st_size != recorded.get("size"):
        return False, None
    unchanged_time = st.st_mtime_ns == recorded.get("mtime_ns")
    trusted = unchanged_time and st.st_mtime_ns / 1e9 < recorded.get("checked", 0) - TRUST_MARGIN_S
    if trusted and not rehash:
        return True, None
    now = time.time()
    if settings_mod.file_digest(path) != recorded.get("sha256"):
        return False, None
    refreshed = dict(recorded, mtime_ns=st.st_mtime_ns, checked=now)
    return True, (refreshed if refreshed != recorded else None)


def resolve(flight: Flight, name: str) -> str:
    """A file name of the run control, relative to the flight's folder as morva
    reads it."""
    return os.path.join(flight.path, name)


def read_json(path: str) -> Any:
    """The JSON value of a file, or None when it cannot be read."""
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def read_record(flight: Flight) -> Record | None:
    record = read_json(os.path.join(flight.path, RECORD))
    return record if isinstance(record, dict) and record.get("format") == RECORD_FORMAT else None


# What each part of a record's identity is called when it changed.
IDENTITY_NAMES = {"morva": "morva version", "morva_args": "morva options", "exports": "exports",
                  "point_source_id": "point source ID"}
# The parts of the identity that only the exports use.
EXPORT_IDENTITY = ("exports", "point_source_id")


@dataclass
class State:
    name: str                  # "done", "failed", "stopped", "stale", "to do"
    record: Record | None
    reason: str = ""           # what no longer matches, for a stale flight
    refreshed: Record | None = None   # the record with fresh digest times, when worth writing
    # A stale flight whose morva run still holds (its run control, inputs,
    # outputs, morva and options unchanged): only its exports run again.
    exports_only: bool = False


def used_run_control(record: Record | None) -> str | None:
    """The name of the run control the record's run read, or None."""
    entry = (record or {}).get("run_control")
    name = entry.get("name") if isinstance(entry, dict) else None
    return name if isinstance(name, str) else None


def _run_control_change(record: Record) -> str:
    """"" when the record's run read the configured run control."""
    used = used_run_control(record)
    if used is None or used == RUN_CONTROL:
        return ""
    return f"run control changed ({used}, now {RUN_CONTROL})"


def evaluate(flight: Flight, identity: Record, rehash: bool = False) -> State:
    """The flight's state from its record: done only when the record says exit
    0 and it read the configured run control, which, the inputs, the outputs,
    morva and the settings that shape the outputs all match what is there
    now."""
    record = read_record(flight)
    if record is None:
        return State("to do", None)
    if record.get("state") != "done" or record.get("exit_status") != 0:
        # A failure says what it says about the files it was given: once
        # they changed, the flight is stale (the next run tries it again
        # either way).
        given = "stopped" if record.get("stopped_by") else "failed"
        if "run_control" not in record:
            return State(given, record)
        changed = (_run_control_change(record) or _identity_change(record, identity) or
                   _file_change(flight, record, ("run_control", "inputs"), rehash)[0])
        return State("stale", record, changed) if changed else State(given, record)
    changed = _run_control_change(record)
    if changed:
        return State("stale", record, changed)
    morva_changed = _identity_change(record, identity, without=EXPORT_IDENTITY)
    if morva_changed:
        return State("stale", record, morva_changed)
    changed, refreshed = _file_change(flight, record, ("run_control", "inputs", "outputs"), rehash)
    if changed:
        return State("stale", record, changed)
    exports_changed = _identity_change(record, identity)
    products_changed, products_refreshed = _file_change(flight, refreshed or record, ("products",), rehash)
    if exports_changed or products_changed:
        return State("stale", record, exports_changed or products_changed, exports_only=True)
    return State("done", record, refreshed=products_refreshed or refreshed)


GROUP_NAMES = {"run_control": "", "inputs": "input ", "outputs": "output ", "products": "export product "}


def _identity_change(record: Record, identity: Record, without: tuple[str, ...] = ()) -> str:
    """What changed in the identity ("" when nothing did), leaving out the
    parts named in without."""
    old = record.get("identity")
    if not isinstance(old, dict):
        old = {}
    changed = [IDENTITY_NAMES.get(k, k) for k in identity if k not in without and old.get(k) != identity[k]]
    return ", ".join(changed) + " changed" if changed else ""


def _file_change(flight: Flight, record: Record, groups: tuple[str, ...],
                 rehash: bool) -> tuple[str, Record | None]:
    """What no longer matches among the record's files of these groups ("" when
    all do), and the record with fresh digest times when worth writing."""
    refreshed = json.loads(json.dumps(record))
    dirty = False
    for group in groups:
        entries = refreshed.get(group, [] if group == "products" else None)
        for entry in (entries if isinstance(entries, list) else [entries]):
            if not isinstance(entry, dict) or "name" not in entry:
                return "record unreadable", None
            path = resolve(flight, entry["name"])
            same, fresh = same_file(path, entry, rehash)
            if not same:
                how = "appeared" if entry.get("missing") else "missing" if not os.path.lexists(path) else "changed"
                return f"{GROUP_NAMES[group]}{entry['name']} {how}", None
            if fresh:
                entry.update(fresh)
                dirty = True
    return "", (refreshed if dirty else None)
