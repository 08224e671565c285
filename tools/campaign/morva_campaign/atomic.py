"""A file replaced whole: written under a temporary name beside it, then
renamed over it, so that a reader sees the old file or the whole new one."""
import os
import socket
import threading


def write_atomically(path: str, data: str, durable: bool = True) -> None:
    """Replaces path with data; durable flushes it, and the folder's entry,
    to the disk before and after the rename."""
    tmp = f"{path}.tmp.{socket.gethostname()}.{os.getpid()}.{threading.get_ident()}"
    try:
        with open(tmp, "w", encoding="utf-8") as f:
            f.write(data)
            if durable:
                f.flush()
                os.fsync(f.fileno())
        os.replace(tmp, path)
    except OSError:
        try:
            os.unlink(tmp)
        except OSError:
            pass
        raise
    if not durable:
        return
    try:
        fd = os.open(os.path.dirname(path), os.O_RDONLY)
        try:
            os.fsync(fd)
        finally:
            os.close(fd)
    except OSError:
        pass
