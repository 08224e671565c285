"""The lock of one flight, so that two runners on one campaign (on one host
or on many hosts sharing the file system) never process a flight twice.

The lock is the file morva.lock in the flight's folder, made with O_EXCL
(atomic on local and NFS v3+ file systems) and holding its owner: host, pid,
time. A lock is stale, and is broken, when its owner's host is this host and
that process no longer lives, or when it is older than STALE_AFTER_S whatever
its host (a runner on a lost node). Breaking goes through a second lock file
so that two runners never break one lock and take it both."""
import json
import os
import socket
import time

LOCK = "morva.lock"
BREAK = "morva.lock.break"
STALE_AFTER_S = 7 * 24 * 3600
BREAK_STALE_AFTER_S = 60


def _owner():
    return {"host": socket.gethostname(), "pid": os.getpid(), "time": time.time()}


def _create(path, owner):
    try:
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    except FileExistsError:
        return False
    with os.fdopen(fd, "w") as f:
        json.dump(owner, f)
    return True


def read_owner(path):
    try:
        with open(path, encoding="utf-8") as f:
            owner = json.load(f)
        return owner if isinstance(owner, dict) else {}
    except FileNotFoundError:
        return None
    except (OSError, ValueError):
        return {}   # being written, or damaged: judged by its age


def _alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def is_stale(path, owner):
    try:
        age = time.time() - os.stat(path).st_mtime
    except FileNotFoundError:
        return False
    if owner.get("host") == socket.gethostname() and isinstance(owner.get("pid"), int):
        return not _alive(owner["pid"])
    return age > STALE_AFTER_S or (not owner and age > BREAK_STALE_AFTER_S)


def describe(owner):
    if not owner:
        return "locked"
    when = time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(owner.get("time", 0)))
    return f"locked by {owner.get('host', '?')} pid {owner.get('pid', '?')} since {when}"


def holder(folder):
    """The owner of a live lock on the flight, or None when it is free."""
    path = os.path.join(folder, LOCK)
    owner = read_owner(path)
    if owner is None or is_stale(path, owner):
        return None
    return owner


def _break_stale(folder, seen):
    path = os.path.join(folder, LOCK)
    guard = os.path.join(folder, BREAK)
    if not _create(guard, _owner()):
        try:
            if time.time() - os.stat(guard).st_mtime > BREAK_STALE_AFTER_S:
                os.unlink(guard)
        except FileNotFoundError:
            pass
        return
    try:
        if read_owner(path) == seen:
            os.unlink(path)
    except FileNotFoundError:
        pass
    finally:
        os.unlink(guard)


def acquire(folder):
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


def release(folder):
    try:
        os.unlink(os.path.join(folder, LOCK))
    except FileNotFoundError:
        pass
