"""The command line of morva-campaign, through the command line every morva
program shares: a command word (run, status, report, run-flight), then what
that command takes."""
import argparse
from typing import Any, NoReturn

import morva_cli

from . import settings

PROGRAM = "morva-campaign"
USAGE = "morva-campaign run|status|report DIR [OPTIONS]"
COMMANDS = ("run", "status", "report", "run-flight")
SHOWN = COMMANDS[:3]    # run-flight is for Slurm's tasks only
# Bounds of the whole-number options: far above any machine or cluster, low
# enough to catch a slip of the keyboard.
MOST_JOBS = 4096
MOST_TASKS = 100000

# The options given, by name ("--jobs"): text, a number or a flag; "--export"
# a list.
Options = dict[str, Any]


def _add_options(p: morva_cli.ArgumentParser, command: str) -> None:
    p.add_argument("folder", metavar="DIR")
    if command == "report":
        p.add_argument("--output", metavar="FILE.html")
        p.add_argument("--limits", type=morva_cli.choice(*settings.LEVELS))
        p.add_argument("--resolution", type=morva_cli.number(0.1, 1000, whole=False))
        return
    p.add_argument("--only", metavar="PATTERN")
    p.add_argument("--morva", metavar="PATH")
    p.add_argument("--geodesy", type=morva_cli.choice(*settings.GEODESIES))
    p.add_argument("--export", action="append", default=[], metavar="COMMAND")
    p.add_argument("--rehash", action="store_true")
    if command == "status":
        p.add_argument("--csv", metavar="FILE")
        return
    p.add_argument("--jobs", type=morva_cli.number(1, MOST_JOBS))
    p.add_argument("--engine", type=morva_cli.choice(*settings.ENGINES))
    p.add_argument("--force", action="store_true")
    p.add_argument("--no-wait", action="store_true")
    for name in ("--partition", "--time", "--mem"):
        p.add_argument(name)
    p.add_argument("--throttle", type=morva_cli.number(1, MOST_TASKS))
    p.add_argument("--cpus-per-task", type=morva_cli.number(1, MOST_JOBS))


def usage_error(message: str) -> NoReturn:
    morva_cli.usage_error(PROGRAM, message, USAGE)


def parse(args: list[str], help_text: str, version: str, commit: str) -> tuple[str, Options]:
    """(command, options) from the arguments; --help, --version and a wrong
    command line end the program here. run-flight's options are "job_file"
    and "first"; the others' are named as on the command line, "DIR" the
    campaign folder."""
    p = morva_cli.ArgumentParser(PROGRAM, USAGE, help_text=help_text, version=version, commit=commit)
    if not args or args[0].startswith("-"):
        p.parse_known_args(args)    # --help, --version
        usage_error(f"missing COMMAND ({', '.join(SHOWN)})" if not args or args[0] != "-" else
                    "unexpected argument '-'")
    command = args[0]
    if command not in COMMANDS:
        usage_error(f"'{command}' is not one of {', '.join(SHOWN)}")
    if command == "run-flight":
        p.add_argument("job_file", metavar="JOB_FILE")
        p.add_argument("first", metavar="FIRST", type=morva_cli.number(0))
        return command, vars(p.parse_args(args[1:]))
    _add_options(p, command)
    given: argparse.Namespace = p.parse_args(args[1:])
    options: Options = {"DIR": given.folder, "--export": getattr(given, "export", [])}
    for dest, value in vars(given).items():
        if dest not in ("folder", "export") and value not in (None, False):
            options["--" + dest.replace("_", "-")] = value
    return command, options
