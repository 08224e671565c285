"""Readers of a run's point files: the scan-point file (18-byte binary records
or fixed-layout text lines) in chunks, and the centre-point file whole.

Text records are parsed column by column on the raw bytes with numpy, so a
chunk of a million lines costs a few dozen vector operations, not a million
Python calls. A field of asterisks (a value too wide for its field), or any
text that is not a number, makes the point invalid; it is skipped and counted.
"""

import os
from dataclasses import dataclass
from typing import Iterator

import numpy as np

BINARY_RECORD = np.dtype([("thr", "<i4"), ("lat", "<i4"), ("lon", "<i4"), ("h", "<i4"),
                          ("ampl", "u1"), ("i", "u1")])
NOT_A_VALUE = np.int32(-2147483648)

# (start, width, decimals) of the fields of a text scan-point line
# (F9.6 F11.6 F12.6 F8.2 1X I3 I4, then I3 with averaging) and of a
# centre-point line (" " F11.7 F11.6 F12.6 F8.2 1X I3 2F8.2).
SCAN_TEXT = {"thr": (0, 9, 6), "lat": (9, 11, 6), "lon": (20, 12, 6), "h": (32, 8, 2), "i": (44, 4, 0)}
SCAN_TEXT_LINE = 49            # with its line end
SCAN_TEXT_LINE_AVERAGED = 52   # with the group size
CENTRE = {"thr": (1, 11, 7), "lat": (12, 11, 6), "lon": (23, 12, 6), "h": (35, 8, 2), "airh": (47, 8, 2)}
CENTRE_LINE = 64

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


def _text_points(rows: np.ndarray) -> Points:
    fields = {key: parse_fixed(rows, *SCAN_TEXT[key]) for key in ("thr", "lat", "lon", "h", "i")}
    ok = fields["thr"][1] & fields["lat"][1] & fields["lon"][1] & fields["h"][1] & fields["i"][1]
    skipped = int(rows.shape[0] - np.count_nonzero(ok))
    return Points(fields["thr"][0][ok] * 1e-6, fields["lat"][0][ok] * 1e-6, fields["lon"][0][ok] * 1e-6,
                  fields["h"][0][ok] * 10, fields["i"][0][ok], skipped)


def _binary_points(records: np.ndarray) -> Points:
    ok = ((records["thr"] != NOT_A_VALUE) & (records["lat"] != NOT_A_VALUE)
          & (records["lon"] != NOT_A_VALUE) & (records["h"] != NOT_A_VALUE))
    good = records[ok]
    return Points(good["thr"] * 1e-7, good["lat"] * 1e-7, good["lon"] * 1e-7,
                  good["h"].astype(np.int64), good["i"].astype(np.int64), int(len(records) - len(good)))


def record_count(path: str, binary: bool, averaged: bool) -> tuple[int, int]:
    """Whole records in the file and the bytes of a partial record at its
    end; a text file must begin with a whole line of the expected length."""
    size = os.path.getsize(path)
    length = BINARY_RECORD.itemsize if binary else (SCAN_TEXT_LINE_AVERAGED if averaged else SCAN_TEXT_LINE)
    if not binary and size:
        with open(path, "rb") as f:
            first = f.read(length)
        if len(first) < length or first[-1:] != b"\n" or b"\n" in first[:-1]:
            raise RecordError(f"{path}: line 1 is not a record of {length - 1} characters")
    return size // length, size % length


def scan_point_chunks(path: str, binary: bool, averaged: bool, chunk: int = CHUNK_RECORDS) -> Iterator[Points]:
    """Yields the points of the scan-point file chunk by chunk; a partial
    record at the end is left out (record_count tells of it)."""
    whole, _ = record_count(path, binary, averaged)
    with open(path, "rb") as f:
        done = 0
        while done < whole:
            n = min(chunk, whole - done)
            if binary:
                yield _binary_points(np.fromfile(f, BINARY_RECORD, count=n))
            else:
                length = SCAN_TEXT_LINE_AVERAGED if averaged else SCAN_TEXT_LINE
                yield _text_points(_lines(f.read(n * length), length, path, done))
            done += n


@dataclass
class Centres:
    thr: np.ndarray
    lat: np.ndarray
    lon: np.ndarray
    h: np.ndarray
    airh: np.ndarray
    skipped: int


def read_centres(path: str) -> Centres:
    """The centre points, those with a number in every field used."""
    with open(path, "rb") as f:
        data = f.read()
    whole = len(data) // CENTRE_LINE
    rows = _lines(data[:whole * CENTRE_LINE], CENTRE_LINE, path)
    fields = {key: parse_fixed(rows, *columns) for key, columns in CENTRE.items()}
    ok = np.ones(whole, bool)
    for _, valid in fields.values():
        ok &= valid
    scale = {"thr": 1e-7, "lat": 1e-6, "lon": 1e-6, "h": 1e-2, "airh": 1e-2}
    values = {key: fields[key][0][ok] * scale[key] for key in CENTRE}
    partial = 1 if len(data) % CENTRE_LINE else 0
    return Centres(skipped=int(whole - np.count_nonzero(ok)) + partial, **values)
