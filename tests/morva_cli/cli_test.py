"""The shared command line of the Python programs: each row is a command
line given to a small parser that has every kind of option, and what the
program must answer (standard output, standard error, exit status)."""

import contextlib
import io

import pytest

import morva_cli

USAGE = "demo [OPTIONS] DIR"
EXIT_STATUS = "0 the work is done; 1 it stopped; 2 a wrong command line."


def demo_parser() -> morva_cli.ArgumentParser:
    p = morva_cli.ArgumentParser("demo", USAGE, EXIT_STATUS, description="A demonstration.", version="1.2.3",
                                 commit="abc123")
    p.add_argument("-j", "--jobs", type=morva_cli.number(1, 512), metavar="N", help="flights at once")
    p.add_argument("--scale", type=morva_cli.number(0, 1.5, whole=False), help="a factor")
    p.add_argument("--engine", type=morva_cli.choice("local", "slurm"), help="where to run")
    p.add_argument("--mode", choices=["flat", "ellipsoid"], help="argparse's own choices")
    p.add_argument("--count", type=int, help="argparse's own int")
    p.add_argument("--force", action="store_true", help="a flag")
    p.add_argument("folder", metavar="DIR")
    return p


def usage(message: str) -> str:
    return f"demo: {message}; usage: {USAGE} (demo --help)\n"


# (command line, standard error, exit status)
CASES = [
    ("--bogus d", usage("unknown option --bogus"), 2),
    ("--bogus=3 d", usage("unknown option --bogus"), 2),
    ("--jo 3 d", usage("unknown option --jo"), 2),  # no abbreviations: --jo is not --jobs
    ("d --jobs", usage("option --jobs needs a value"), 2),
    ("--jobs x d", usage("option --jobs: 'x' is not a number"), 2),
    ("--jobs 2.5 d", usage("option --jobs: '2.5' is not a number"), 2),
    ("--jobs 0 d", usage("option --jobs: 0 is out of range (1 to 512)"), 2),
    ("-j 600 d", usage("option --jobs: 600 is out of range (1 to 512)"), 2),
    ("--scale 2 d", usage("option --scale: 2 is out of range (0 to 1.5)"), 2),
    ("--scale nan d", usage("option --scale: 'nan' is not a number"), 2),
    ("--engine pbs d", usage("option --engine: 'pbs' is not one of local, slurm"), 2),
    ("--mode round d", usage("option --mode: 'round' is not one of flat, ellipsoid"), 2),
    ("--count q d", usage("option --count: 'q' is not a number"), 2),
    ("--force=yes d", usage("option --force takes no value"), 2),
    ("", usage("missing DIR"), 2),
    ("d e", usage("unexpected argument 'e'"), 2),
    ("--version", "", 0),
    ("d --help --bogus", "", 0),
    ("-j 3 --scale 0.5 --engine slurm --force d", "", 0),
]


def run(argv: list[str]) -> tuple[str, str, int]:
    out, err = io.StringIO(), io.StringIO()
    status = 0
    with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
        try:
            demo_parser().parse_args(argv)
        except SystemExit as e:
            status = int(e.code or 0)
    return out.getvalue(), err.getvalue(), status


@pytest.mark.parametrize("line,stderr,status", CASES, ids=[c[0] or "(none)" for c in CASES])
def test_command_line(line: str, stderr: str, status: int) -> None:
    out, err, code = run(line.split())
    assert (err, code) == (stderr, status)
    if "--version" in line:
        assert out == "demo 1.2.3 (commit abc123)\n"


def test_help_on_standard_output_with_the_exit_statuses() -> None:
    out, err, code = run(["-h"])
    assert (err, code) == ("", 0)
    assert out.startswith(f"usage: {USAGE}\n\nA demonstration.\n")
    assert "  -j N, --jobs N" in out and "  --version" in out
    assert out.endswith(f"\n\nExit status: {EXIT_STATUS}\n")


def test_a_written_help_is_printed_as_it_is() -> None:
    text = "usage: demo DIR\n\nExit status: 0 always.\n"
    p = morva_cli.ArgumentParser("demo", "demo DIR", help_text=text)
    assert p.format_help() == text
    with pytest.raises(ValueError):
        morva_cli.ArgumentParser("demo", "demo DIR", help_text="usage: demo DIR\n")
    with pytest.raises(ValueError):
        morva_cli.ArgumentParser("demo", "demo DIR")


def test_stop_is_one_line_with_status_1(capsys: pytest.CaptureFixture[str]) -> None:
    with pytest.raises(SystemExit) as e:
        morva_cli.stop("demo", "flights.csv: no such file")
    assert e.value.code == 1
    assert capsys.readouterr().err == "demo: flights.csv: no such file\n"


def test_version_line_without_a_commit() -> None:
    assert morva_cli.version_line("demo", "1.2.3") == "demo 1.2.3"
