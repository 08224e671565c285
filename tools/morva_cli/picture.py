"""The ending of a companion's picture script: the C++ program runs it with
the PNG to write and hands it its data on standard input. A failure is one
line on standard error (the program repeats it after the picture's name) and
exit status 1; Ctrl-C is 130.

    if __name__ == "__main__":
        sys.exit(picture.run(read_input, draw))
"""

from __future__ import annotations

import sys
from typing import Any, Callable


def run(read_input: Callable[[Any], tuple], draw: Callable[..., None]) -> int:
    """read_input(binary stdin) gives the data; draw(*data, png_path) writes the picture to sys.argv[1]."""
    try:
        data = read_input(sys.stdin.buffer)
        draw(*data, sys.argv[1])
    except OSError as error:
        print(error.strerror or str(error), file=sys.stderr)
        return 1
    except (ValueError, KeyError) as error:
        print(f"the picture's data are unreadable: {error}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 130
    return 0
