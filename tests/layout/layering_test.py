#!/usr/bin/env python3
"""The code's folders depend on each other in one direction only.

The core's layers (src/LAYER) include only the layers below them; a companion
(tools/NAME) includes only its own folder, the companion library
(tools/common) and the core; the companion library includes only itself and
the core. An include of another program's folder, or of a higher layer, fails.
"""
import pathlib
import re
import sys

TOP = pathlib.Path(__file__).resolve().parents[2]

# Each layer of the core with the layers it may include.
LAYERS = {
    "text": set(),
    "numeric": {"text"},
    "inputs": {"text"},
    "regression": {"text"},
    "records": {"numeric", "text"},
    "scanner": {"inputs", "numeric", "text"},
    "georef": {"inputs", "numeric", "records", "scanner", "text"},
    "run": {"georef", "inputs", "numeric", "records", "regression", "scanner", "text"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
SOURCES = ("*.cpp", "*.hpp", "*.h")


def sources(folder):
    for pattern in SOURCES:
        yield from folder.rglob(pattern)


def core_layer(name):
    """The core layer an include names ("text/stop.hpp" -> "text"), or None."""
    head = name.split("/", 1)[0]
    return head if "/" in name and head in LAYERS else None


def core_violations():
    for layer, allowed in LAYERS.items():
        for path in sources(TOP / "src" / layer):
            for name in INCLUDE.findall(path.read_text(errors="replace")):
                used = core_layer(name)
                if used is None:
                    if name != "build_info.hpp" and not (path.parent / name).exists():
                        yield f"{path.relative_to(TOP)}: includes {name}, which is no file of the core"
                elif used != layer and used not in allowed:
                    yield f"{path.relative_to(TOP)}: layer {layer} includes {name} of the higher layer {used}"


def tool_violations():
    tools = TOP / "tools"
    folders = [p for p in tools.iterdir() if p.is_dir()]
    for folder in folders:
        for path in sources(folder):
            for name in INCLUDE.findall(path.read_text(errors="replace")):
                if core_layer(name) or (path.parent / name).exists() or name == "build_info.hpp":
                    continue
                if (tools / "common" / name).exists() or any((tools / "common").rglob(name)):
                    continue
                owners = [f.name for f in folders if f != folder and (f / name).exists()]
                where = f"the folder of {', '.join(owners)}" if owners else "no folder it may use"
                yield f"{path.relative_to(TOP)}: includes {name} from {where}"


def main():
    problems = list(core_violations()) + list(tool_violations())
    for line in problems:
        print(line)
    print(f"{0 if problems else 1} passed, {1 if problems else 0} failed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
