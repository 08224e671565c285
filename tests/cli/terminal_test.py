#!/usr/bin/python3
"""morva on a terminal, through a pseudo-terminal: the progress line on
standard error (drawn, at most four times a second, erased at the end, never
on standard output or in a file), the note when the run control is to come
from a terminal, and no copy of the stop line when the report is on one.

usage: terminal_test.py MORVA MORVA_SIM
"""

import errno
import os
import pty
import shutil
import subprocess
import sys
import tempfile
import time

MORVA, SIM = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def read_all(fd):
    """Everything the other side writes until it closes (EIO on Linux)."""
    data = b""
    while True:
        try:
            chunk = os.read(fd, 65536)
        except OSError as e:
            if e.errno == errno.EIO:
                break
            raise
        if not chunk:
            break
        data += chunk
    return data


def run(folder, args, stdin=None, stdout=None, stderr=None, feed=None):
    """Runs morva in folder; each of stdin/stdout/stderr is a file object,
    subprocess.PIPE, or "tty" for the slave side of one pseudo-terminal.
    Returns (status, stdout bytes, stderr bytes, terminal bytes, seconds)."""
    master, slave = pty.openpty()
    streams = [slave if s == "tty" else s for s in (stdin, stdout, stderr)]
    start = time.monotonic()
    proc = subprocess.Popen([MORVA] + args, cwd=folder, stdin=streams[0], stdout=streams[1], stderr=streams[2])
    os.close(slave)
    if feed is not None:
        os.write(master, feed)
    terminal = read_all(master)
    out = proc.stdout.read() if proc.stdout else b""
    err = proc.stderr.read() if proc.stderr else b""
    status = proc.wait()
    seconds = time.monotonic() - start
    os.close(master)
    return status, out, err, terminal, seconds


def outputs(folder):
    return {name: open(os.path.join(folder, name), "rb").read()
            for name in ("points.bin", "centre.txt", "test.out", "test_pcorr.out")}


work = tempfile.mkdtemp(prefix="morva-terminal-")
try:
    survey = os.path.join(work, "survey")
    subprocess.run([SIM, "--duration", "40", "--nmeas", "1000", "--scan-rate", "100", survey], check=True, stdout=subprocess.DEVNULL)
    run_control = open(os.path.join(survey, "run.in"), "rb").read()

    # The plain run: nothing on a terminal, nothing on standard error.
    with open(os.path.join(survey, "run.in"), "rb") as rc:
        status, report, err, _, _ = run(survey, [], stdin=rc, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    check(status == 0, "plain run ends with status 0")
    check(err == b"", "no progress line when standard error is not a terminal: %r" % err[:200])
    plain = outputs(survey)

    # Standard error on a terminal: the progress line, then erased.
    with open(os.path.join(survey, "run.in"), "rb") as rc:
        status, out, _, terminal, seconds = run(survey, [], stdin=rc, stdout=subprocess.PIPE, stderr="tty")
    check(status == 0, "run with standard error on a terminal ends with status 0")
    check(out == report, "the console report is that of the plain run")
    check(outputs(survey) == plain, "the files are those of the plain run")
    draws = terminal.count(b"\rmorva: ")
    check(draws >= 1, "the progress line is drawn: %r" % terminal[:200])
    print("%d draws in %.2f s" % (draws, seconds))
    check(b"% of the scanner file" in terminal and b"measurements/s" in terminal and b"left" in terminal,
          "the line shows the share read, the rates and the time left: %r" % terminal[:200])
    check(draws <= 4 * seconds + 1, "at most four draws a second: %d in %.2f s" % (draws, seconds))
    check(terminal.endswith(b"\r\x1b[K"), "the line is erased at the end: %r" % terminal[-40:])
    check(b"warning" not in terminal, "no warning on a good run")

    # --no-progress keeps the terminal quiet.
    with open(os.path.join(survey, "run.in"), "rb") as rc:
        status, _, _, terminal, _ = run(survey, ["--no-progress"], stdin=rc, stdout=subprocess.PIPE, stderr="tty")
    check(status == 0 and terminal == b"", "--no-progress draws nothing: %r" % terminal[:200])

    # The run control from a terminal: a note first, then the run as always.
    status, out, err, _, _ = run(survey, [], stdin="tty", stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                 feed=run_control + b"\x04")
    check(err.startswith(b"morva: reading the run control from the terminal"),
          "a note when the run control is to come from a terminal: %r" % err[:200])
    check(b"morva --help" in err.split(b"\n")[0], "the note points to --help")
    check(status == 0 and out == report, "the run from the terminal equals the plain run")

    # A stop with the report on a terminal: the last line is not copied.
    broken = os.path.join(work, "broken")
    shutil.copytree(survey, broken)
    with open(os.path.join(broken, "run.in"), "wb") as f:
        f.write(run_control.replace(b"trajectory.txt", b"trajectory.tx", 1))
    with open(os.path.join(broken, "run.in"), "rb") as rc:
        status, _, err, terminal, _ = run(broken, ["--no-progress"], stdin=rc, stdout="tty", stderr=subprocess.PIPE)
    check(status == 1, "the stop ends with status 1")
    check(terminal.rstrip().endswith(b"*** cannot open file: trajectory.tx"), "the stop line on the terminal")
    # Standard error holds only the reason (the system's words), not a copy of the line.
    check(b"***" not in err and err.startswith(b"morva: cannot open trajectory.tx: No such file"),
          "no copy on standard error when the report is on a terminal: %r" % err)
finally:
    shutil.rmtree(work, ignore_errors=True)

if failures:
    sys.exit("%d of the terminal checks failed" % len(failures))
print("terminal checks passed")
