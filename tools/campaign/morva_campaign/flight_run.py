"""One flight processed: under its lock, unless its record shows it done, run
`morva < run.in` in its folder (console report to morva.log, standard error to
morva.err), then the exports, then write the record, atomically and last.
The local engine and every Slurm array task go through process()."""
import contextlib
import functools
import json
import os
import re
import shlex
import signal
import socket
import subprocess
import time
from dataclasses import dataclass, field
from typing import Any

from . import atomic, claims, flights, lock, report
from .children import Children

# morva-runinfo's answer: the run control as morva reads it.
Info = dict[str, Any]

LOG = "morva.log"
ERR = "morva.err"
# morva's own record of the run (when it takes --metadata): the figures of
# the status table come from it rather than from the console text.
METADATA = "morva.metadata.json"
EXPORT_LOG = "exports.log"
# The files the runner itself writes in a flight's folder.
RUNNER_FILES = (LOG, ERR, METADATA, EXPORT_LOG, flights.RECORD, lock.LOCK, lock.BREAK)


@dataclass
class Job:
    """What every flight of one campaign run shares."""
    morva: Any               # settings.Morva
    morva_args: list[str]
    exports: list[str]
    threads: int | None = None
    force: bool = False
    rehash: bool = False
    engine: str = "local"
    # Folders put first on the exports' PATH: morva's, then the companions'.
    tool_dirs: list[str] = field(default_factory=list)

    # Each flight's LAS point source ID ({point_source_id}): its place, from
    # 1, among all the flights of the campaign.
    source_ids: dict[str, int] = field(default_factory=dict)

    def identity(self, flight: flights.Flight | None = None) -> flights.Record:
        """What the record holds of the settings that shape a flight's files;
        the point source ID only where an export uses it."""
        identity = {"morva": self.morva.version, "morva_args": self.morva_args, "exports": self.exports}
        if flight is not None and any("{point_source_id}" in e for e in self.exports):
            identity["point_source_id"] = self.source_ids.get(flight.rel)
        return identity


@dataclass
class Outcome:
    flight: flights.Flight
    result: str          # "done", "failed", "skipped", "busy", "stopped"
    detail: str = ""
    wall_s: float = 0.0


def write_record(flight: flights.Flight, record: flights.Record) -> None:
    atomic.write_atomically(os.path.join(flight.path, flights.RECORD), json.dumps(record, indent=1) + "\n")


def _runinfo(flight: flights.Flight, job: Job) -> tuple[Info | None, str]:
    """The run control as morva reads it, or (None, morva's "***" line)."""
    try:
        done = subprocess.run([job.morva.runinfo, flights.RUN_CONTROL], cwd=flight.path, capture_output=True,
                              text=True, errors="replace", stdin=subprocess.DEVNULL)
    except OSError as e:
        return None, f"cannot run {job.morva.runinfo}: {e.strerror}"
    if done.returncode == 0:
        try:
            return json.loads(done.stdout), ""
        except ValueError:
            return None, "morva-runinfo printed no run control"
    lines = [ln for ln in (done.stdout + done.stderr).splitlines() if ln.strip()]
    return None, lines[-1].strip() if lines else f"morva-runinfo exit {done.returncode}"


PLACEHOLDER = re.compile(r"\{(run_control|flight|bin|geodesy|metadata|point_source_id)\}")


def expand(template: str, flight: flights.Flight, job: Job) -> str:
    """The export's command: each placeholder replaced by its value quoted for
    the shell, in one pass, so that a value holding a placeholder, a quote
    or a `;` stays one word."""
    values = {"run_control": shlex.quote(flights.RUN_CONTROL), "flight": shlex.quote(flight.path),
              "bin": shlex.quote(os.path.dirname(job.morva.path)),
              "geodesy": " ".join(shlex.quote(a) for a in job.morva_args),
              "metadata": f"--metadata {METADATA}" if job.morva.takes_metadata else "",
              "point_source_id": str(job.source_ids.get(flight.rel, 0))}
    return PLACEHOLDER.sub(lambda m: values[m.group(1)], template)


def export_path(job: Job) -> str:
    dirs = [os.path.dirname(job.morva.path)] + job.tool_dirs
    unique = [d for i, d in enumerate(dirs) if d and d not in dirs[:i]]
    return os.pathsep.join(unique + [os.environ.get("PATH", "")])


# Size, modification time and inode of each file, by "/"-separated name.
Snapshot = dict[str, tuple[int, int, int]]


def _snapshot(folder: str) -> Snapshot:
    """Every regular file below the flight's folder; hidden folders and
    folders of other flights (holding their own run.in) are left out."""
    seen: Snapshot = {}
    for root, dirs, files in os.walk(folder):
        dirs[:] = [d for d in dirs if not d.startswith(".") and
                   not os.path.exists(os.path.join(root, d, flights.RUN_CONTROL))]
        for name in files:
            path = os.path.join(root, name)
            try:
                st = os.lstat(path)
            except OSError:
                continue
            if os.path.isfile(path) and not os.path.islink(path):
                seen[os.path.relpath(path, folder).replace(os.sep, "/")] = (st.st_size, st.st_mtime_ns, st.st_ino)
    return seen


def _made(before: Snapshot, after: Snapshot, known: set[str]) -> list[str]:
    """The files the exports made: the names new or changed between the two
    snapshots, apart from the known files (run.in, morva's inputs and outputs,
    the runner's own), so that the record can hold them and a missing or
    changed one makes the flight stale."""
    return sorted(n for n, state in after.items() if before.get(n) != state and n not in known)


def _run_exports(flight: flights.Flight, job: Job, children: Children) -> tuple[list[flights.Entry], str]:
    """Runs each export in the flight's folder, morva's folder and the
    companions' first on PATH; returns (entries, failure line or "")."""
    if not job.exports:
        return [], ""
    env = dict(os.environ, PATH=export_path(job))
    entries: list[flights.Entry] = []
    with open(os.path.join(flight.path, EXPORT_LOG), "wb") as log:
        for template in job.exports:
            command = expand(template, flight, job)
            log.write(f"$ {command}\n".encode())
            log.flush()
            before = _snapshot(flight.path)
            proc = children.start(["/bin/sh", "-c", command], cwd=flight.path, stdin=subprocess.DEVNULL, stdout=log,
                                  stderr=log, env=env, on_start=functools.partial(lock.add_child, flight.path))
            if proc is None:
                return entries, "stopped before the exports"
            status = proc.wait()
            children.done(proc)
            entries.append({"command": command, "exit_status": status})
            if status != 0 and children.stopping:
                # Whatever the stopped export had begun to write goes: its
                # files would look like products to the next run.
                children.wait_group(proc.pid)
                for name in _made(before, _snapshot(flight.path), set()):
                    if name not in before:
                        with contextlib.suppress(OSError):
                            os.unlink(os.path.join(flight.path, name))
                log.write(f"stopped: the runner was stopped by signal {children.stopping}\n".encode())
                return entries, f"export stopped: {command}"
            if status != 0:
                last = report.last_line(os.path.join(flight.path, EXPORT_LOG))
                return entries, f"export failed (exit {status}): {command}: {last}"
    return entries, ""


def _states(flight: flights.Flight, names: list[str], missing_ok: bool = False) -> list[flights.Entry]:
    """The recorded state of each named file; with missing_ok a file that is
    not there is recorded as missing (an input morva could not open)."""
    entries = []
    for name in names:
        entry: flights.Entry = {"name": name}
        try:
            entry.update(flights.file_state(flights.resolve(flight, name)))
        except FileNotFoundError:
            if not missing_ok:
                raise
            entry["missing"] = True
        entries.append(entry)
    return entries


def _known_names(flight: flights.Flight, info: Info | None) -> set[str]:
    """run.in, morva's inputs and outputs and the runner's own files, as
    names below the flight's folder: what an export's products are not."""
    home = os.path.realpath(flight.path)
    names = [flights.RUN_CONTROL, *RUNNER_FILES] + (info["inputs"] + info["outputs"] if info else [])
    return {os.path.relpath(os.path.realpath(flights.resolve(flight, n)), home).replace(os.sep, "/") for n in names}


def _stop_line(metadata: str | None) -> str:
    """The stop line of morva's run record, or ""."""
    figures = report.summary_of_metadata(metadata) if metadata else None
    stop = figures.get("stop") if figures else None
    return stop if isinstance(stop, str) else ""


def _transient(name: str) -> bool:
    """The runner's temporary files (a record or a lock being replaced)."""
    own = name.startswith((f".{flights.RECORD}.", f".{lock.LOCK}.")) and name.endswith(".partial")
    return own or name.startswith(f"{lock.LOCK}.")


def _run_morva(flight: flights.Flight, job: Job, children: Children) -> tuple[list[str], int]:
    """morva < run control in the flight's folder: (command, exit status),
    the status the negative signal number when a signal ended morva."""
    command = [job.morva.path] + job.morva_args
    if job.threads and job.morva.takes_threads:
        command += ["--threads", str(job.threads)]
    if job.morva.takes_metadata:
        command += ["--metadata", METADATA]
        with contextlib.suppress(FileNotFoundError):
            os.unlink(os.path.join(flight.path, METADATA))    # an earlier run's figures are not this run's
    with open(os.path.join(flight.path, flights.RUN_CONTROL), "rb") as stdin, \
         open(os.path.join(flight.path, LOG), "wb") as out, open(os.path.join(flight.path, ERR), "wb") as err:
        proc = children.start(command, cwd=flight.path, stdin=stdin, stdout=out, stderr=err,
                              on_start=functools.partial(lock.add_child, flight.path))
        status = proc.wait() if proc else -(children.stopping or signal.SIGTERM)
    if proc:
        children.done(proc)
    return command, status


def _morva_failure(flight: flights.Flight, job: Job, status: int) -> str:
    """The line a failed morva run is recorded with."""
    if status < 0:
        try:
            name = signal.Signals(-status).name
        except ValueError:
            name = "signal"
        return f"morva ended by signal {-status} ({name})"
    return (_stop_line(os.path.join(flight.path, METADATA) if job.morva.takes_metadata else None) or
            report.last_line(os.path.join(flight.path, LOG)) or
            report.last_line(os.path.join(flight.path, ERR)) or f"morva exit {status}")


def run(flight: flights.Flight, job: Job, children: Children, kept: flights.Record | None = None) -> Outcome:
    """Runs the flight now and writes its record: done only after morva exit 0
    and every export succeeded. With kept, the record of a morva run that
    still holds, only the exports run again."""
    with contextlib.suppress(FileNotFoundError):
        os.unlink(os.path.join(flight.path, flights.RECORD))
    started = time.time()
    t0 = time.monotonic()
    info, info_error = _runinfo(flight, job)
    run_control = _states(flight, [flights.RUN_CONTROL])[0]
    try:
        inputs = _states(flight, info["inputs"], missing_ok=True) if info else []
    except OSError:
        inputs = []     # an input that cannot be read: morva says so in its own words
    clash = _runner_file_named(flight, info) if info else ""
    outside = claims.outside_output(flight, info) if info and not clash else ""
    refused = (f"{flights.RUN_CONTROL} names {clash}, a file of the campaign runner" if clash else
               f"output {outside} lies outside the flight's folder" if outside else "")
    if refused:
        return _record_failure(flight, job, started, t0, refused, run_control, inputs)
    if kept is not None and info is not None:
        command, status = list(kept.get("command") or []), 0
    else:
        kept = None
        command, status = _run_morva(flight, job, children)

    exports: list[flights.Entry] = []
    failure, made = "", []
    if status != 0:
        failure = _morva_failure(flight, job, status)
    elif info is None:
        failure = info_error
    else:
        home = os.path.realpath(flight.path)
        before = _snapshot(home) if job.exports else {}
        exports, failure = _run_exports(flight, job, children)
        made = _made(before, _snapshot(home), _known_names(flight, info)) if job.exports else []
        made = [n for n in made if not _transient(n)]
    outputs: list[flights.Entry] = []
    made_states: list[flights.Entry] = []
    if info and not failure:
        try:
            outputs = _states(flight, info["outputs"])
            made_states = _states(flight, made)
        except OSError as e:
            failure = f"cannot read output {e.filename}: {e.strerror}"

    record = _base_record(flight, job, started, t0, status, failure)
    metadata = os.path.join(flight.path, METADATA) if job.morva.takes_metadata else None
    record.update({
        "command": command, "run_control": run_control, "inputs": inputs, "outputs": outputs, "exports": exports,
        "products": made_states,
        # The angles the run control gave morva, as the status and the
        # report show them.
        "misalignment": info.get("misalignment") if info else None,
        "summary": kept.get("summary", {}) if kept else
                   report.summary(os.path.join(flight.path, LOG), os.path.join(flight.path, ERR),
                                  flights.resolve(flight, info["centfile"]) if info else None, metadata),
    })
    if failure and children.stopping:
        # Ended by the runner's stop, not by its own fault: shown as stopped
        # (older runners read the record as failed).
        record["stopped_by"] = children.stopping
    try:
        write_record(flight, record)
    except OSError as e:
        return Outcome(flight, "failed", f"cannot write the record: {e.strerror}", record["wall_s"])
    return Outcome(flight, "stopped" if "stopped_by" in record else record["state"], failure, record["wall_s"])


def _runner_file_named(flight: flights.Flight, info: Info) -> str:
    """The first input or output of the run control that is one of the
    runner's own files, which morva would overwrite or the runner would."""
    own = {os.path.join(flight.path, name) for name in RUNNER_FILES}
    named = info["inputs"] + info["outputs"]
    return next((name for name in named if os.path.normpath(flights.resolve(flight, name)) in own), "")


def _base_record(flight: flights.Flight, job: Job, started: float, t0: float, status: int | None,
                 failure: str) -> flights.Record:
    return {
        "format": flights.RECORD_FORMAT, "flight": flight.rel, "state": "failed" if failure else "done",
        "exit_status": status, "identity": job.identity(flight), "host": socket.gethostname(), "engine": job.engine,
        "slurm_job": _slurm_task(), "started": time.strftime("%Y-%m-%dT%H:%M:%S%z", time.localtime(started)),
        "wall_s": round(time.monotonic() - t0, 3), "last_line": failure, "summary": {},
    }


def _record_failure(flight: flights.Flight, job: Job, started: float, t0: float, failure: str,
                    run_control: flights.Entry, inputs: list[flights.Entry]) -> Outcome:
    """The record of a flight that did not get as far as running morva; with
    its run.in and inputs, so that a change to them shows."""
    record = _base_record(flight, job, started, t0, None, failure)
    record.update({"run_control": run_control, "inputs": inputs})
    write_record(flight, record)
    return Outcome(flight, "failed", failure, record["wall_s"])


def refuse(flight: flights.Flight, job: Job, failure: str, info: Info | None) -> Outcome:
    """Records the flight as failed without running it (its files would
    collide with another flight's), under its lock."""
    owner = lock.acquire(flight.path)
    if owner is not None:
        return Outcome(flight, "busy", lock.describe(owner))
    try:
        run_control = _states(flight, [flights.RUN_CONTROL])[0]
        inputs = _states(flight, info["inputs"], missing_ok=True) if info else []
        return _record_failure(flight, job, time.time(), time.monotonic(), failure, run_control, inputs)
    except OSError as e:
        return Outcome(flight, "failed", f"cannot write in the flight's folder: {e.filename or ''}: {e.strerror}")
    finally:
        lock.release(flight.path)


def runinfo(flight: flights.Flight, job: Job) -> Info | None:
    """The run control as morva reads it, or None."""
    return _runinfo(flight, job)[0]


def _slurm_task() -> str | None:
    job, task = os.environ.get("SLURM_ARRAY_JOB_ID"), os.environ.get("SLURM_ARRAY_TASK_ID")
    return f"{job}_{task}" if job and task else os.environ.get("SLURM_JOB_ID")


def keep_fresh(flight: flights.Flight, state: flights.State) -> None:
    """Writes the record of a done flight with the times of its digests renewed,
    so that the next check trusts files that have stayed unchanged instead of
    reading them again. Only under the flight's lock, and only when the record
    is still the one that was checked."""
    if not state.refreshed:
        return
    try:
        if lock.acquire(flight.path) is not None:
            return
    except OSError:
        return
    try:
        if flights.read_record(flight) == state.record:
            _refresh(flight, state)
    finally:
        lock.release(flight.path)


def _refresh(flight: flights.Flight, state: flights.State) -> None:
    """Writes the record with the times of its digests renewed, when they are."""
    if state.refreshed:
        with contextlib.suppress(OSError):    # the old record still holds; its files are read again next time
            write_record(flight, state.refreshed)


def process(flight: flights.Flight, job: Job, children: Children) -> Outcome:
    """The flight under its lock: skipped when its record shows it done (and
    --force is not given), else run."""
    try:
        return _process_locked(flight, job, children)
    except OSError as e:
        # A folder that cannot be written (read-only, full, gone): no record
        # can say so, the outcome does.
        return Outcome(flight, "failed", f"cannot write in the flight's folder: {e.filename or ''}: {e.strerror}")


def _process_locked(flight: flights.Flight, job: Job, children: Children) -> Outcome:
    owner = lock.acquire(flight.path)
    if owner is not None:
        return Outcome(flight, "busy", lock.describe(owner))
    try:
        state = None if job.force else flights.evaluate(flight, job.identity(flight), job.rehash)
        if state and state.name == "done":
            _refresh(flight, state)
            return Outcome(flight, "skipped")
        if children.stopping:
            return Outcome(flight, "stopped", "runner stopped")
        return run(flight, job, children, state.record if state and state.exports_only else None)
    finally:
        lock.release(flight.path)
