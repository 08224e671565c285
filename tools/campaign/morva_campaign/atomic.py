"""A file of the runner's own (a record, a lock) replaced whole: written
under a unique temporary name beside it, then renamed over it, so that a
reader sees the old file or the whole new one."""
import contextlib
import os

from morva_cli import outputs


def write_atomically(path: str, data: str, durable: bool = True) -> None:
    """Replaces path with data; durable flushes it, and the folder's entry,
    to the disk before and after the rename. Raises OSError."""
    try:
        fd, tmp = outputs.temporary_beside(path, follow_link=False)
    except outputs.Refused as e:
        raise OSError(str(e)) from None
    try:
        with os.fdopen(fd, "w", encoding="utf-8") as f:
            f.write(data)
            if durable:
                f.flush()
                os.fsync(f.fileno())
        os.replace(tmp, path)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(tmp)
        raise
    if not durable:
        return
    with contextlib.suppress(OSError):
        fd = os.open(os.path.dirname(path) or ".", os.O_RDONLY)
        try:
            os.fsync(fd)
        finally:
            os.close(fd)
