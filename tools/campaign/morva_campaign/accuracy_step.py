"""The campaign's absolute accuracy: after the flights, when campaign.toml
names a check-point file, morva-accuracy measures the done flights at the
check points into accuracy.json at the campaign's top. Like an export it has
a record (accuracy.done.json): the check points' digest, each flight's record
digest and the limits; any of them changed, or accuracy.json changed or gone,
makes it stale and the next run measures again."""
import json
import os
import subprocess
import time
from typing import Any, Callable, Optional

from . import atomic, flights, settings as settings_mod

OUTPUT = "accuracy.json"
RECORD = "accuracy.done.json"
FILES = (OUTPUT, RECORD)
# What each part of the identity is called when it changed.
IDENTITY_NAMES = {"checkpoints": "check-point file", "checkpoints_sha256": "check points", "limits": "limits",
                  "geodesy": "geodesy", "flights": "flights"}


def _digest(path: str) -> Optional[str]:
    try:
        return settings_mod.file_digest(path)
    except OSError:
        return None


def _written_since(path: str, since: float) -> bool:
    try:
        return os.stat(path).st_mtime >= since - 1.0
    except OSError:
        return False


def identity(campaign: str, s: settings_mod.Settings) -> dict[str, Any]:
    """What the figures depend on: the check points, the limits, and each
    done flight's record (which changes whenever the flight is run again)."""
    assert s.checkpoints is not None
    done = []
    for f in flights.find(campaign):
        record = flights.read_record(f)
        if record and record.get("state") == "done" and not record.get("stopped_by"):
            done.append({"flight": f.rel, "run_control": flights.used_run_control(record),
                         "record_sha256": _digest(os.path.join(f.path, flights.RECORD))})
    return {"checkpoints": s.checkpoints, "checkpoints_sha256": _digest(os.path.join(campaign, s.checkpoints)),
            "limits": s.limits, "geodesy": s.geodesy, "flights": done}


def state(campaign: str, s: settings_mod.Settings) -> tuple[str, str]:
    """("done" | "failed" | "stale" | "to do", why)."""
    record = flights.read_json(os.path.join(campaign, RECORD))
    if not isinstance(record, dict):
        return "to do", "not measured yet"
    now = identity(campaign, s)
    old = record.get("identity") or {}
    changed = [name for k, name in IDENTITY_NAMES.items() if old.get(k) != now[k]]
    if changed:
        return "stale", ", ".join(changed) + " changed"
    if record.get("state") != "done":
        return "failed", str(record.get("last_line") or "morva-accuracy failed")
    if _digest(os.path.join(campaign, OUTPUT)) != record.get("output_sha256"):
        return "stale", f"{OUTPUT} changed"
    return "done", ""


def run(campaign: str, s: settings_mod.Settings, script_dir: str, say: Callable[[str], None]) -> bool:
    """Measures when the figures are not done; says what happened. Returns
    whether the figures are done."""
    name, _ = state(campaign, s)
    if name == "done":
        return True
    ident = identity(campaign, s)
    record: dict[str, Any] = {"identity": ident, "started": time.strftime("%Y-%m-%dT%H:%M:%S%z")}
    program = settings_mod.companion(script_dir, "morva-accuracy", "accuracy")
    t0 = time.monotonic()
    if not ident["flights"]:
        last = "no flight is done"
    elif program is None:
        last = "morva-accuracy was not found"
    else:
        command = [program, "--json", OUTPUT] + (["--limits", s.limits] if s.limits else [])
        command += [str(s.checkpoints)] + [f"{f['flight']}/{f['run_control']}" for f in ident["flights"]]
        record["command"] = command
        began = time.time()
        try:
            done = subprocess.run(command, cwd=campaign, capture_output=True, text=True, errors="replace",
                                  stdin=subprocess.DEVNULL)
            lines = [ln for ln in done.stderr.splitlines() if ln.strip()]
            # Like morva-overlap, a figure failing or not tested may have its
            # own exit status; the figures count when they were written.
            written = done.returncode in (0, 3, 4) and _written_since(os.path.join(campaign, OUTPUT), began)
            last = "" if written else (lines[-1] if lines else f"exit status {done.returncode}")
        except OSError as e:
            last = f"cannot run {program}: {e.strerror}"
    record.update(state="failed" if last else "done", last_line=last, wall_s=round(time.monotonic() - t0, 3),
                  output_sha256=None if last else _digest(os.path.join(campaign, OUTPUT)))
    try:
        atomic.write_atomically(os.path.join(campaign, RECORD), json.dumps(record, indent=1) + "\n")
    except OSError as e:
        last = last or f"cannot write {RECORD}: {e}"
    say(f"failed   accuracy: {last}" if last else f"done     accuracy ({record['wall_s']:.2f} s)")
    return not last
