"""The quick-look's outputs: checked by morva's shared output guard (through
morva-runinfo --check-output) before anything is written, and each written
under a temporary name beside its final one, renamed only when complete."""

import contextlib
import os
import subprocess
from typing import Iterator, List


class Refused(Exception):
    """An output that must not be written; the message is the guard's line."""


def check(tool: str, outputs: List[str], run_control: str, inputs: List[str]) -> None:
    """Raises Refused with the guard's reason when an output would replace the
    run control, a file it names, another input, another output, a folder or
    a device."""
    done = subprocess.run([tool, "--check-output", *outputs, "--", run_control, *inputs], capture_output=True,
                          text=True)
    if done.returncode == 0:
        return
    lines = [line.strip() for line in done.stderr.splitlines() + done.stdout.splitlines() if line.strip()]
    reason = lines[-1] if lines else f"morva-runinfo ended with status {done.returncode}"
    prefix = "morva-runinfo: "
    raise Refused("the output " + (reason[len(prefix):] if reason.startswith(prefix) else reason))


@contextlib.contextmanager
def written(path: str) -> Iterator[str]:
    """A temporary name beside `path` to write to; renamed to `path` when the
    block ends normally, removed when it does not."""
    folder, name = os.path.split(path)
    temporary = os.path.join(folder, f".{name}.partial-{os.getpid()}")
    try:
        yield temporary
        os.replace(temporary, path)
    finally:
        with contextlib.suppress(FileNotFoundError):
            os.remove(temporary)
