"""The Python programs' outputs (morva_cli.outputs): what the guard refuses,
and that a staged file appears whole or not at all. Run with pytest."""
import os
import signal
import stat
import subprocess
import sys
import time

import pytest

from morva_cli import outputs


def _link(tmp, target, name="link.out"):
    os.symlink(target, tmp / name)
    return str(tmp / name)


def _fifo(tmp):
    os.mkfifo(tmp / "pipe.out")
    return str(tmp / "pipe.out")


def _input(tmp):
    return str(tmp / "scan.bin")


def _device(tmp):
    """A device of the test's own, so that a guard that failed would not
    replace the system's /dev/null; only root may make one."""
    try:
        os.mknod(tmp / "null.out", stat.S_IFCHR | 0o666, os.makedev(1, 3))
    except PermissionError:
        pytest.skip("not root: no device of the test's own")
    return str(tmp / "null.out")


# (case, output made in a folder holding scan.bin, the message's end).
REFUSED = [
    # guards: a report written over /dev/null replaced the system's device.
    ("a device", _device, "null.out is not a regular file (a device)"),
    ("a link to a device", lambda tmp: _link(tmp, "/dev/null"), "link.out is not a regular file (a device)"),
    # guards: a FIFO given as the CSV was replaced by a regular file.
    ("a pipe", _fifo, "pipe.out is not a regular file (a pipe)"),
    ("a folder", lambda tmp: str(tmp), "is a folder"),
    # guards: report --output over a flight's scanner file exited 0.
    ("an input", _input, "scan.bin is the same file as flight a's input " + "{tmp}/scan.bin"),
    ("a link to an input", lambda tmp: _link(tmp, "scan.bin"), "link.out is the same file as flight a's input "
     + "{tmp}/scan.bin"),
    ("a second name of an input", lambda tmp: os.link(tmp / "scan.bin", tmp / "hard.out") or str(tmp / "hard.out"),
     "hard.out is the same file as flight a's input {tmp}/scan.bin"),
    ("an empty name", lambda tmp: "", "an empty name is no file"),
]


@pytest.mark.parametrize("case,make,message", REFUSED, ids=[c[0] for c in REFUSED])
def test_the_guard_refuses_and_touches_nothing(tmp_path, case, make, message):
    (tmp_path / "scan.bin").write_bytes(b"scanner")
    output = make(tmp_path)
    with pytest.raises(outputs.Refused) as e:
        outputs.write_text(output, "page", [(str(tmp_path / "scan.bin"), "flight a's input")])
    assert str(e.value).endswith(message.format(tmp=tmp_path))
    assert (tmp_path / "scan.bin").read_bytes() == b"scanner"
    assert stat.S_ISCHR(os.stat("/dev/null").st_mode)
    if case == "a device":
        assert stat.S_ISCHR(os.stat(output).st_mode)
    assert not [p for p in os.listdir(tmp_path) if p.endswith(".partial")]


def test_one_output_named_twice_is_refused(tmp_path):
    with pytest.raises(outputs.Refused) as e:
        outputs.check([str(tmp_path / "a.csv"), str(tmp_path / "." / "a.csv")])
    assert "is the same file as another output" in str(e.value)


def test_a_missing_folder_is_one_line(tmp_path):
    with pytest.raises(outputs.Refused) as e:
        outputs.write_text(str(tmp_path / "nofolder" / "r.html"), "page")
    assert str(e.value) == f"cannot write {tmp_path}/nofolder/r.html: No such file or directory"


# guards: an output that was a link to a regular file had the link replaced.
def test_a_link_to_a_regular_file_writes_that_file_and_stays(tmp_path):
    (tmp_path / "real.html").write_text("old")
    link = _link(tmp_path, "real.html", "so.html")
    outputs.write_text(link, "new")
    assert os.path.islink(link) and (tmp_path / "real.html").read_text() == "new"
    assert sorted(os.listdir(tmp_path)) == ["real.html", "so.html"]


def test_a_new_file_is_readable_as_any_new_file(tmp_path):
    outputs.write_text(str(tmp_path / "r.csv"), "a,b\n")
    mask = os.umask(0)
    os.umask(mask)
    assert stat.S_IMODE(os.stat(tmp_path / "r.csv").st_mode) == 0o666 & ~mask


def test_an_error_while_writing_leaves_the_old_file_and_no_temporary(tmp_path):
    (tmp_path / "r.html").write_text("old")
    with pytest.raises(RuntimeError):
        with outputs.Staged() as staged:
            for name in ("r.html", "r.csv"):
                with staged.open(str(tmp_path / name)) as f:
                    f.write("half")
            raise RuntimeError("full disk")
    assert sorted(os.listdir(tmp_path)) == ["r.html"] and (tmp_path / "r.html").read_text() == "old"


STAGED_THEN_WAIT = """
import sys, time
from morva_cli import outputs
with outputs.Staged() as staged:
    with staged.open(sys.argv[1]) as f:
        f.write("half")
    print("staged", flush=True)
    time.sleep(30)
    staged.commit()
"""


# guards: a Python program stopped by a signal left its half-made output.
@pytest.mark.parametrize("signum", [signal.SIGINT, signal.SIGTERM, signal.SIGHUP])
def test_a_signal_removes_the_temporaries_and_ends_the_program(tmp_path, signum):
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    proc = subprocess.Popen([sys.executable, "-c", STAGED_THEN_WAIT, str(tmp_path / "r.html")], env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    assert proc.stdout.readline() == "staged\n"
    proc.send_signal(signum)
    _, err = proc.communicate(timeout=10)
    assert proc.returncode == -signum and err == ""
    assert os.listdir(tmp_path) == []


SIGNAL_AS_MADE = """
import os, signal, sys
from morva_cli import outputs
made = outputs.temporary_beside
def made_then_signalled(*args, **kwargs):
    made_now = made(*args, **kwargs)
    os.kill(os.getpid(), signal.SIGTERM)  # the moment the file exists, before it is known
    return made_now
outputs.temporary_beside = made_then_signalled
with outputs.Staged() as staged:
    staged.open(sys.argv[1])
    print("not ended", flush=True)
"""


# guards: a signal between a temporary's creation and its registration left
# it behind; one during the registration could hang on the registry's lock.
def test_a_signal_the_moment_a_temporary_is_made_removes_it(tmp_path):
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    proc = subprocess.run([sys.executable, "-c", SIGNAL_AS_MADE, str(tmp_path / "r.html")], env=env,
                          capture_output=True, text=True, timeout=10)
    assert proc.returncode == -signal.SIGTERM and proc.stdout == ""
    assert os.listdir(tmp_path) == []


def test_an_ignored_signal_stays_ignored(tmp_path):
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    proc = subprocess.Popen([sys.executable, "-c", STAGED_THEN_WAIT, str(tmp_path / "r.html")], env=env,
                            stdout=subprocess.PIPE, preexec_fn=lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN),
                            text=True)
    assert proc.stdout.readline() == "staged\n"
    proc.send_signal(signal.SIGHUP)
    time.sleep(0.3)
    assert proc.poll() is None
    proc.kill()
    proc.wait()
