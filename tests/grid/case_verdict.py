"""How a grid case says it failed: one line "FAIL: ...", the runner's exit status 1."""

import sys


def fail(message):
    sys.exit(f"FAIL: {message}")


def check(condition, message):
    if not condition:
        fail(message)
