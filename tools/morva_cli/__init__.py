"""The command line every morva program shares, for the Python ones.

`-h`/`--help` prints the help on standard output and exits 0; `--version`
prints "NAME VERSION (commit C)" and exits 0; a wrong command line is one
line "NAME: MESSAGE; usage: USAGE (NAME --help)" on standard error and exit
status 2; a stop is one line "NAME: MESSAGE" on standard error and status 1.
The messages read as in the C++ programs:

    unknown option --bogus
    option --jobs needs a value
    option --jobs: 'x' is not a number
    option --jobs: 0 is out of range (1 to 512)
    option --engine: 'pbs' is not one of local, slurm
    option --force takes no value
    missing DIR
    unexpected argument 'extra'
"""

from __future__ import annotations

import argparse
import math
import os
import re
import sys
from typing import Callable, NoReturn, Optional, Sequence, Union

USAGE_STATUS = 2
STOP_STATUS = 1
DISTRIBUTION = "morva-tools"

Number = Union[int, float]


def version_line(prog: str, version: Optional[str] = None, commit: str = "") -> str:
    """"NAME 0.9.0 (commit abcdef123456)", without the commit when there is
    none; the version defaults to that of the installed package."""
    line = f"{prog} {installed_version() if version is None else version}"
    return f"{line} (commit {commit})" if commit else line


def installed_version() -> str:
    """The version pip recorded for these packages, or "unknown" when they
    run from the source tree without being installed."""
    from importlib import metadata

    try:
        return metadata.version(DISTRIBUTION)
    except metadata.PackageNotFoundError:
        return "unknown"


def script_dir() -> str:
    """The folder of the running script (pip's entry script, or a launcher):
    the programs installed beside it are looked for there first."""
    return os.path.dirname(os.path.realpath(sys.argv[0]))


def stop(prog: str, message: str) -> NoReturn:
    """Ends the program: "NAME: MESSAGE" on standard error, status 1."""
    sys.stdout.flush()
    print(f"{prog}: {message}", file=sys.stderr)
    raise SystemExit(STOP_STATUS)


def usage_error(prog: str, message: str, usage: str) -> NoReturn:
    """Ends the program: the one usage line on standard error, status 2."""
    sys.stdout.flush()
    print(f"{prog}: {message}; usage: {usage} ({prog} --help)", file=sys.stderr)
    raise SystemExit(USAGE_STATUS)


# Value types: each raises argparse.ArgumentTypeError with the message that
# follows "option --X: ", so that every program words a bad value one way.

def number(lo: Optional[Number] = None, hi: Optional[Number] = None, whole: bool = True) -> Callable[[str], Number]:
    """A whole number (or with whole=False any finite number) within lo..hi."""

    def parse(text: str) -> Number:
        value: Number
        try:
            value = int(text, 10) if whole else float(text)
        except ValueError:
            raise argparse.ArgumentTypeError(f"'{text}' is not a number") from None
        if isinstance(value, float) and not math.isfinite(value):
            raise argparse.ArgumentTypeError(f"'{text}' is not a number")
        if (lo is not None and value < lo) or (hi is not None and value > hi):
            raise argparse.ArgumentTypeError(f"{text} is out of range ({_bound(lo, '-inf')} to {_bound(hi, 'inf')})")
        return value

    parse.__name__ = "number"
    return parse


def choice(*names: str) -> Callable[[str], str]:
    """One of the given words."""

    def parse(text: str) -> str:
        if text not in names:
            raise argparse.ArgumentTypeError(f"'{text}' is not one of {', '.join(names)}")
        return text

    parse.__name__ = "choice"
    return parse


def _bound(value: Optional[Number], missing: str) -> str:
    return missing if value is None else str(value)


class _Print(argparse.Action):
    """--help (the parser's help) or --version (its line): printed, exit 0."""

    def __init__(self, option_strings: Sequence[str], dest: str, help: str, line: Optional[str] = None) -> None:
        super().__init__(option_strings, dest=argparse.SUPPRESS, default=argparse.SUPPRESS, nargs=0, help=help)
        self.line = line

    def __call__(self, parser: argparse.ArgumentParser, namespace: argparse.Namespace,
                 values: object, option_string: Optional[str] = None) -> NoReturn:
        sys.stdout.write(parser.format_help() if self.line is None else self.line + "\n")
        sys.stdout.flush()
        raise SystemExit(0)


class ArgumentParser(argparse.ArgumentParser):
    """argparse with morva's help, version line and usage errors.

    prog is the program's name, usage its one-line usage (without "usage: "),
    exit_status the text of the help's "Exit status:" section. help_text,
    when given, is the whole help, printed as it is (it must hold an "Exit
    status:" section); otherwise argparse composes it from description, the
    options and epilog. version and commit make the --version line (the
    version defaults to the installed package's).
    """

    def __init__(self, prog: str, usage: str, exit_status: str = "", *, description: Optional[str] = None,
                 epilog: Optional[str] = None, help_text: Optional[str] = None, version: Optional[str] = None,
                 commit: str = "") -> None:
        if help_text is not None and "Exit status:" not in help_text:
            raise ValueError(f"{prog}: the help needs an 'Exit status:' section")
        if help_text is None and not exit_status:
            raise ValueError(f"{prog}: the help needs the exit statuses")
        super().__init__(prog=prog, usage=usage, description=description, epilog=epilog, add_help=False,
                         allow_abbrev=False, formatter_class=argparse.RawDescriptionHelpFormatter)
        self.one_line_usage = usage
        self.exit_status = exit_status
        self.help_text = help_text
        self.add_argument("-h", "--help", action=_Print, help="print this help and exit")
        self.add_argument("--version", action=_Print, help="print the version and exit",
                          line=version_line(prog, version, commit))

    def format_help(self) -> str:
        if self.help_text is not None:
            return self.help_text
        text = super().format_help()
        return text.rstrip("\n") + "\n\nExit status: " + self.exit_status.strip() + "\n"

    def parse_args(self, args: Optional[Sequence[str]] = None,  # type: ignore[override]
                   namespace: Optional[argparse.Namespace] = None) -> argparse.Namespace:
        words = list(sys.argv[1:] if args is None else args)
        # An unknown option is named before a missing argument, as the C++
        # programs do: argparse would first complain of the missing one.
        for word in words:
            if word in ("--", "-h", "--help", "--version"):
                break
            if word.startswith("-") and word != "-" and not _is_number(word):
                name = word.split("=", 1)[0]
                if name not in self._option_string_actions:
                    self.error(_unexpected(word))
        parsed, extra = self.parse_known_args(words, namespace)
        if extra:
            self.error(_unexpected(extra[0]))
        return parsed

    def error(self, message: str) -> NoReturn:
        usage_error(self.prog, _morva_message(message), self.one_line_usage)


def _is_number(word: str) -> bool:
    try:
        float(word)
    except ValueError:
        return False
    return True


def _unexpected(arg: str) -> str:
    if arg.startswith("-") and arg != "-":
        return f"unknown option {arg.split('=', 1)[0]}"
    return f"unexpected argument '{arg}'"


# argparse's own messages, in the form the C++ programs give them.
_ARGPARSE_FORMS: list[tuple[re.Pattern[str], Callable[[re.Match[str]], str]]] = [
    (re.compile(r"argument (\S+): expected (one|at least one|\d+) arguments?"),
     lambda m: f"option {m[1]} needs a value"),
    (re.compile(r"argument (\S+): ignored explicit argument .*"), lambda m: f"option {m[1]} takes no value"),
    (re.compile(r"argument (\S+): invalid (?:int|float|number) value: '(.*)'", re.S),
     lambda m: f"option {m[1]}: '{m[2]}' is not a number"),
    (re.compile(r"argument (\S+): invalid choice: '(.*)' \(choose from (.*)\)", re.S),
     lambda m: f"option {m[1]}: '{m[2]}' is not one of {m[3].replace(chr(39), '')}"),
    (re.compile(r"the following arguments are required: (.*)", re.S), lambda m: f"missing {m[1]}"),
    (re.compile(r"unrecognized arguments: (\S+).*", re.S), lambda m: _unexpected(m[1])),
    (re.compile(r"argument (-\S+): (.*)", re.S), lambda m: f"option {m[1]}: {m[2]}"),
    (re.compile(r"argument (\S+): (.*)", re.S), lambda m: f"{m[1]}: {m[2]}"),
]


def _morva_message(message: str) -> str:
    # argparse names an option by all its spellings ("-j/--jobs"); the
    # message names the long one.
    message = re.sub(r"argument (?:-\w/)?(--?[\w-]+)(?:/--?[\w-]+)*:", r"argument \1:", message)
    for pattern, form in _ARGPARSE_FORMS:
        m = pattern.fullmatch(message)
        if m:
            return form(m)
    return message
