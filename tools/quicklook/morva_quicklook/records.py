"""Readers of a run's point files: the scan-point file (18-byte binary records
or fixed-layout text lines) in chunks, and the centre-point file whole, on
the layouts morva itself writes (morva-runinfo --records describes them).

Text records are parsed column by column on the raw bytes with numpy, so a
chunk of a million lines costs a few dozen vector operations, not a million
Python calls. A field of asterisks (a value too wide for its field), or any
text that is not a number, makes the point invalid; it is skipped and counted.
"""

import os
from dataclasses import dataclass
from typing import Any, Iterator

import numpy as np


@dataclass
class Layouts:
    """The record layouts as morva-runinfo --records describes them."""
    binary: np.dtype       # the 18-byte scan-point record
    binary_decimals: dict[str, int]  # name: decimals of a stored binary integer
    not_a_value: np.int32  # a binary field without a value
    scan_text: dict[str, tuple[int, int, int]]  # name: (start, width, decimals) of a text scan-point line
    scan_line: int         # bytes of a text scan-point line, with its line end
    scan_line_averaged: int  # the same with the group size
    centre: dict[str, tuple[int, int, int]]  # name: (start, width, decimals) of a centre-point line
    centre_line: int


def layouts(description: dict[str, Any]) -> Layouts:
    """Layouts from the JSON object of morva-runinfo --records."""
    binary = description["scan_point_binary"]
    fields = binary["fields"]
    dtype = np.dtype({"names": [f["name"] for f in fields],
                      "formats": [("<i" if f["signed"] else "<u") + str(f["bytes"]) for f in fields],
                      "offsets": [f["offset"] for f in fields], "itemsize": binary["record_bytes"]})

    def columns(form: str) -> dict[str, tuple[int, int, int]]:
        return {f["name"]: (f["start"], f["width"], f["decimals"]) for f in description[form]["fields"]}

    return Layouts(dtype, {f["name"]: f["decimals"] for f in fields}, np.int32(binary["overflow_marker"]),
                   columns("scan_point_text"), description["scan_point_text"]["record_bytes"],
                   description["scan_point_text_with_group_size"]["record_bytes"],
                   columns("centre_text"), description["centre_text"]["record_bytes"])


def unit(decimals: int) -> float:
    """10**-decimals, as exactly as its literal."""
    return float(f"1e-{decimals}")


CHUNK_RECORDS = 1 << 20


class RecordError(Exception):
    """A file that does not hold the records its run control announces."""


@dataclass
class Points:
    """The valid points of one chunk: time in hours, position in degrees,
    height in whole millimetres, measurement index (binary: its low 8 bits)."""
    thr: np.ndarray
    lat: np.ndarray
    lon: np.ndarray
    h_mm: np.ndarray
    index: np.ndarray
    skipped: int


# Per byte: its digit value (a blank counts 0), and whether it cannot stand
# in a number field (anything but digits, blanks and a minus sign).
DIGIT_VALUE = np.zeros(256, np.float64)
DIGIT_VALUE[48:58] = np.arange(10)
NOT_IN_NUMBER = np.ones(256, bool)
NOT_IN_NUMBER[[32, 45, *range(48, 58)]] = False


def parse_fixed(rows: np.ndarray, start: int, width: int, decimals: int) -> tuple[np.ndarray, np.ndarray]:
    """The field [start, start+width) of every row as an integer scaled by
    10**decimals, and whether it is a number. The digits are weighed by their
    powers of ten in one matrix product, exact in double precision for the
    at most 15 digits of a field."""
    field = rows[:, start:start + width]
    point = width - decimals - 1 if decimals else -1
    powers = np.zeros(width)
    power = 1.0
    for c in reversed(range(width)):
        if c != point:
            powers[c] = power
            power *= 10.0
    value = DIGIT_VALUE[field] @ powers
    bad = NOT_IN_NUMBER[field]
    if point >= 0:
        bad[:, point] = field[:, point] != 46
    np.negative(value, out=value, where=(field == 45).any(axis=1))
    return value.astype(np.int64), ~bad.any(axis=1)


def _lines(buffer: bytes, line_length: int, name: str, first: int = 0) -> np.ndarray:
    rows = np.frombuffer(buffer, np.uint8).reshape(-1, line_length)
    ends = rows[:, line_length - 1] != 10
    if ends.any():
        raise RecordError(f"{name}: line {first + int(np.argmax(ends)) + 1} is not a record of "
                          f"{line_length - 1} characters")
    return rows


def _text_points(rows: np.ndarray, lay: Layouts) -> Points:
    columns = lay.scan_text
    fields = {key: parse_fixed(rows, *columns[key]) for key in ("thr", "lat", "lon", "h", "i")}
    ok = np.logical_and.reduce([valid for _, valid in fields.values()])
    skipped = int(rows.shape[0] - np.count_nonzero(ok))
    scaled = {key: fields[key][0][ok] * unit(columns[key][2]) for key in ("thr", "lat", "lon")}
    return Points(scaled["thr"], scaled["lat"], scaled["lon"],
                  fields["h"][0][ok] * 10 ** (3 - columns["h"][2]), fields["i"][0][ok], skipped)


def _binary_points(records: np.ndarray, lay: Layouts) -> Points:
    marker = lay.not_a_value
    ok = ((records["thr"] != marker) & (records["lat"] != marker)
          & (records["lon"] != marker) & (records["h"] != marker))
    good = records[ok]
    d = lay.binary_decimals
    return Points(good["thr"] * unit(d["thr"]), good["lat"] * unit(d["lat"]), good["lon"] * unit(d["lon"]),
                  good["h"].astype(np.int64) * 10 ** (3 - d["h"]), good["i"].astype(np.int64),
                  int(len(records) - len(good)))


def _scan_record_bytes(lay: Layouts, binary: bool, averaged: bool) -> int:
    return lay.binary.itemsize if binary else (lay.scan_line_averaged if averaged else lay.scan_line)


def record_count(path: str, binary: bool, averaged: bool, lay: Layouts) -> tuple[int, int]:
    """Whole records in the file and the bytes of a partial record at its
    end; a text file must begin with a whole line of the expected length."""
    size = os.path.getsize(path)
    length = _scan_record_bytes(lay, binary, averaged)
    if not binary and size:
        with open(path, "rb") as f:
            first = f.read(length)
        if len(first) < length or first[-1:] != b"\n" or b"\n" in first[:-1]:
            raise RecordError(f"{path}: line 1 is not a record of {length - 1} characters")
    return size // length, size % length


def scan_point_chunks(path: str, binary: bool, averaged: bool, lay: Layouts,
                      chunk: int = CHUNK_RECORDS) -> Iterator[Points]:
    """Yields the points of the scan-point file chunk by chunk; a partial
    record at the end is left out (record_count tells of it)."""
    whole, _ = record_count(path, binary, averaged, lay)
    with open(path, "rb") as f:
        for done in range(0, whole, chunk):
            n = min(chunk, whole - done)
            if binary:
                yield _binary_points(np.fromfile(f, lay.binary, count=n), lay)
            else:
                length = _scan_record_bytes(lay, binary, averaged)
                yield _text_points(_lines(f.read(n * length), length, path, done), lay)


@dataclass
class Centres:
    thr: np.ndarray
    lat: np.ndarray
    lon: np.ndarray
    h: np.ndarray
    airh: np.ndarray
    skipped: int


CENTRE_FIELDS = ("thr", "lat", "lon", "h", "airh")


def read_centres(path: str, lay: Layouts) -> Centres:
    """The centre points, those with a number in every field used."""
    line = lay.centre_line
    with open(path, "rb") as f:
        data = f.read()
    whole = len(data) // line
    rows = _lines(data[:whole * line], line, path)
    fields = {key: parse_fixed(rows, *lay.centre[key]) for key in CENTRE_FIELDS}
    ok = np.logical_and.reduce([valid for _, valid in fields.values()])
    values = {key: fields[key][0][ok] * unit(lay.centre[key][2]) for key in CENTRE_FIELDS}
    partial = 1 if len(data) % line else 0
    return Centres(skipped=int(whole - np.count_nonzero(ok)) + partial, **values)
