"""How companions end. Started as `nohup` starts them (SIGHUP ignored),
every one runs to completion through the terminal's hangup, as morva does:
a program that set its own handler for an ignored SIGHUP died with the
terminal and left its staged outputs unfinished. An exception from a library
inside a companion ends it with one line and status 1, and no staged file."""
import glob
import os
import resource
import shutil
import signal
import subprocess
import time

import pytest

BIN = os.environ.get("MORVA_BUILD", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
MORVA = os.path.join(BIN, "src", "morva")
TOOL = {name: os.path.join(BIN, "tools", folder, "morva-" + name)
        for name, folder in [("sim", "sim"), ("las", "las"), ("runinfo", "runinfo"), ("grid", "grid"),
                             ("overlap", "overlap"), ("boresight", "boresight")]}
COMMON = ["--nmeas", "300", "--scan-rate", "50", "--duration", "4", "--speed", "50", "--geoid", "off",
          "--surface", "tilt", "--ground", "10"]
FLIGHTS = {"a": ["--heading", "90", "--lat", "52", "--lon", "5"],
           "b": ["--heading", "270", "--lat", "52.0012", "--lon", "5.0029"]}


@pytest.fixture(scope="module")
def flights(tmp_path_factory):
    top = str(tmp_path_factory.mktemp("hangup"))
    for name, where in FLIGHTS.items():
        folder = os.path.join(top, name)
        subprocess.run([TOOL["sim"]] + COMMON + where + [folder], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(folder, "run.in"), "rb") as stdin:
            subprocess.run([MORVA], cwd=folder, stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           check=True)
    return top


def leftovers(folder):
    return [p for p in glob.glob(os.path.join(folder, "**", ".*"), recursive=True)
            if "morva-tmp" in p or ".partial" in p]


def as_nohup():
    os.setsid()  # the hangups of the test reach this program alone
    signal.signal(signal.SIGHUP, signal.SIG_IGN)


# (program, its arguments in the test folder T, the statuses of a completed run, what it writes)
CASES = [
    ("sim", ["--duration", "3", "{T}/survey"], {0}, "{T}/survey/scan.bin"),
    ("las", ["{T}/a/run.in", "{T}/a.las"], {0}, "{T}/a.las"),
    ("runinfo", ["{T}/a/run.in"], {0}, None),
    ("grid", ["--resolution", "2", "{T}/a/run.in", "{T}/a.tif"], {0}, "{T}/a.tif"),
    ("overlap", ["--resolution", "3", "--csv", "{T}/pairs.csv", "{T}/a/run.in", "{T}/b/run.in"], {0, 3, 4},
     "{T}/pairs.csv"),
    ("boresight", ["--dump-points", "{T}/a/run.in", "{T}/b/run.in"], {0}, "{T}/b/run.in.points"),
]


@pytest.mark.parametrize("program,args,statuses,output", CASES)
def test_runs_through_the_hangup(flights, program, args, statuses, output):
    work = os.path.join(flights, "work-" + program)
    shutil.copytree(flights, work, ignore=shutil.ignore_patterns("work-*"))
    argv = [TOOL[program]] + [a.format(T=work) for a in args]
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, preexec_fn=as_nohup)
    # The terminal hangs up again and again while the program runs.
    while child.poll() is None:
        try:
            os.kill(child.pid, signal.SIGHUP)
        except ProcessLookupError:
            break
        time.sleep(0.02)
    err = child.stderr.read().decode(errors="replace")
    child.wait()
    assert child.returncode in statuses, (argv, child.returncode, err)
    if output:
        assert os.path.isfile(output.format(T=work)), (argv, err)
    assert not leftovers(work), argv


# guards: an exception other than a stop (here the JSON library's, on a flight folder whose name is not UTF-8)
# ended morva-overlap with a bare terminate (status -6) and left its staged CSV behind
def test_a_library_exception_is_one_line(flights):
    work = os.path.join(flights, "work-exception")
    os.makedirs(work)
    odd = os.path.join(work.encode(), b"a\xff")
    shutil.copytree(os.path.join(flights, "a"), odd.decode(errors="surrogateescape"))
    argv = [TOOL["overlap"].encode(), b"--resolution", b"3", b"--csv", work.encode() + b"/out.csv", b"--json",
            work.encode() + b"/out.json", odd + b"/run.in", os.path.join(flights, "b", "run.in").encode()]
    done = subprocess.run(argv, capture_output=True)
    lines = done.stderr.decode(errors="replace").splitlines()
    assert done.returncode == 1, (done.returncode, lines)
    assert len(lines) == 1 and lines[0].startswith("morva-overlap: ") and "UTF-8" in lines[0], lines
    assert sorted(os.listdir(work)) == ["a\udcff"], os.listdir(work)
    assert not leftovers(work)


def limited_memory():
    resource.setrlimit(resource.RLIMIT_AS, (1500 << 20, 1500 << 20))


# An exception inside morva-grid's pass (memory running out under an address-space limit: std::bad_alloc) ends,
# through the companions' one ending, with one line that says what to change, status 1 and no staged raster
@pytest.mark.skipif(os.environ.get("MORVA_SANITIZED") == "1", reason="a sanitizer's shadow memory cannot fit under "
                    "an address-space limit")
def test_memory_running_out_in_grid_is_one_line(flights):
    work = os.path.join(flights, "work-grid-memory")
    os.makedirs(work)
    argv = [TOOL["grid"], "--max-memory", "100G", "--resolution", "0.01",
            os.path.join(flights, "a", "run.in"), os.path.join(work, "dem.tif")]
    done = subprocess.run(argv, capture_output=True, preexec_fn=limited_memory, timeout=120)
    lines = done.stderr.decode(errors="replace").splitlines()
    assert done.returncode == 1, (done.returncode, lines)
    assert lines == ["morva-grid: " + os.path.join(work, "dem.tif") + ": the machine's memory ran out; choose a "
                     "coarser --resolution or a lower --max-memory"], lines
    assert os.listdir(work) == [], os.listdir(work)
