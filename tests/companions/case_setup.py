"""What a companion case prepares before its program runs: surveys simulated
by morva-sim and run by morva, rescaled or spread LAS files, and edits of
the files (a line, a byte, a link, a folder, a record made invalid...)."""

import os
import struct
import subprocess

import numpy as np

from case_points import las_points
from case_verdict import check, fail


TEXT_FIELDS = {"thr": (0, 9), "lat": (9, 20), "lon": (20, 32), "h": (32, 40), "ampl": (41, 44), "i": (44, 48)}
BINARY_FIELDS = {"thr": 0, "lat": 1, "lon": 2, "h": 3}


def make_survey(build, folder, options, morva_args, before_morva=()):
    """A survey simulated into folder, the edits before_morva made there
    (to its run control, say), then run by morva (its report in
    console.txt)."""
    subprocess.run([f"{build}/tools/sim/morva-sim", *options, folder], check=True, capture_output=True)
    for e in before_morva:
        edit(folder, e)
    with open(os.path.join(folder, "run.in")) as stdin, open(os.path.join(folder, "console.txt"), "w") as out:
        subprocess.run([f"{build}/src/morva", *morva_args], cwd=folder, stdin=stdin, stdout=out, check=True,
                       stderr=subprocess.DEVNULL)


def edit(work, e):
    name = os.path.join(work, e[1])
    if e[0] == "line":
        lines = open(name).read().split("\n")
        lines[e[2] - 1] = e[3]
        open(name, "w").write("\n".join(lines))
    elif e[0] == "byte":
        with open(name, "r+b") as f:
            f.seek(e[2])
            f.write(bytes([e[3]]))
    elif e[0] == "remove":
        os.remove(name)
    elif e[0] == "write":
        open(name, "w").write(e[2])
    elif e[0] == "f64":
        with open(name, "r+b") as f:
            f.seek(e[2])
            f.write(struct.pack("<d", float(e[3])))
    elif e[0] == "link":
        os.symlink(e[2], name)
    elif e[0] == "copy":
        with open(name, "rb") as f:
            data = f.read()
        with open(os.path.join(work, e[2]), "wb") as f:
            f.write(data)
    elif e[0] == "folder":
        os.makedirs(name)
    elif e[0] == "geokeys":
        replace_crs_records(name, e[2], e[3], e[4])
    elif e[0] == "truncate":
        with open(name, "r+b") as f:
            f.truncate(e[2])
    elif e[0] == "not_a_value":
        with open(name, "r+b") as f:
            for record in e[2]:
                f.seek(record * 18 + 4 * BINARY_FIELDS[e[3]])
                f.write(struct.pack("<i", -2147483648))
    elif e[0] == "asterisks":
        with open(name, "rb") as f:
            lines = f.read().split(b"\n")
        a, b = TEXT_FIELDS[e[3]]
        for record in e[2]:
            lines[record] = lines[record][:a] + b"*" * (b - a) + lines[record][b:]
        with open(name, "wb") as f:
            f.write(b"\n".join(lines))
    elif e[0] == "classes":
        set_truth_classes(name, os.path.join(work, e[2], "truth.bin"))
    else:
        fail(f"unknown edit {e[0]}")


def replace_crs_records(name, keys, doubles, ascii):
    """Drops the LAS file's LASF_Projection records and appends GeoTIFF key
    records in their place (the WKT bit of the global encoding cleared)."""
    data = bytearray(open(name, "rb").read())
    header_size, = struct.unpack_from("<H", data, 94)
    offset, count = struct.unpack_from("<II", data, 96)
    kept, at = [], header_size
    for _ in range(count):
        length, = struct.unpack_from("<H", data, at + 20)
        if data[at + 2:at + 18].rstrip(b"\0") != b"LASF_Projection":
            kept.append(bytes(data[at:at + 54 + length]))
        at += 54 + length

    def record(record_id, payload):
        return struct.pack("<H16sHH32s", 0, b"LASF_Projection", record_id, len(payload), b"crafted") + payload

    directory = struct.pack("<4H", 1, 1, 0, len(keys)) + b"".join(struct.pack("<4H", *k) for k in keys)
    kept.append(record(34735, directory))
    if doubles:
        kept.append(record(34736, struct.pack(f"<{len(doubles)}d", *doubles)))
    if ascii:
        kept.append(record(34737, ascii.encode() + b"\0"))
    records = b"".join(kept)
    encoding, = struct.unpack_from("<H", data, 6)
    struct.pack_into("<H", data, 6, encoding & ~0x10)
    struct.pack_into("<II", data, 96, header_size + len(records), len(kept))
    open(name, "wb").write(bytes(data[:header_size]) + records + bytes(data[offset:]))


def rescale(work, source, target, scale, offset):
    data = bytearray(open(os.path.join(work, source), "rb").read())
    x, y, z = las_points(os.path.join(work, source))
    start = struct.unpack_from("<I", data, 96)[0]
    length = struct.unpack_from("<H", data, 105)[0]
    struct.pack_into("<3d", data, 131, *scale)
    struct.pack_into("<3d", data, 155, *offset)
    for k, (vx, vy, vz) in enumerate(zip(x, y, z)):
        struct.pack_into("<3i", data, start + k * length, round((vx - offset[0]) / scale[0]),
                         round((vy - offset[1]) / scale[1]), round((vz - offset[2]) / scale[2]))
    open(os.path.join(work, target), "wb").write(data)


def spread(work, source, target, n, lon, lat, seed):
    """A LAS file of n points spread uniformly over a longitude and latitude
    box (heights 0 to 100 m), made from the header and first record of
    another: the points' count and bounds set, no extended records."""
    data = open(os.path.join(work, source), "rb").read()
    start = struct.unpack_from("<I", data, 96)[0]
    length = struct.unpack_from("<H", data, 105)[0]
    scale = struct.unpack_from("<3d", data, 131)
    offset = struct.unpack_from("<3d", data, 155)
    rng = np.random.default_rng(seed)
    x, y, z = rng.uniform(*lon, n), rng.uniform(*lat, n), rng.uniform(0, 100, n)
    records = np.frombuffer(data[start:start + length] * n, np.uint8).reshape(n, length).copy()
    ints = np.stack([np.round((v - o) / sc) for v, o, sc in zip((x, y, z), offset, scale)], axis=1).astype("<i4")
    records[:, :12] = ints.view(np.uint8).reshape(n, 12)
    header = bytearray(data[:start])
    x, y, z = (ints[:, k] * scale[k] + offset[k] for k in range(3))
    struct.pack_into("<6d", header, 179, x.max(), x.min(), y.max(), y.min(), z.max(), z.min())
    struct.pack_into("<QIQ", header, 235, 0, 0, n)
    open(os.path.join(work, target), "wb").write(bytes(header) + records.tobytes())


TRUTH = np.dtype([("lat", "<f8"), ("lon", "<f8"), ("h", "<f8"), ("ground", "<f8"), ("cls", "u1"), ("pad", "V7")])


def las_class_offset(data):
    """Where a record holds its classification: byte 15 (point formats 0 to
    5, five bits) or byte 16 (formats 6 to 10)."""
    return 16 if (data[104] & 0x3f) >= 6 else 15


def set_truth_classes(path, truth_path):
    data = bytearray(open(path, "rb").read())
    truth = np.fromfile(truth_path, dtype=TRUTH)
    start, length = struct.unpack_from("<I", data, 96)[0], struct.unpack_from("<H", data, 105)[0]
    count = struct.unpack_from("<Q", data, 247)[0]
    check(count == len(truth), f"{count} points, {len(truth)} truth records")
    classes = np.where(truth["cls"] == 2, 2, np.where(truth["cls"] == 7, 7, 1)).astype(np.uint8)
    records = np.frombuffer(data, np.uint8, count * length, start).reshape(count, length).copy()
    records[:, las_class_offset(data)] = classes
    data[start:start + count * length] = records.tobytes()
    open(path, "wb").write(data)
