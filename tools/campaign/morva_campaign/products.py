"""The files the exports make: what appeared or changed in the flight's
folder while they ran, so that the record can hold them and a missing or
changed one makes the flight stale."""
import os

from . import flights

Snapshot = dict[str, tuple[int, int, int]]


def snapshot(folder: str) -> Snapshot:
    """Size, modification time and inode of every regular file below the
    flight's folder, by "/"-separated name; hidden folders and folders of
    other flights (holding their own run.in) are left out."""
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


def made(before: Snapshot, after: Snapshot, known: set[str]) -> list[str]:
    """The names new or changed between the two snapshots, apart from the
    known files (run.in, morva's inputs and outputs, the runner's own)."""
    return sorted(n for n, state in after.items() if before.get(n) != state and n not in known)
