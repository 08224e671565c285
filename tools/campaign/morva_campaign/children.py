"""The processes the runner starts (morva and the exports), so that none of
them outlives the runner.

Each child runs in a process group of its own, which its own children (a
shell's commands, a wrapper's morva) inherit. A SIGINT or SIGTERM sent to the
runner is passed on to every group (as SIGTERM), and after it no new flight starts. A
runner that dies without a chance to do so (kill -9, a crash) is covered
twice: every direct child gets SIGKILL from the kernel when the thread that
started it ends (a parent-death signal), and a watchdog process, in a
session of its own and reading a pipe that only the runner holds, kills the
groups still registered when that pipe closes."""
import contextlib
import ctypes
import os
import signal
import subprocess
import sys
import threading
import time
from typing import Any, Callable

PR_SET_PDEATHSIG = 1
# How long the watchdog lets a group end on SIGTERM before SIGKILL.
GRACE_S = 1.0

WATCHDOG = """
import os, signal, sys, time
groups = set()
for line in sys.stdin:
    n = int(line)
    if n > 0:
        groups.add(n)
    else:
        groups.discard(-n)
for sig in (signal.SIGTERM, signal.SIGKILL):
    for g in list(groups):
        try:
            os.killpg(g, sig)
        except ProcessLookupError:
            groups.discard(g)
        except OSError:
            pass
    if groups and sig == signal.SIGTERM:
        time.sleep(%r)
""" % GRACE_S

_libc: Any = None


def _die_with_parent() -> None:
    """Runs in the child between fork and exec: a group of its own, and
    SIGKILL when the runner's thread that started it ends."""
    os.setpgid(0, 0)
    if _libc is not None:
        _libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)


class Children:
    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._procs: set[subprocess.Popen[Any]] = set()
        self.stopping: int | None = None    # the signal that stopped the runner
        self._watchdog: subprocess.Popen[bytes] | None = None

    def _register(self, pgid: int) -> None:
        if self._watchdog is None or self._watchdog.stdin is None:
            return
        with contextlib.suppress(OSError):    # a watchdog gone: the parent-death signal still holds
            self._watchdog.stdin.write(f"{pgid}\n".encode())
            self._watchdog.stdin.flush()

    def start(self, command: list[str], on_start: Callable[[int], None] | None = None,
              **kwargs: Any) -> subprocess.Popen[Any] | None:
        """Popen in a group of its own; None once the runner is stopping.
        on_start(pid) is called as soon as the child exists."""
        with self._lock:
            if self.stopping:
                return None
            proc = subprocess.Popen(command, preexec_fn=_die_with_parent, **kwargs)
            self._procs.add(proc)
            self._register(proc.pid)
        if on_start:
            on_start(proc.pid)
        return proc

    def done(self, proc: subprocess.Popen[Any]) -> None:
        with self._lock:
            self._procs.discard(proc)
            self._register(-proc.pid)

    def stop(self, signum: int) -> None:
        """Passes the stop on to every child's group as SIGTERM, whatever the
        signal: a Python export would answer a SIGINT with a traceback."""
        with self._lock:
            self.stopping = signum
            for proc in self._procs:
                try:
                    os.killpg(proc.pid, signal.SIGTERM)
                except OSError:
                    with contextlib.suppress(OSError):
                        proc.send_signal(signal.SIGTERM)   # not yet its own group leader

    @staticmethod
    def wait_group(pgid: int, timeout_s: float = 5.0) -> None:
        """Waits until no process of the group is left (a shell's commands may
        outlive the shell by a moment), at most timeout_s."""
        end = time.monotonic() + timeout_s
        while time.monotonic() < end:
            try:
                os.killpg(pgid, 0)
            except OSError:
                return
            time.sleep(0.02)

    def install(self) -> None:
        """The signal handlers and the watchdog; called once by the runner."""
        global _libc
        try:
            _libc = ctypes.CDLL(None, use_errno=True)
        except OSError:
            _libc = None
        for signum in (signal.SIGINT, signal.SIGTERM):
            signal.signal(signum, lambda s, _frame: self.stop(s))
        try:
            self._watchdog = subprocess.Popen([sys.executable, "-I", "-S", "-c", WATCHDOG], stdin=subprocess.PIPE,
                                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                              start_new_session=True)
        except OSError:
            self._watchdog = None
