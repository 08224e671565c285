"""How a companion case says it failed: one line "FAIL: ...", the runner's
exit status 1; and the checks of every program's ending."""

import os
import re
import sys


def fail(message):
    sys.exit(f"FAIL: {message}")


def check(condition, message):
    if not condition:
        fail(message)


def check_ending(program, done, expect, work):
    """The exit status, standard output and standard error; on a failure
    one line naming the program, and in every case no output that should
    not be there and no temporary left. Returns the exit status."""
    status = expect.get("exit", 0)
    check(done.returncode == status, f"exit {done.returncode}, not {status}: {done.stderr}")
    for text in expect.get("stderr", []):
        check(text in done.stderr, f"standard error lacks {text!r}: {done.stderr!r}")
    if "stdout" in expect:
        check(re.fullmatch(expect["stdout"], done.stdout), f"standard output: {done.stdout!r}")
    if status > 0:
        check(done.stderr.count("\n") == 1 and done.stderr.startswith(f"{program}: "),
              f"not one line: {done.stderr!r}")
    for name in expect.get("no_output", []):
        check(not os.path.exists(os.path.join(work, name)), f"{name} was left behind")
    leftovers = [os.path.join(d, f) for d, _, files in os.walk(work) for f in files
                 if ".partial" in f or ".morva-tmp-" in f]
    check(not leftovers, f"temporary files left: {leftovers}")
    for link, target in expect.get("links", {}).items():
        check(os.path.islink(os.path.join(work, link)) and os.readlink(os.path.join(work, link)) == target,
              f"{link} is no longer a link to {target}")
    return status
