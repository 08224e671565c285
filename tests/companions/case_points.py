"""The scan points of the inputs, read without morva-grid (the run's scan-point
file, the LAS records by their offsets), and their projection by GeographicLib (GeoConvert,
TransverseMercatorProj): the oracle the cells are checked against."""

import os
import struct
import subprocess

import numpy as np

from case_verdict import check


def run_control_points(path):
    """Longitude, latitude, height of every valid record of a run's scan-point file."""
    lines = open(path).read().split("\n")
    folder = os.path.dirname(path)
    name = os.path.join(folder, lines[3].strip())
    binary = lines[9].split()[2] == "2"
    if binary:
        raw = np.fromfile(name, dtype="<i4,<i4,<i4,<i4,u1,u1")
        keep = (raw["f0"] != -2**31) & (raw["f1"] != -2**31) & (raw["f2"] != -2**31) & (raw["f3"] != -2**31)
        raw = raw[keep]
        return raw["f2"] * 1e-7, raw["f1"] * 1e-7, raw["f3"] * 1e-3
    lon, lat, h = [], [], []
    for line in open(name, encoding="latin-1"):
        try:
            la, lo, hh = float(line[9:20]), float(line[20:32]), float(line[32:40])
        except ValueError:
            continue
        lat.append(la)
        lon.append(lo)
        h.append(hh)
    return np.array(lon), np.array(lat), np.array(h)


def las_points(path):
    data = open(path, "rb").read()
    offset_to_points = struct.unpack_from("<I", data, 96)[0]
    length = struct.unpack_from("<H", data, 105)[0]
    count = struct.unpack_from("<Q", data, 247)[0]
    scale = struct.unpack_from("<3d", data, 131)
    offset = struct.unpack_from("<3d", data, 155)
    rec = np.frombuffer(data, dtype=np.dtype({"names": ["x", "y", "z"], "formats": ["<i4"] * 3, "offsets": [0, 4, 8],
                                             "itemsize": length}), count=count, offset=offset_to_points)
    return (rec["x"] * scale[0] + offset[0], rec["y"] * scale[1] + offset[1], rec["z"] * scale[2] + offset[2])


def geoconvert(lon, lat, zone):
    text = "".join(f"{la:.9f} {lo:.9f}\n" for la, lo in zip(lat, lon))
    out = subprocess.run(["GeoConvert", "-u", "-z", zone, "-p", "6"], input=text, capture_output=True, text=True,
                         check=True).stdout.split("\n")
    e = np.array([float(line.split()[1]) for line in out if line])
    n = np.array([float(line.split()[2]) for line in out if line])
    return e, n


def transverse_mercator(lon, lat, tm):
    """Eastings and northings on a transverse Mercator projection (GeographicLib's
    TransverseMercatorProj): tm {"lon0", "k0", "false_easting"}, no false northing."""
    text = "".join(f"{la:.9f} {lo:.9f}\n" for la, lo in zip(lat, lon))
    out = subprocess.run(["TransverseMercatorProj", "-l", str(tm["lon0"]), "-k", str(tm["k0"]), "-p", "6"], input=text,
                         capture_output=True, text=True, check=True).stdout.split("\n")
    e = np.array([float(line.split()[0]) for line in out if line]) + tm["false_easting"]
    n = np.array([float(line.split()[1]) for line in out if line])
    return e, n
