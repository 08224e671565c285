#!/usr/bin/python3
"""Works out the expected ground points of pinned_geometry.table without the
system's code: the laser vector, the attitude rotation and the scanner
calibration from their written formulas, the flat earth with the system's
constants, and the exact ellipsoid through GeographicLib's CartConvert.

    pinned_geometry.py --check TABLE   recompute every row and compare (CTest)
    pinned_geometry.py --write TABLE   rewrite the expected columns of TABLE

Every row gives the aircraft (latitude, longitude, height), its attitude
(pitch, roll, and the headings at the two ends of a trajectory interval with
the weight f of the second), the misalignment, the lever arm, the range, the
scan angle in gon, the scan number and whether the calibration is used; then
the point in the flat mode and in the ellipsoid mode.
"""

import math
import shutil
import struct
import subprocess
import sys

DEG = 0.01745329252          # degrees to radians, as the system holds it
GON = 0.015707963268         # gon to radians
RIGHT = 1.5707963268         # a right angle
METRES_PER_DEGREE = 111120.0
DEGREES_PER_METRE = 8.999280057595392e-06

INPUTS = ["lat", "lon", "airh", "pitch", "roll", "h1", "h2", "f", "dpitch", "droll", "dheading",
          "offx", "offy", "offz", "range", "gon", "scanno", "cal"]
OUTPUTS = ["flat_lat", "flat_lon", "flat_h", "ell_lat", "ell_lon", "ell_h"]
TOLERANCE = {"lat": 1e-9, "lon": 1e-9, "h": 1e-6}


def single(v):
    """The value as the scanner header holds it: IEEE single precision."""
    return struct.unpack("f", struct.pack("f", v))[0]


def read_table(path):
    calibration, rows, lines = None, [], []
    with open(path) as f:
        for line in f:
            lines.append(line)
            words = line.split()
            if not words or words[0].startswith("#"):
                continue
            if words[0] == "calibration":
                calibration = parse_calibration(words[1:])
                continue
            values = words[1:]
            if len(values) not in (len(INPUTS), len(INPUTS) + len(OUTPUTS)):
                sys.exit(f"{path}: row {words[0]} has {len(values)} values")
            row = {"name": words[0], **{k: float(v) for k, v in zip(INPUTS + OUTPUTS, values)}}
            rows.append(row)
    if calibration is None:
        sys.exit(f"{path}: no calibration line")
    return calibration, rows, lines


def parse_calibration(words):
    """a b c d (three values each), the four facet vectors, the four offsets."""
    v = [single(float(w)) for w in words]
    if len(v) != 28:
        sys.exit("the calibration line needs 28 values")
    return {"a": v[0:3], "b": v[3:6], "c": v[6:9], "d": v[9:12],
            "e": [v[12:15], v[15:18], v[18:21], v[21:24]], "eps": v[24:28]}


def calibrated_point(cal, r, theta, scanno):
    """The scanner's geometry: a beam from a, turned by the angles of b,
    reflected in facet k of a mirror turning about c, offset by d."""
    k = scanno % 4
    if k <= 0:
        k += 4
    u, eps = cal["e"][k - 1], cal["eps"][k - 1]
    s, co = math.sin(theta), math.cos(theta)
    c1, c2, c3 = cal["c"]
    rot = [[c1 * c1 + (1 - c1 * c1) * co, c1 * c2 * (1 - co) - c3 * s, c1 * c3 * (1 - co) + c2 * s],
           [c1 * c2 * (1 - co) + c3 * s, c2 * c2 + (1 - c2 * c2) * co, c2 * c3 * (1 - co) - c1 * s],
           [c1 * c3 * (1 - co) - c2 * s, c2 * c3 * (1 - co) + c1 * s, c3 * c3 + (1 - c3 * c3) * co]]
    mirror = [[(1.0 if i == j else 0.0) - 2 * u[i] * u[j] for j in range(3)] for i in range(3)]
    rm = [[sum(rot[i][m] * mirror[m][j] for m in range(3)) for j in range(3)] for i in range(3)]
    q = [[sum(rm[i][m] * mirror[j][m] for m in range(3)) for j in range(3)] for i in range(3)]
    b1, b2 = cal["b"][0], cal["b"][1]
    alpha = single(math.asin(b2))
    beta = single(math.asin(single(b1 / single(math.sqrt(1 - b2 * b2)))))
    v = [math.cos(alpha / r) * math.sin(beta / r), -math.sin(alpha / r), math.cos(alpha / r) * math.cos(beta / r)]
    w = [cal["a"][i] + r * v[i] for i in range(3)]
    n = [sum(rot[i][j] * u[j] for j in range(3)) for i in range(3)]
    return [sum(q[i][j] * w[j] for j in range(3)) + 2 * eps * n[i] + cal["d"][i] for i in range(3)]


def ned_vector(row, cal):
    """North, east and down from the aircraft to the point."""
    r = row["range"]
    theta = row["gon"] * GON
    alpha = theta - RIGHT
    if row["cal"]:
        # The scanner's axes: first down, second backward, third right.
        x, y, z = calibrated_point(cal, r, theta, int(row["scanno"]))
        body = [row["offx"] - y, row["offy"] + z, row["offz"] + x]
    else:
        body = [row["offx"], row["offy"] - r * math.sin(alpha), row["offz"] + r * math.cos(alpha)]
    h1, h2, f = row["h1"], row["h2"], row["f"]
    if h1 > 90 and h2 < -90:
        h2 += 360
    if h1 < -90 and h2 > 90:
        h1 += 360
    pitch = (row["pitch"] + row["dpitch"]) * DEG
    roll = (row["roll"] + row["droll"]) * DEG
    heading = ((1 - f) * h1 + f * h2 + row["dheading"]) * DEG
    # Roll about x first, then pitch about y, then heading about z.
    rx = [[1, 0, 0], [0, math.cos(roll), -math.sin(roll)], [0, math.sin(roll), math.cos(roll)]]
    ry = [[math.cos(pitch), 0, math.sin(pitch)], [0, 1, 0], [-math.sin(pitch), 0, math.cos(pitch)]]
    rz = [[math.cos(heading), -math.sin(heading), 0], [math.sin(heading), math.cos(heading), 0], [0, 0, 1]]
    v = body
    for m in (rx, ry, rz):
        v = [sum(m[i][j] * v[j] for j in range(3)) for i in range(3)]
    return v


def flat(row, ned):
    north, east, down = ned
    return (row["lat"] + north * DEGREES_PER_METRE,
            row["lon"] + east / (METRES_PER_DEGREE * math.cos(row["lat"] * DEG)),
            row["airh"] - down)


def ellipsoid(row, ned):
    """GeographicLib's local cartesian frame (east, north, up) at the aircraft."""
    north, east, down = ned
    text = subprocess.run(["CartConvert", "-r", "-p", "9", "-l", repr(row["lat"]), repr(row["lon"]),
                           repr(row["airh"])], input=f"{east!r} {north!r} {-down!r}\n",
                          capture_output=True, text=True, check=True).stdout
    lat, lon, h = (float(w) for w in text.split())
    # Longitudes continue from the aircraft's, across the antimeridian too.
    lon += 360.0 * round((row["lon"] - lon) / 360.0)
    return lat, lon, h


def expected(row, cal):
    ned = ned_vector(row, cal)
    return flat(row, ned) + ellipsoid(row, ned)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("--check", "--write"):
        sys.exit(__doc__)
    if shutil.which("CartConvert") is None:
        sys.exit("CartConvert (GeographicLib's tools, Debian's geographiclib-tools) is needed: "
                 "tools/install-deps --tests")
    path = sys.argv[2]
    cal, rows, lines = read_table(path)
    if sys.argv[1] == "--write":
        out = []
        for line in lines:
            words = line.split()
            if not words or words[0].startswith("#") or words[0] == "calibration":
                out.append(line)
                continue
            row = next(r for r in rows if r["name"] == words[0])
            values = expected(row, cal)
            out.append(" ".join(words[:1 + len(INPUTS)]) + "  " +
                       " ".join(f"{v:.11f}" if k != 2 and k != 5 else f"{v:.7f}" for k, v in enumerate(values)) +
                       "\n")
        with open(path, "w") as f:
            f.writelines(out)
        return
    failures = 0
    for row in rows:
        if "flat_lat" not in row:
            print(f"{row['name']}: no expected values")
            failures += 1
            continue
        values = expected(row, cal)
        for name, v in zip(OUTPUTS, values):
            limit = TOLERANCE[name.split("_")[1]]
            if not abs(v - row[name]) <= limit:
                print(f"{row['name']}: {name} {row[name]!r} in the table, worked out {v!r}")
                failures += 1
    print(f"{len(rows)} rows, {failures} differences")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
