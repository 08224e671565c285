"""The quick-look's outputs: checked by morva's shared output guard (through
morva-runinfo --check-output) before anything is written, then staged: each
written under a fresh temporary name beside its target, created exclusively
(never through a link of that name), and all renamed into place together
when every one is complete. A stop, an exception, Ctrl-C or a SIGTERM or
SIGHUP leaves no temporary and no output behind. An output that is a link
writes the file the link names and keeps the link."""

import contextlib
import os
import signal
import subprocess
import tempfile
from types import FrameType
from typing import List, Optional, Tuple

from morva_cli import outputs as shared


class Refused(Exception):
    """An output that must not be written; the message is the guard's line."""


def check(tool: str, outputs: List[str], run_control: str, inputs: List[str]) -> None:
    """Raises Refused with the guard's reason when an output would replace the
    run control, a file it names, another input, another output, a folder or
    a device."""
    done = subprocess.run([tool, "--check-output", *outputs, "--", run_control, *inputs], capture_output=True,
                          text=True)
    if done.returncode != 0:
        raise Refused("the output " + last_line(done).removeprefix("morva-runinfo: "))


def last_line(done: subprocess.CompletedProcess[str]) -> str:
    """What a failed morva-runinfo said last, or its exit status."""
    lines = [line.strip() for line in done.stderr.splitlines() + done.stdout.splitlines() if line.strip()]
    return lines[-1] if lines else f"morva-runinfo ended with status {done.returncode}"


def _ended_by_signal(number: int, frame: Optional[FrameType]) -> None:
    raise SystemExit(128 + number)


def stop_on_signals() -> None:
    """SIGTERM and SIGHUP end the program through its exception handling, so
    that staged outputs are removed; a signal ignored (nohup) stays ignored."""
    for number in (signal.SIGTERM, signal.SIGHUP):
        if signal.getsignal(number) != signal.SIG_IGN:
            signal.signal(number, _ended_by_signal)


class Staged:
    """Files that appear together, each only when all are complete: add()
    gives each one's temporary, commit() renames them in the order added. Used
    as a context manager, whatever is still staged when the block ends
    (an exception, KeyboardInterrupt) is removed."""

    def __init__(self) -> None:
        self.entries: List[Tuple[str, str]] = []   # (temporary, target)

    def add(self, path: str) -> str:
        target = shared.target(path)
        folder, name = os.path.split(target)
        fd, temporary = tempfile.mkstemp(prefix=f".{name}.", suffix=".partial", dir=folder or ".")
        try:
            mode = os.stat(target).st_mode & 0o7777 if os.path.isfile(target) else 0o666 & ~shared.UMASK
            os.fchmod(fd, mode)
        finally:
            os.close(fd)
        self.entries.append((temporary, target))
        return temporary

    def commit(self) -> None:
        while self.entries:
            temporary, target = self.entries[0]
            os.replace(temporary, target)
            self.entries.pop(0)

    def discard(self) -> None:
        for temporary, _ in self.entries:
            with contextlib.suppress(FileNotFoundError):
                os.remove(temporary)
        self.entries.clear()

    def __enter__(self) -> "Staged":
        return self

    def __exit__(self, *exc: object) -> None:
        self.discard()
