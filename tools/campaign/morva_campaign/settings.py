"""Campaign settings: campaign.toml at the campaign's top, then the command
line's options, options winning; and the morva program they lead to."""
import hashlib
import os
import shutil
import subprocess
import tomllib
from dataclasses import dataclass, field
from typing import Any

SETTINGS_FILE = "campaign.toml"
GEODESIES = ("flat", "ellipsoid")
ENGINES = ("local", "slurm")
LEVELS = ("QL0", "QL1", "QL2", "QL3")
# The settings that take one of a few words.
CHOICES = {"engine": ENGINES, "geodesy": GEODESIES, "limits": LEVELS}


class SettingsError(Exception):
    """A setting that cannot be used; the message names it."""


@dataclass
class Slurm:
    partition: str | None = None
    time: str | None = None
    mem: str | None = None
    throttle: int | None = None
    cpus_per_task: int | None = None
    sbatch_args: list[str] = field(default_factory=list)


@dataclass
class Settings:
    morva: str | None = None
    runinfo: str | None = None
    engine: str = "local"
    jobs: int | None = None
    geodesy: str | None = None
    run_control: str = "run.in"  # the run control each flight runs, e.g. run.boresight.in
    exports: list[str] = field(default_factory=list)
    # What the client's report shows (None: "not given"); files relative to
    # the campaign's top.
    project: str | None = None
    client: str | None = None
    checkpoints: str | None = None   # the surveyed check points: morva-accuracy runs after the flights
    boresight: str | None = None     # morva-boresight's --json of the calibration
    limits: str | None = None        # the quality level judged against (QL0 to QL3)
    slurm: Slurm = field(default_factory=Slurm)


def _check_type(where: str, value: Any, kind: type) -> Any:
    ok = isinstance(value, kind) and not (kind is int and isinstance(value, bool))
    if not ok:
        raise SettingsError(f"{where} must be {'a whole number' if kind is int else 'a ' + kind.__name__}")
    return value


def _positive(where: str, value: Any) -> int:
    if _check_type(where, value, int) < 1:
        raise SettingsError(f"{where} must be at least 1")
    return value


def _choice(where: str, value: Any, choices: tuple[str, ...]) -> str:
    if _check_type(where, value, str) not in choices:
        raise SettingsError(f"{where} must be one of {', '.join(choices)}")
    return value


def _string_list(where: str, value: Any) -> list[str]:
    if not isinstance(value, list) or not all(isinstance(v, str) for v in value):
        raise SettingsError(f"{where} must be a list of strings")
    return list(value)


def read_file(campaign_dir: str) -> Settings:
    """Settings of campaign.toml (defaults when there is none). Paths in it are
    relative to the campaign folder."""
    path = os.path.join(campaign_dir, SETTINGS_FILE)
    s = Settings()
    if not os.path.exists(path):
        return s
    try:
        with open(path, "rb") as f:
            table = tomllib.load(f)
    except (OSError, tomllib.TOMLDecodeError) as e:
        raise SettingsError(f"{SETTINGS_FILE}: {e}") from None
    for key, value in table.items():
        where = f"{SETTINGS_FILE}: {key}"
        if key in ("morva", "runinfo"):
            setattr(s, key, program_path(_check_type(where, value, str), campaign_dir))
        elif key in CHOICES:
            setattr(s, key, _choice(where, value, CHOICES[key]))
        elif key == "jobs":
            s.jobs = _positive(where, value)
        elif key == "run_control":
            name = _check_type(where, value, str)
            if not name or "/" in name or name in (".", ".."):
                raise SettingsError(f"{where}: '{name}' is not a file name (the run control in each flight's folder)")
            s.run_control = name
        elif key in ("project", "client"):
            setattr(s, key, _check_type(where, value, str))
        elif key in ("checkpoints", "boresight"):
            if not _check_type(where, value, str):
                raise SettingsError(f"{where} must name a file")
            setattr(s, key, value)
        elif key == "exports":
            s.exports = _string_list(where, value)
        elif key == "slurm" and isinstance(value, dict):
            for skey, svalue in value.items():
                w = f"{SETTINGS_FILE}: slurm.{skey}"
                if skey in ("partition", "time", "mem"):
                    setattr(s.slurm, skey, _check_type(w, svalue, str))
                elif skey in ("throttle", "cpus_per_task"):
                    setattr(s.slurm, skey, _positive(w, svalue))
                elif skey == "sbatch_args":
                    s.slurm.sbatch_args = _string_list(w, svalue)
                else:
                    raise SettingsError(f"{w}: unknown setting")
        else:
            raise SettingsError(f"{where}: unknown setting")
    return s


@dataclass
class Morva:
    """The morva program a campaign runs, what it answers to, and the identity
    that goes into every record: its version line, or when it has none a
    digest of the program itself."""
    path: str
    runinfo: str
    version: str
    takes_threads: bool
    takes_geodesy: bool
    takes_metadata: bool = False


def program_path(value: str, base: str) -> str:
    """A program named in the settings: a bare name is looked up on PATH, a
    path is relative to base."""
    return value if os.sep not in value else os.path.join(base, os.path.expanduser(value))


def _explicit_program(value: str) -> str:
    path = shutil.which(value) if os.sep not in value else value
    if not path or not os.path.isfile(path) or not os.access(path, os.X_OK):
        raise SettingsError(f"{value}: no such program")
    return os.path.abspath(path)


def _runnable(candidates: list[str]) -> str | None:
    """The first candidate that is a program this user may run."""
    return next((c for c in candidates if c and os.path.isfile(c) and os.access(c, os.X_OK)), None)


def _first_program(candidates: list[str], name: str) -> str:
    found = _runnable(candidates)
    found = os.path.abspath(found) if found else shutil.which(name)
    if found:
        return found
    raise SettingsError(f"cannot find {name} (tried {', '.join(c for c in candidates if c)} and PATH)")


def companion(script_dir: str, name: str, subdir: str) -> str | None:
    """Where the runner finds a companion program (morva-overlap, morva-grid,
    morva-accuracy ...): beside itself when installed, in the build tree's
    folder of its own, or on PATH."""
    beside = _runnable([os.path.join(script_dir, name), os.path.join(script_dir, os.pardir, subdir, name)])
    return beside or shutil.which(name)


def _answer(program: str, option: str) -> str | None:
    """Standard output of `program option` when it exits 0, else None. Standard
    input is empty: a morva that knows no options reads it as a run control
    and stops."""
    try:
        done = subprocess.run([program, option], stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=30, text=True, errors="replace")
    except (OSError, subprocess.TimeoutExpired):
        return None
    return done.stdout if done.returncode == 0 else None


def file_digest(path: str) -> str:
    with open(path, "rb") as f:
        return hashlib.file_digest(f, "sha256").hexdigest()


def find_morva(settings: Settings, build: Any) -> Morva:
    """The morva and morva-runinfo of the settings (which must exist), else
    beside this script, else those of the build tree, else on PATH."""
    morva = (_explicit_program(settings.morva) if settings.morva else
             _first_program([os.path.join(build.script_dir, "morva"), build.morva], "morva"))
    runinfo = (_explicit_program(settings.runinfo) if settings.runinfo else
               _first_program([os.path.join(build.script_dir, "morva-runinfo"), build.runinfo], "morva-runinfo"))
    version = _answer(morva, "--version")
    if version and version.startswith("morva "):
        version = version.splitlines()[0].strip()
    else:
        version = "morva sha256:" + file_digest(morva)
    helptext = _answer(morva, "--help") or ""
    m = Morva(morva, runinfo, version, "--threads" in helptext, "--geodesy" in helptext, "--metadata" in helptext)
    if settings.geodesy and not m.takes_geodesy:
        raise SettingsError(f"geodesy is set but {morva} does not take --geodesy")
    return m


def morva_args(settings: Settings) -> list[str]:
    """The options of every morva run that shape its outputs (and so belong in
    the record): the geodesy when one is set."""
    return ["--geodesy", settings.geodesy] if settings.geodesy else []
