"""The files each flight of a campaign reads and writes, and the flights to
run whose outputs would collide with another flight's inputs or outputs: two
flights writing one file would both be reported done over one result, and a
flight reading what another writes depends on which runs first."""
import contextlib
import os
import stat
from typing import Callable

from . import flights

Info = dict
Files = tuple[list[str], list[str]]    # (inputs, outputs) as real paths


def _real(flight: flights.Flight, names: list[str]) -> list[str]:
    paths = []
    for name in names:
        path = os.path.realpath(flights.resolve(flight, name))
        with contextlib.suppress(OSError):
            if not stat.S_ISREG(os.stat(path).st_mode) and not stat.S_ISDIR(os.stat(path).st_mode):
                continue    # /dev/null and the like belong to no flight
        paths.append(path)
    return paths


def outside_output(flight: flights.Flight, info: Info) -> str:
    """The first output of the run control that lies outside the flight's own
    folder (links followed), where it could overwrite another flight's files;
    a device such as /dev/null is no file of anyone's."""
    home = os.path.realpath(flight.path)
    for name in info["outputs"]:
        path = os.path.realpath(flights.resolve(flight, name))
        with contextlib.suppress(OSError):
            if stat.S_ISCHR(os.stat(path).st_mode):
                continue
        if os.path.commonpath([home, path]) != home:
            return name
    return ""


def recorded_files(record: dict | None) -> Info | None:
    """The names a done record holds, in the form of morva-runinfo's answer."""
    if not record or record.get("state") != "done":
        return None
    try:
        return {"inputs": [e["name"] for e in record["inputs"]], "outputs": [e["name"] for e in record["outputs"]]}
    except (KeyError, TypeError):
        return None


def collisions(everyone: list[flights.Flight], to_run: set[str],
               info_of: Callable[[flights.Flight], Info | None]) -> dict[str, str]:
    """For each flight of to_run whose files collide with another flight's,
    the line it fails with."""
    found: dict[str, str] = {}
    files: dict[str, Files] = {}
    for f in everyone:
        info = info_of(f)
        outside = outside_output(f, info) if info else ""
        if outside and f.rel in to_run:
            found[f.rel] = f"output {outside} lies outside the flight's folder"
        # A flight with an output outside never runs, so it claims nothing.
        if info and not outside:
            files[f.rel] = (_real(f, info.get("inputs", [])), _real(f, info.get("outputs", [])))
        else:
            files[f.rel] = ([], [])
    writers: dict[str, list[str]] = {}
    readers: dict[str, list[str]] = {}
    for rel, (inputs, outputs) in files.items():
        for p in set(outputs):
            writers.setdefault(p, []).append(rel)
        for p in set(inputs):
            readers.setdefault(p, []).append(rel)
    for f in everyone:
        if f.rel not in to_run or f.rel in found:
            continue
        inputs, outputs = files[f.rel]
        home = os.path.realpath(f.path)
        for p in outputs:
            other_writer = [r for r in writers.get(p, []) if r != f.rel]
            other_reader = [r for r in readers.get(p, []) if r != f.rel]
            name = os.path.relpath(p, home)
            if other_writer:
                found[f.rel] = f"output {name} is also an output of flight {other_writer[0]}"
                break
            if other_reader:
                found[f.rel] = f"output {name} is an input of flight {other_reader[0]}"
                break
        if f.rel in found:
            continue
        for p in inputs:
            other_writer = [r for r in writers.get(p, []) if r != f.rel]
            if other_writer:
                found[f.rel] = f"input {os.path.relpath(p, home)} is an output of flight {other_writer[0]}"
                break
    return found
