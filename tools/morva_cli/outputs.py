"""The outputs of the Python programs, written as the C++ companions write
theirs: each checked before anything is written (never a folder, a device, a
pipe, a socket, or one of the run's own files), each made under a unique
temporary name beside it (created exclusively, so never through a link
someone placed there) and renamed into place only when complete. An output
that is a link to a regular file writes the file the link names, and the
link stays. A stop, an exception, Ctrl-C or a SIGTERM/SIGHUP removes the
temporaries; a signal the program ignores stays ignored (so nohup works).

    with outputs.Staged() as staged:
        with staged.open("report.html") as f:
            f.write(page)
        staged.commit()
"""

from __future__ import annotations

import contextlib
import os
import signal
import stat
import tempfile
import threading
from types import FrameType
from typing import IO, Any, Callable, Iterable, Optional, Union

# An input the outputs must not replace: its path and what it is to the run,
# e.g. ("a/run.in", "flight a's run control"); the role may be "".
Protected = tuple[str, str]

UMASK = os.umask(0)
os.umask(UMASK)
_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
_Handler = Union[Callable[[int, Optional[FrameType]], Any], int, signal.Handlers, None]


class Refused(Exception):
    """An output that must not be written, or that could not be; the message
    is one line naming it."""


def _kind(mode: int) -> str:
    if stat.S_ISCHR(mode) or stat.S_ISBLK(mode):
        return "a device"
    if stat.S_ISFIFO(mode):
        return "a pipe"
    if stat.S_ISSOCK(mode):
        return "a socket"
    return "neither a file nor a folder"


def _same(a: str, b: str) -> bool:
    """Whether the two names are one file (links followed); a name that does
    not exist yet is the same as the other when both resolve alike."""
    try:
        return os.path.samefile(a, b)
    except OSError:
        return os.path.realpath(a) == os.path.realpath(b)


def refusal(output: str, protected: Iterable[Protected] = ()) -> str:
    """"" when output may be written; otherwise why not, in the words of the
    C++ programs' guard ("OUT is a folder", "OUT is the same file as ROLE
    NAME")."""
    if not output:
        return "an empty name is no file"
    try:
        st = os.stat(output)
    except FileNotFoundError:
        st = None
    except OSError as e:
        return f"{output}: {e.strerror}"
    if st is not None and stat.S_ISDIR(st.st_mode):
        return f"{output} is a folder"
    if st is not None and not stat.S_ISREG(st.st_mode):
        return f"{output} is not a regular file ({_kind(st.st_mode)})"
    if not os.path.isdir(os.path.dirname(os.path.abspath(target(output)))):
        return f"cannot write {output}: No such file or directory"
    for name, role in protected:
        if _same(output, name):
            return f"{output} is the same file as {role + ' ' if role else ''}{name}"
    return ""


def check(outputs: Iterable[str], protected: Iterable[Protected] = ()) -> None:
    """Raises Refused for the first output that must not be written, or that
    is named twice."""
    protected = list(protected)
    seen: list[Protected] = []
    for output in outputs:
        why = refusal(output, protected + seen)
        if why:
            raise Refused(why)
        seen.append((output, "another output,"))


def target(output: str) -> str:
    """The file an output writes: the file a link names, else the output."""
    return os.path.realpath(output) if os.path.islink(output) else output


def temporary_beside(path: str, follow_link: bool = True) -> tuple[int, str]:
    """A new empty file, created exclusively under a unique name in the folder
    of path (of the file a link names, unless follow_link is False),
    readable as an ordinary new file would be: (open descriptor, its path).
    Raises Refused naming path and the system's reason."""
    final = target(path) if follow_link else path
    folder, name = os.path.split(os.path.abspath(final))
    try:
        fd, tmp = tempfile.mkstemp(prefix=f".{name}.", suffix=".partial", dir=folder)
    except OSError as e:
        raise Refused(f"cannot write {path}: {e.strerror}") from None
    os.fchmod(fd, 0o666 & ~UMASK)
    return fd, tmp


# The temporaries of every Staged group not yet committed, removed by the
# signal handler.
_pending: set[str] = set()
# Re-entrant: the handler runs in the main thread, maybe while it holds the lock.
_pending_lock = threading.RLock()
_previous: dict[int, _Handler] = {}


def _on_signal(signum: int, frame: Optional[FrameType]) -> None:
    with _pending_lock:
        for tmp in list(_pending):
            with contextlib.suppress(OSError):
                os.unlink(tmp)
        _pending.clear()
    signal.signal(signum, signal.SIG_DFL)
    os.kill(os.getpid(), signum)


def _install() -> None:
    """Our handler for the signals whose handler is the default one (a
    program's own handler, or an ignored signal, is left as it is); only
    from the main thread, where Python runs handlers."""
    if _previous or threading.current_thread() is not threading.main_thread():
        return
    for signum in _SIGNALS:
        current = signal.getsignal(signum)
        if current in (signal.SIG_DFL, signal.default_int_handler):
            _previous[signum] = current
            signal.signal(signum, _on_signal)


def _uninstall() -> None:
    if threading.current_thread() is not threading.main_thread():
        return
    with _pending_lock:
        if _pending:
            return
    for signum, handler in _previous.items():
        if signal.getsignal(signum) is _on_signal:
            signal.signal(signum, handler)
    _previous.clear()


class Staged:
    """Files that appear together, each only when all are complete: add()
    gives each its temporary, commit() renames them into place in the order
    added. Leaving the block uncommitted removes the temporaries."""

    def __init__(self) -> None:
        self._entries: list[tuple[str, str]] = []    # (output, temporary)

    def __enter__(self) -> "Staged":
        _install()
        return self

    def __exit__(self, *exc: object) -> None:
        self.discard()
        _uninstall()

    def open(self, output: str) -> IO[str]:
        """The output's temporary, open for writing text in UTF-8."""
        # The signals wait while the temporary is made and registered: one
        # in between would leave it behind.
        held = signal.pthread_sigmask(signal.SIG_BLOCK, _SIGNALS)
        try:
            fd, tmp = temporary_beside(output)
            with _pending_lock:
                _pending.add(tmp)
        finally:
            signal.pthread_sigmask(signal.SIG_SETMASK, held)
        self._entries.append((output, tmp))
        return os.fdopen(fd, "w", encoding="utf-8", newline="")

    def commit(self) -> None:
        """Renames every temporary into place; raises Refused naming the
        output that could not be put in place (the rest are then removed)."""
        for output, tmp in self._entries:
            try:
                os.replace(tmp, target(output))
            except OSError as e:
                raise Refused(f"cannot write {output}: {e.strerror}") from None
            with _pending_lock:
                _pending.discard(tmp)
        self._entries.clear()

    def discard(self) -> None:
        for _, tmp in self._entries:
            with contextlib.suppress(OSError):
                os.unlink(tmp)
            with _pending_lock:
                _pending.discard(tmp)
        self._entries.clear()


def write_text(output: str, text: str, protected: Iterable[Protected] = ()) -> None:
    """One text file, checked and staged; raises Refused."""
    check([output], protected)
    with Staged() as staged:
        try:
            with staged.open(output) as f:
                f.write(text)
        except OSError as e:
            raise Refused(f"cannot write {output}: {e.strerror}") from None
        staged.commit()
