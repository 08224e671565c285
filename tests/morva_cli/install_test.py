"""The Python programs as a user installs them: with pip (tools/pyproject.toml,
offline, into a fresh virtual environment) and with `cmake --install`. Each
row is a program run from one installation and the first line it must print.

Environment: MORVA_SOURCE (the source tree), MORVA_BUILD (a built tree),
MORVA_VERSION and MORVA_COMMIT (the project's, as CMake knows them)."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

SOURCE = Path(os.environ["MORVA_SOURCE"])
BUILD = Path(os.environ["MORVA_BUILD"])
VERSION = os.environ["MORVA_VERSION"]
COMMIT = os.environ.get("MORVA_COMMIT", "")
PROGRAMS = ["morva-campaign", "morva-quicklook"]


@pytest.fixture(scope="module")
def installed(tmp_path_factory: pytest.TempPathFactory) -> dict[str, Path]:
    """Both installations, made once: bin folders by how they were made."""
    top = tmp_path_factory.mktemp("install")
    # pip builds in the folder it is given: a copy keeps the source tree clean.
    source = top / "source"
    shutil.copytree(SOURCE / "tools", source, ignore=shutil.ignore_patterns("__pycache__", "build*", "*.egg-info"))
    venv = top / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", "--without-pip", str(venv)], check=True)
    subprocess.run([str(venv / "bin" / "python"), "-m", "pip", "install", "-q", "--no-index", "--no-build-isolation",
                    "--no-deps", str(source)], check=True)
    prefix = top / "prefix"
    subprocess.run(["cmake", "--install", str(BUILD), "--prefix", str(prefix)], check=True, stdout=subprocess.DEVNULL)
    return {"pip": venv / "bin", "cmake": prefix / "bin"}


def version(program: str, how: str) -> str:
    # pip records the package's version; the CMake launcher also knows the commit.
    return f"{program} {VERSION}" + (f" (commit {COMMIT})" if how == "cmake" and COMMIT else "")


# (installation, program, arguments, first line of standard output, exit status)
CASES = [(how, program, args, first, status)
         for how in ("pip", "cmake") for program in PROGRAMS
         for args, first, status in [(["--version"], version(program, how), 0),
                                     (["--help"], f"usage: {program} ", 0)]]


@pytest.mark.parametrize("how,program,args,first,status", CASES,
                         ids=[f"{c[0]}-{c[1]}{''.join(c[2])}" for c in CASES])
def test_installed_program_answers(installed: dict[str, Path], how: str, program: str, args: list[str], first: str,
                                   status: int) -> None:
    # Run from an empty folder with a bare PATH: nothing of the source tree helps.
    env = {"PATH": f"{installed[how]}:/usr/bin:/bin", "HOME": os.environ.get("HOME", "/tmp")}
    done = subprocess.run([str(installed[how] / program), *args], capture_output=True, text=True, env=env,
                          cwd=installed[how].parent)
    assert (done.returncode, done.stderr) == (status, "")
    assert done.stdout.startswith(first)
    if "--version" in args:
        assert done.stdout == first + "\n"


def test_pip_installs_the_shared_command_line(installed: dict[str, Path]) -> None:
    done = subprocess.run([str(installed["pip"] / "python"), "-c", "import morva_cli, sys; print(morva_cli.__file__)"],
                          capture_output=True, text=True, check=True, cwd="/")
    assert "site-packages" in done.stdout
