"""The lock of one flight, so that two runners on one campaign (on one host
or on many hosts sharing the file system) never process a flight twice.

The lock is the file morva.lock in the flight's folder, made with O_EXCL
(atomic on local and NFS v3+ file systems) and holding its owner: host, pid,
time, and the processes it started for the flight. A lock is stale, and is
broken, when its owner's host is this host and neither that process nor any
child it records still lives (a process is known by its pid and its start
time, so that a reused pid does not count), or when it is older than
STALE_AFTER_S whatever its host (a runner on a lost node). Breaking goes through a second lock file
so that two runners never break one lock and take it both."""
import contextlib
import json
import os
import socket
import threading
import time
from typing import Any

from . import atomic

LOCK = "morva.lock"
BREAK = "morva.lock.break"
STALE_AFTER_S = 7 * 24 * 3600
BREAK_STALE_AFTER_S = 60


Owner = dict[str, Any]


def _stat_fields(pid: int) -> list[bytes] | None:
    """The fields of /proc/PID/stat after the command's name, or None."""
    try:
        with open(f"/proc/{pid}/stat", "rb") as f:
            return f.read().rsplit(b")", 1)[1].split()
    except (OSError, IndexError):
        return None


def start_time(pid: int) -> int | None:
    """When the process started (clock ticks since boot), or None when it is
    gone or unknown."""
    fields = _stat_fields(pid)
    try:
        return int(fields[19]) if fields else None
    except (IndexError, ValueError):
        return None


def _owner() -> Owner:
    return {"host": socket.gethostname(), "pid": os.getpid(), "start": start_time(os.getpid()), "time": time.time(),
            "children": []}


def _create(path: str, owner: Owner) -> bool:
    try:
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    except FileExistsError:
        return False
    with os.fdopen(fd, "w") as f:
        json.dump(owner, f)
    return True


def read_owner(path: str) -> Owner | None:
    try:
        with open(path, encoding="utf-8") as f:
            owner = json.load(f)
        return owner if isinstance(owner, dict) else {}
    except FileNotFoundError:
        return None
    except (OSError, ValueError):
        return {}   # being written, or damaged: judged by its age


def _alive(pid: Any, started: Any = None) -> bool:
    if not isinstance(pid, int) or isinstance(pid, bool) or pid <= 0:
        return False
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        pass
    fields = _stat_fields(pid)
    if fields is None:
        return True     # no /proc to tell more
    if fields[0] == b"Z":
        return False    # ended, not yet reaped
    # The same pid with another start time is another process.
    return started is None or len(fields) < 20 or int(fields[19]) == started


def _any_alive(owner: Owner) -> bool:
    if _alive(owner.get("pid"), owner.get("start")):
        return True
    children = owner.get("children")
    return isinstance(children, list) and any(
        isinstance(c, dict) and _alive(c.get("pid"), c.get("start")) for c in children)


def is_stale(path: str, owner: Owner) -> bool:
    try:
        age = time.time() - os.stat(path).st_mtime
    except FileNotFoundError:
        return False
    if owner.get("host") == socket.gethostname() and isinstance(owner.get("pid"), int):
        return not _any_alive(owner)
    return age > STALE_AFTER_S or (not owner and age > BREAK_STALE_AFTER_S)


def describe(owner: Owner) -> str:
    if not owner:
        return "locked"
    when = time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(owner.get("time", 0)))
    text = f"locked by {owner.get('host', '?')} pid {owner.get('pid', '?')} since {when}"
    if owner.get("host") == socket.gethostname() and not _alive(owner.get("pid"), owner.get("start")):
        living = [c["pid"] for c in owner.get("children") or [] if isinstance(c, dict) and
                  _alive(c.get("pid"), c.get("start"))]
        if living:
            text += f" (gone; its process {living[0]} still runs)"
    return text


def holder(folder: str) -> Owner | None:
    """The owner of a live lock on the flight, or None when it is free."""
    path = os.path.join(folder, LOCK)
    owner = read_owner(path)
    return None if owner is None or is_stale(path, owner) else owner


def _break_stale(folder: str, seen: Owner) -> None:
    path = os.path.join(folder, LOCK)
    guard = os.path.join(folder, BREAK)
    if not _create(guard, _owner()):
        with contextlib.suppress(FileNotFoundError):
            if time.time() - os.stat(guard).st_mtime > BREAK_STALE_AFTER_S:
                os.unlink(guard)
        return
    try:
        with contextlib.suppress(FileNotFoundError):
            if read_owner(path) == seen:
                os.unlink(path)
    finally:
        os.unlink(guard)


def acquire(folder: str) -> Owner | None:
    """Takes the flight's lock: returns None when taken, else the owner of the
    live lock that holds it."""
    path = os.path.join(folder, LOCK)
    for _ in range(3):
        if _create(path, _owner()):
            return None
        owner = read_owner(path)
        if owner is None:
            continue
        if not is_stale(path, owner):
            return owner
        _break_stale(folder, owner)
    return read_owner(path) or {}


_rewrite = threading.Lock()


def add_child(folder: str, pid: int) -> None:
    """Records a process started for the flight in its lock, which this
    process holds: the lock stays held while that child lives, even when the
    runner is gone. The lock is replaced whole (a new file renamed over it),
    so that it exists at every moment."""
    path = os.path.join(folder, LOCK)
    with _rewrite:
        owner = read_owner(path)
        if not owner or owner.get("pid") != os.getpid() or owner.get("host") != socket.gethostname():
            return
        owner.setdefault("children", []).append({"pid": pid, "start": start_time(pid)})
        with contextlib.suppress(OSError):    # the owner alone still holds it
            atomic.write_atomically(path, json.dumps(owner), durable=False)


def release(folder: str) -> None:
    with contextlib.suppress(FileNotFoundError):
        os.unlink(os.path.join(folder, LOCK))
