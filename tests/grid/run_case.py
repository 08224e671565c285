#!/usr/bin/python3
"""Runs one morva-grid case: simulates surveys with morva-sim, processes them
with morva, applies the case's edits, runs morva-grid and checks the raster
with readers independent of GDAL: tifffile for the pixels and the GeoTIFF
keys, listgeo for the keys, GeographicLib's GeoConvert for the projection of
every scan point, numpy for the statistics of every cell.

    run_case.py CASE.json BUILD_DIR

A case is a JSON object:
  surveys    {"FOLDER": [morva-sim options]}: each simulated and run by morva
  morva_args {"FOLDER": [morva options]}: given to that folder's morva run
             (e.g. --geodesy ellipsoid --metadata run.json)
  las        [[RUN_CONTROL, LAS, [morva-las options]]]: LAS files written first
  rescale    [[LAS, NEW_LAS, [scale x, y, z], [offset x, y, z]]]: the LAS
             file's points stored again with another scale and offset
  spread     [[LAS, NEW_LAS, N, [lon min, max], [lat min, max], SEED]]: a LAS
             file of N points spread uniformly over that box
  edits      ["line", FILE, N, TEXT] replaces line N; ["byte", FILE, OFFSET,
             VALUE]; ["remove", FILE]; ["write", FILE, TEXT]; ["link", NAME,
             TARGET] a symbolic link; ["folder", NAME]; ["copy", FROM, TO]; ["f64", FILE, OFFSET, VALUE]
             a little-endian double ("inf" and "nan" too); ["geokeys", FILE,
             [[KEY, LOCATION, COUNT, VALUE], ...], [DOUBLES], ASCII]: the LAS
             file's CRS records replaced by GeoTIFF key records (directory,
             doubles, text), its points unchanged; ["classes", LAS, FOLDER]
             each point's class from the survey's truth.bin (bare ground 2,
             low outliers 7, everything else 1)
  full_disk  FOLDER: a file system of 64 KiB mounted there (tmpfs; the case
             is skipped, exit 77, where none can be mounted)
  signal     NAME (TERM, HUP...): sent to morva-grid once a temporary beside
             the output exists; ignore_signal NAME: a signal it starts with
             ignored (as under nohup); expect exit -N for death by signal N
  timeout    seconds morva-grid may take (a run far slower than it should be fails)
  limit_memory  bytes of address space morva-grid may take (a run that
             would take more fails instead of filling the machine)
  args       morva-grid's arguments (the output last)
  expect     exit (default 0), stderr (texts the message must hold), no_output
             (files that must not exist afterwards), zone (e.g. "31n": the
             cells must agree with the scan points projected by GeoConvert),
             points_of (the run controls whose points those of a LAS
             input in a projected CRS are, for zone and tm),
             tm (the same through TransverseMercatorProj, {"lon0", "k0",
             "false_easting"}, where GeoConvert refuses the zone),
             bands (the band descriptions), epsg (ProjectedCSTypeGeoKey),
             surface ({"kind", "ground", "tilt", "lat", "lon"}: mean band
             against the true surface at the cells' points, 1 cm), gdal
             (texts gdalinfo must show; COG validation must pass), left_out
             (at least that many tiles of each height band left out of the
             file, none of the count band), fill_reaches (at least that many
             tiles without points hold filled cells), listgeo
             (texts), png (the hillshade picture), radius (the statistics of
             the points within that distance of each cell centre), fill (the
             height bands' empty cells filled as --fill N fills them),
             terrain ({"survey", "rmse", "open_rmse", "covered"}: the dtm
             band against the survey's true ground (ground.asc) at the
             cells of both, over all of them and where the truth's cover
             (cover.asc) is bare ground; at least the share covered of the
             truth's cells within the raster hold a height),
             triangulation ({"las", "max_edge"}: the dtm band against
             scipy's Delaunay triangulation of the LAS file's class 2
             points, linear at each cell centre, empty in a triangle with
             an edge longer than max_edge)
"""

import json
import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

import numpy as np
import tifffile
import zstandard

EDGE = 0.001  # metres: a point this close to a cell edge may fall either way


def fail(message):
    sys.exit(f"FAIL: {message}")


def check(condition, message):
    if not condition:
        fail(message)


def make_survey(build, folder, options, morva_args):
    subprocess.run([f"{build}/tools/sim/morva-sim", *options, folder], check=True, capture_output=True)
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


def las_classes(path):
    data = open(path, "rb").read()
    start, length = struct.unpack_from("<I", data, 96)[0], struct.unpack_from("<H", data, 105)[0]
    count = struct.unpack_from("<Q", data, 247)[0]
    records = np.frombuffer(data, np.uint8, count * length, start).reshape(count, length)
    classes = records[:, las_class_offset(data)]
    return classes & 0x1f if las_class_offset(data) == 15 else classes


def cell_centres(pixels, geo):
    x0, y1, r = geo["ModelTiepoint"][3], geo["ModelTiepoint"][4], geo["ModelPixelScale"][0]
    rows, cols = np.indices(pixels.shape[:2])
    return x0 + (cols + 0.5) * r, y1 - (rows + 0.5) * r


def read_ascii_grid(path):
    lines = open(path).read().split("\n")
    head = {line.split()[0].lower(): float(line.split()[1]) for line in lines[:6]}
    values = np.array([[float(v) for v in line.split()] for line in lines[6:] if line.strip()])
    return head, values


def check_terrain(work, pixels, geo, band, nodata, t):
    """The dtm band against the simulator's true ground at the truth grid's
    cell centres (the raster's cell holding each)."""
    head, ground = read_ascii_grid(os.path.join(work, t["survey"], "ground.asc"))
    _, cover = read_ascii_grid(os.path.join(work, t["survey"], "cover.asc"))
    step = head["cellsize"]
    rows, cols = np.indices(ground.shape)
    e = head["xllcorner"] + (cols + 0.5) * step
    n = head["yllcorner"] + (ground.shape[0] - rows - 0.5) * step
    x0, y1, r = geo["ModelTiepoint"][3], geo["ModelTiepoint"][4], geo["ModelPixelScale"][0]
    col, row = np.floor((e - x0) / r).astype(np.int64), np.floor((y1 - n) / r).astype(np.int64)
    inside = (col >= 0) & (row >= 0) & (col < pixels.shape[1]) & (row < pixels.shape[0]) & (ground != head["nodata_value"])
    dtm = np.full(ground.shape, np.nan)
    dtm[inside] = pixels[row[inside], col[inside], band]
    dtm[dtm == nodata] = np.nan
    # Truth cells inside the raster's cells that hold points (the min band).
    with_points = np.zeros(ground.shape, bool)
    with_points[inside] = pixels[row[inside], col[inside], 0] != nodata
    measured = ~np.isnan(dtm)
    error = dtm - ground
    rmse = float(np.sqrt(np.mean(error[measured] ** 2)))
    bare = measured & (cover == 2)
    open_rmse = float(np.sqrt(np.mean(error[bare] ** 2)))
    covered = (measured & with_points).sum() / max(1, with_points.sum())
    print(f"dtm against the true ground: RMSE {rmse:.4f} m over {int(measured.sum())} cells, {open_rmse:.4f} m over "
          f"{int(bare.sum())} on bare ground; {100 * covered:.1f} % of the cells with points hold a height")
    check(rmse <= t["rmse"], f"the dtm's RMSE against the true ground is {rmse:.4f} m, above {t['rmse']}")
    check(open_rmse <= t["open_rmse"], f"the dtm's RMSE on bare ground is {open_rmse:.4f} m, above {t['open_rmse']}")
    check(covered >= t["covered"], f"{100 * covered:.1f} % of the cells with points hold a height, fewer than "
          f"{100 * t['covered']:.0f} %")


def check_triangulation(work, pixels, geo, band, nodata, t):
    """The dtm band against scipy's triangulation of the LAS file's ground."""
    from scipy.spatial import Delaunay
    x, y, z = las_points(os.path.join(work, t["las"]))
    ground = las_classes(os.path.join(work, t["las"])) == 2
    x, y, z = x[ground], y[ground], z[ground]
    origin = np.array([x.min(), y.min()])
    xy = np.column_stack([x, y]) - origin
    tri = Delaunay(xy)
    e, n = cell_centres(pixels, geo)
    q = np.column_stack([e.ravel(), n.ravel()]) - origin
    simplex = tri.find_simplex(q)
    corners = tri.simplices[np.maximum(simplex, 0)]
    pts = xy[corners]
    longest = np.max([np.hypot(*(pts[:, a] - pts[:, b]).T) for a, b in ((0, 1), (1, 2), (2, 0))], axis=0)
    transform = tri.transform[np.maximum(simplex, 0)]
    w = np.einsum("ijk,ik->ij", transform[:, :2], q - transform[:, 2])
    weights = np.column_stack([w, 1 - w.sum(axis=1)])
    expected = np.sum(weights * z[corners], axis=1)
    has = (simplex >= 0) & (longest <= t["max_edge"])
    # A cell centre within 1 micrometre of a triangle's edge or of the
    # longest edge's limit may fall either way.
    doubtful = (weights.min(axis=1) < 1e-6) | (np.abs(longest - t["max_edge"]) < 1e-6)
    band_values = pixels[:, :, band].astype(np.float64).ravel()
    got = band_values != nodata
    wrong_presence = (got != has) & ~doubtful
    check(not wrong_presence.any(), f"{int(wrong_presence.sum())} cells hold a height where the triangulation "
          "says otherwise (or lack one)")
    both = got & has & ~doubtful
    off = np.abs(band_values[both] - expected[both].astype(np.float32))
    check(off.max() <= 1e-3, f"dtm cells differ from the triangulation by up to {off.max():.6f} m")
    print(f"dtm: {int(both.sum())} cells equal the triangulation of {len(z)} ground points")


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


def undo_float_predictor(raw, rows, cols, samples, size):
    """TIFF predictor 3 (Adobe's floating-point predictor): bytes differenced
    along each row with a stride of the samples per pixel, after the bytes of
    the row's values were split into planes, most significant first."""
    planes = np.cumsum(raw.reshape(rows, size * cols, samples), axis=1, dtype=np.uint8)
    planes = planes.reshape(rows, size, cols * samples)[:, ::-1, :]  # least significant first
    values = np.ascontiguousarray(np.transpose(planes, (0, 2, 1))).view("<f4" if size == 4 else "<f8")
    return values.reshape(rows, cols, samples)


ZSTD = 50000  # the TIFF compression code of ZSTD (libtiff's)


def decode_tile(data, compression):
    """A tile's bytes: DEFLATE by zlib, ZSTD by zstandard, both independent of GDAL."""
    if compression == 8:
        return zlib.decompress(data)
    check(compression == ZSTD, f"compression {compression}, neither DEFLATE nor ZSTD")
    return zstandard.ZstdDecompressor().decompressobj().decompress(data)


def read_raster(path, level=0):
    """The pixels of the full raster (level 0) or of an overview, decoded here
    (tifffile reads the tags and the tiles' places; the tiles are decoded and
    the predictor undone above), as rows x columns x bands. Tiles lie band
    after band (planar configuration 2) or cell by cell (1); a tile left out
    of the file (no bytes) holds nodata."""
    with tifffile.TiffFile(path) as t:
        page = t.pages[level]
        geo = t.geotiff_metadata
        check(page.compression in (8, ZSTD), f"expected DEFLATE or ZSTD tiles, not compression {page.compression}")
        size = page.bitspersample // 8
        samples = page.samplesperpixel
        planar = page.planarconfig == 2
        th, tw = page.tilelength, page.tilewidth
        pixels = np.zeros((page.imagelength, page.imagewidth, samples), "<f4" if size == 4 else "<f8")
        across = (page.imagewidth + tw - 1) // tw
        per_band = across * ((page.imagelength + th - 1) // th)
        fh = t.filehandle
        for k, (offset, count) in enumerate(zip(page.dataoffsets, page.databytecounts)):
            band, at = (k // per_band, k % per_band) if planar else (slice(None), k)
            r0, c0 = (at // across) * th, (at % across) * tw
            rows, cols = min(th, page.imagelength - r0), min(tw, page.imagewidth - c0)
            if count == 0:  # a tile left out: every cell nodata
                pixels[r0:r0 + rows, c0:c0 + cols, band] = float(page.nodata)
                continue
            fh.seek(offset)
            raw = np.frombuffer(decode_tile(fh.read(count), page.compression), np.uint8)
            in_tile = 1 if planar else samples
            if page.predictor == 3:
                tile = undo_float_predictor(raw, th, tw, in_tile, size)
            else:
                tile = raw.view(pixels.dtype).reshape(th, tw, in_tile)
            pixels[r0:r0 + rows, c0:c0 + cols, band] = tile[:rows, :cols, 0] if planar else tile[:rows, :cols]
    return pixels, geo


def check_overviews(path, pixels, levels):
    """Each overview halves the one before, its cell (r, c) the nearest
    neighbour of the four it covers: the level before's cell (2r + 1, 2c + 1),
    the last row or column where that level's size is odd; a value of the
    band or nodata, never a blend."""
    with tifffile.TiffFile(path) as t:
        count = len(t.pages)
    check(count - 1 == levels, f"{count - 1} overviews, not {levels}")
    before = pixels
    for level in range(1, count):
        view, _ = read_raster(path, level)
        rows, cols = before.shape[:2]
        check(view.shape[:2] == ((rows + 1) // 2, (cols + 1) // 2), f"overview {level} is {view.shape[:2]}, not half of {(rows, cols)}")
        picked = before[np.minimum(2 * np.arange(view.shape[0]) + 1, rows - 1)][:, np.minimum(2 * np.arange(view.shape[1]) + 1, cols - 1)]
        for b in range(pixels.shape[2]):
            wrong = view[:, :, b] != picked[:, :, b]
            check(not wrong.any(), f"overview {level} band {b + 1}: {int(wrong.sum())} cells not the nearest of the level before")
        before = view


def check_left_out(path, bands, at_least):
    """At least that many tiles of the height bands hold no bytes (left out,
    every cell nodata); the count band keeps every tile (its empty cells are 0)."""
    with tifffile.TiffFile(path) as t:
        page = t.pages[0]
        check(page.planarconfig == 2, "expected the bands stored one after another")
        per_band = len(page.databytecounts) // page.samplesperpixel
        counts = np.array(page.databytecounts).reshape(page.samplesperpixel, per_band)
    for b, name in enumerate(bands):
        empty = int((counts[b] == 0).sum())
        if name == "count":
            check(empty == 0, f"the count band left out {empty} tiles")
        else:
            check(empty >= at_least, f"band {name}: {empty} of {per_band} tiles left out, expected at least {at_least}")


def check_fill_reaches(pixels, bands, nodata, at_least, side=256):
    """At least that many tiles without any point hold filled height cells
    (the fill reached into tiles the points left empty)."""
    count = pixels[:, :, bands.index("count")]
    height = pixels[:, :, next(b for b, name in enumerate(bands) if name in ("min", "max", "mean", "idw"))]
    reached = 0
    for r0 in range(0, count.shape[0], side):
        for c0 in range(0, count.shape[1], side):
            tile = (slice(r0, r0 + side), slice(c0, c0 + side))
            reached += int(not count[tile].any() and (height[tile] != nodata).any())
    check(reached >= at_least, f"the fill reached {reached} tiles without points, expected at least {at_least}")


def descriptions(path):
    with tifffile.TiffFile(path) as t:
        meta = t.pages[0].tags.get(42112)
        return meta.value if meta else ""


def check_cells(pixels, geo, bands, e, n, h, nodata, radius=None, fill=None):
    x0, y1 = geo["ModelTiepoint"][3], geo["ModelTiepoint"][4]
    r = geo["ModelPixelScale"][0]
    rows, cols = pixels.shape[:2]
    fx, fy = (e - x0) / r, (y1 - n) / r
    col, row = np.floor(fx).astype(np.int64), np.floor(fy).astype(np.int64)
    check(col.min() >= 0 and row.min() >= 0 and col.max() < cols and row.max() < rows,
          "points fall outside the raster")
    near_edge = (np.minimum(fx - col, col + 1 - fx) * r < EDGE) | (np.minimum(fy - row, row + 1 - fy) * r < EDGE)
    doubtful = np.zeros((rows, cols), bool)
    cell = row * cols + col
    if radius is None:
        # Both cells beside a near edge are in doubt.
        for de in (-EDGE / r, EDGE / r):
            for dn in (-EDGE / r, EDGE / r):
                c2 = np.clip(np.floor(fx[near_edge] + de).astype(np.int64), 0, cols - 1)
                r2 = np.clip(np.floor(fy[near_edge] + dn).astype(np.int64), 0, rows - 1)
                doubtful[r2, c2] = True
        order = np.argsort(cell, kind="stable")
        cell_sorted, h_sorted = cell[order], h[order]
        starts = np.flatnonzero(np.r_[True, cell_sorted[1:] != cell_sorted[:-1]])
        groups = {int(cell_sorted[s]): h_sorted[s:t] for s, t in zip(starts, np.r_[starts[1:], len(cell_sorted)])}
    else:
        groups = {}
        reach = int(math.ceil(radius / r)) + 1
        for k in range(len(e)):
            for rr in range(row[k] - reach, row[k] + reach + 1):
                for cc in range(col[k] - reach, col[k] + reach + 1):
                    if not (0 <= rr < rows and 0 <= cc < cols):
                        continue
                    d = math.hypot(x0 + (cc + 0.5) * r - e[k], y1 - (rr + 0.5) * r - n[k])
                    if abs(d - radius) < EDGE:
                        doubtful[rr, cc] = True
                    elif d < radius:
                        groups.setdefault(rr * cols + cc, []).append((h[k], d))
        groups = {k: np.array(v) for k, v in groups.items()}
    for k, v in list(groups.items()):
        groups[k] = v if v.ndim == 2 else np.stack([v, np.ones(len(v))], axis=1)

    def idw(v):
        centre = v[:, 1] < 1e-9
        if centre.any():
            return v[centre, 0].mean()
        return np.sum(v[:, 0] / v[:, 1] ** 2) / np.sum(1 / v[:, 1] ** 2)
    compared = 0
    for b, name in enumerate(bands):
        if name == "dtm":  # checked against the truth or a triangulation (terrain, triangulation)
            continue
        band = pixels[:, :, b].astype(np.float64)
        expected = np.full(rows * cols, 0.0 if name == "count" else nodata)
        for c, values in groups.items():
            if name == "idw":
                expected[c] = idw(values)
            else:
                expected[c] = {"min": np.min, "max": np.max, "mean": np.mean, "count": len, "stdev": np.std}[name](
                    values[:, 0])
        expected = expected.reshape(rows, cols)
        if pixels.dtype == np.float32:
            expected = expected.astype(np.float32).astype(np.float64)
        in_doubt = doubtful
        if fill and name in ("min", "max", "mean", "idw"):
            expected, in_doubt = filled(expected, doubtful, nodata, fill)
            if pixels.dtype == np.float32:
                expected = expected.astype(np.float32).astype(np.float64)
        tolerance = 1e-6 if name == "stdev" else 0.0
        relative = 4e-7 if name in ("mean", "idw") else 0.0
        wrong = (np.abs(band - expected) > tolerance + relative * np.abs(expected)) & ~in_doubt
        if wrong.any():
            rr, cc = np.argwhere(wrong)[0]
            fail(f"band {name}: {int(wrong.sum())} cells differ, e.g. row {rr} column {cc}: {band[rr, cc]} "
                 f"against {expected[rr, cc]}")
        compared += int((~in_doubt).sum())
    if "count" in bands:
        total = pixels[:, :, bands.index("count")].astype(np.float64).sum()
        if radius is None:
            check(total == len(h), f"the count band sums to {total}, not the {len(h)} valid points")
    return compared, doubtful


def filled(values, doubtful, nodata, n):
    """The empty cells of a height band filled by weights 1/d^2 (d in cells) of
    the non-empty cells within a circle of n cells, filled cells feeding none;
    an empty cell with a doubtful cell in its circle is in doubt."""
    rows, cols = values.shape
    empty = values == nodata
    weighted, weights = np.zeros_like(values), np.zeros_like(values)
    near_doubt = np.zeros_like(doubtful)
    pad = lambda a, v: np.pad(a, n, constant_values=v)
    source, known, doubt = pad(values, 0.0), pad(~empty, False), pad(doubtful, False)
    for dr in range(-n, n + 1):
        for dc in range(-n, n + 1):
            d2 = float(dr * dr + dc * dc)
            if d2 == 0 or d2 > n * n:
                continue
            window = (slice(n + dr, n + dr + rows), slice(n + dc, n + dc + cols))
            use = known[window] & empty
            weighted[use] += source[window][use] / d2
            weights[use] += 1 / d2
            near_doubt |= doubt[window]
    out = values.copy()
    take = empty & (weights > 0)
    out[take] = weighted[take] / weights[take]
    return out, doubtful | (empty & near_doubt)


def surface_height(s, lon, lat):
    north = (lat - s["lat"]) * 111120.0
    east = (lon - s["lon"]) * 111120.0 * math.cos(math.radians(s["lat"]))
    if s["kind"] == "flat":
        return np.full(len(lon), s["ground"])
    return s["ground"] + s["tilt"][0] * north + s["tilt"][1] * east


def check_surface(pixels, geo, bands, e, n, lon, lat, s, doubtful):
    x0, y1, r = geo["ModelTiepoint"][3], geo["ModelTiepoint"][4], geo["ModelPixelScale"][0]
    cols = pixels.shape[1]
    cell = np.floor((y1 - n) / r).astype(np.int64) * cols + np.floor((e - x0) / r).astype(np.int64)
    truth = surface_height(s, lon, lat)
    sums = np.bincount(cell, truth, minlength=pixels.shape[0] * cols)
    counts = np.bincount(cell, minlength=pixels.shape[0] * cols)
    mean = pixels[:, :, bands.index("mean")].astype(np.float64).ravel()
    have = (counts > 0) & ~doubtful.ravel()
    worst = np.max(np.abs(mean[have] - sums[have] / counts[have]))
    check(worst <= 0.01, f"mean band {worst:.4f} m from the true surface")
    return worst


def horizontal_part(wkt):
    """The PROJCS[...] inside a compound WKT1."""
    start = wkt.index("PROJCS[")
    depth = 0
    for k in range(start, len(wkt)):
        depth += {"[": 1, "]": -1}.get(wkt[k], 0)
        if depth == 0 and wkt[k] == "]":
            return wkt[start:k + 1]
    fail("unbalanced WKT")


def check_projected_las(work, expected):
    """morva-las in a projected CRS: X and Y within 1 mm of GeoConvert's UTM
    of the scan points, Z the records' heights, the WKT's projected CRS
    identified by projinfo at 100 %, the vertical part naming the heights."""
    data = open(os.path.join(work, expected["las"]), "rb").read()
    scale = struct.unpack_from("<3d", data, 131)
    check(scale[0] == 0.001 and scale[1] == 0.001, f"X and Y scale {scale[:2]}, not 0.001")
    x, y, z = las_points(os.path.join(work, expected["las"]))
    lon, lat, h = run_control_points(os.path.join(work, expected["run_control"]))
    e, n = geoconvert(lon, lat, expected["zone"])
    worst = max(np.abs(x - e).max(), np.abs(y - n).max())
    check(worst <= 0.001, f"X, Y up to {worst * 1000:.3f} mm from GeoConvert")
    check(np.array_equal(np.round(z * 1000), np.round(h * 1000)), "Z is not the records' height")
    start = data.index(b"COMPD_CS[")
    wkt = data[start:data.index(b"\0", start)].decode()
    check(expected["vertical"] in wkt, f"the WKT lacks {expected['vertical']!r}: {wkt[:120]}")
    ident = subprocess.run(["projinfo", "--identify", horizontal_part(wkt), "-o", "WKT1_GDAL", "-q"],
                           capture_output=True, text=True).stdout + \
        subprocess.run(["projinfo", "--identify", horizontal_part(wkt), "-o", "WKT1_GDAL"],
                       capture_output=True, text=True).stdout
    check(f"{expected['epsg']}: 100 %" in ident, f"projinfo does not identify {expected['epsg']} at 100 %: {ident[-200:]}")
    print(f"{len(x)} LAS points within {worst * 1000:.3f} mm of GeoConvert; {expected['epsg']} identified at 100 %")


def run_with_signal(build, args, work, send, ignore):
    """morva-grid sent a signal once its outputs are staged (a temporary
    beside the output exists); `ignore` names a signal it starts with
    ignored, as nohup leaves SIGHUP."""
    import signal
    import time

    def ignoring():
        if ignore:
            signal.signal(getattr(signal, "SIG" + ignore), signal.SIG_IGN)
    child = subprocess.Popen([f"{build}/tools/grid/morva-grid", *args], cwd=work, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True, preexec_fn=ignoring)
    folder = os.path.dirname(os.path.join(work, args[-1]))
    start = time.time()
    while not any(".morva-tmp-" in f or ".partial-" in f for f in os.listdir(folder)):
        check(child.poll() is None and time.time() - start < 60, "morva-grid ended before its outputs were staged")
        time.sleep(0.01)
    child.send_signal(getattr(signal, "SIG" + send))
    out, err = child.communicate(timeout=120)
    return subprocess.CompletedProcess(child.args, child.returncode, out, err)


def main():
    case_file, build = sys.argv[1], os.path.abspath(sys.argv[2])
    case = json.load(open(case_file))
    expect = case.get("expect", {})
    with tempfile.TemporaryDirectory(prefix="grid-case-") as work:
        for folder, options in case.get("surveys", {}).items():
            make_survey(build, os.path.join(work, folder), options, case.get("morva_args", {}).get(folder, []))
        for rc, las, options in case.get("las", []):
            # morva-las takes the run control's names from its working folder.
            rc_path = os.path.join(work, rc)
            subprocess.run([f"{build}/tools/las/morva-las", *options, os.path.basename(rc), os.path.join(work, las)],
                           cwd=os.path.dirname(rc_path), check=True, capture_output=True)
        for source, target, scale, offset in case.get("rescale", []):
            rescale(work, source, target, scale, offset)
        for source, target, n, lon, lat, seed in case.get("spread", []):
            spread(work, source, target, n, lon, lat, seed)
        for e in case.get("edits", []):
            edit(work, e)
        if "projected_las" in expect:
            check_projected_las(work, expect["projected_las"])
        if "args" not in case:
            print("ok")
            return
        args = case["args"]
        if "full_disk" in case:
            folder = os.path.join(work, case["full_disk"])
            os.makedirs(folder)
            if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", folder],
                              capture_output=True).returncode != 0:
                print("skipped: no small file system can be mounted here (needs root)")
                sys.exit(77)
        limit = case.get("limit_memory")
        if limit and os.environ.get("MORVA_SANITIZED"):
            # A sanitizer reserves terabytes of shadow address space at start,
            # which no address-space limit leaves room for.
            print("skipped: an address-space limit cannot hold a sanitizer build")
            sys.exit(77)

        def limited():
            if limit:
                import resource
                resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
        try:
            if "signal" in case:
                done = run_with_signal(build, args, work, case["signal"], case.get("ignore_signal"))
            else:
                try:
                    done = subprocess.run([f"{build}/tools/grid/morva-grid", *args], cwd=work, capture_output=True,
                                          text=True, preexec_fn=limited, timeout=case.get("timeout"))
                except subprocess.TimeoutExpired:
                    fail(f"morva-grid took more than {case['timeout']} s")
            full_leftovers = os.listdir(folder) if "full_disk" in case else []
        finally:
            if "full_disk" in case:
                subprocess.run(["umount", folder], check=True)
        check(not full_leftovers, f"left on the full file system: {full_leftovers}")
        status = expect.get("exit", 0)
        check(done.returncode == status, f"exit {done.returncode}, not {status}: {done.stderr}")
        for text in expect.get("stderr", []):
            check(text in done.stderr, f"standard error lacks {text!r}: {done.stderr!r}")
        if status > 0:
            lines = done.stderr.strip("\n").split("\n")
            check(len(lines) == 1 and lines[0].startswith("morva-grid: "), f"not one line: {done.stderr!r}")
        for name in expect.get("no_output", []):
            check(not os.path.exists(os.path.join(work, name)), f"{name} was left behind")
        leftovers = [os.path.join(d, f) for d, _, files in os.walk(work) for f in files
                     if ".partial-" in f or ".morva-tmp-" in f]
        check(not leftovers, f"temporary files left: {leftovers}")
        for link, target in expect.get("links", {}).items():
            check(os.path.islink(os.path.join(work, link)) and os.readlink(os.path.join(work, link)) == target,
                  f"{link} is no longer a link to {target}")
        if status != 0:
            print("ok:", done.stderr.strip())
            return
        for text in expect.get("warnings", []):
            check(text in done.stderr, f"standard error lacks the warning {text!r}: {done.stderr!r}")
        for text in expect.get("no_warning", []):
            check(text not in done.stderr, f"standard error holds {text!r}: {done.stderr!r}")
        output = os.path.join(work, args[-1])
        pixels, geo = read_raster(output)
        bands = expect.get("bands", ["min", "max", "mean", "count", "stdev"])
        nodata = float(args[args.index("--nodata") + 1]) if "--nodata" in args else -9999.0
        meta = descriptions(output)
        for k, name in enumerate(bands):
            check(f'<Item name="DESCRIPTION" sample="{k}" role="description">{name}</Item>' in meta,
                  f"band {k + 1} is not described as {name}: {meta}")
        check(pixels.shape[2] == len(bands), f"{pixels.shape[2]} bands, not {len(bands)}")
        for item, value in expect.get("metadata", {}).items():
            if value is None:
                check(f'<Item name="{item}">' not in meta, f"the metadata item {item} should be absent: {meta}")
            else:
                check(f'<Item name="{item}">{value}</Item>' in meta, f"the metadata lacks {item}={value}: {meta}")
        if "epsg" in expect:
            check(geo.get("ProjectedCSTypeGeoKey") == expect["epsg"] or
                  getattr(geo.get("ProjectedCSTypeGeoKey"), "value", None) == expect["epsg"],
                  f"ProjectedCSTypeGeoKey {geo.get('ProjectedCSTypeGeoKey')}, not {expect['epsg']}")
        if "zone" in expect or "tm" in expect:
            lon, lat, h = [], [], []
            # points_of: the run controls whose points a projected LAS input holds
            for a in expect.get("points_of", args[:-1]):
                if a.endswith(".in"):
                    x, y, z = run_control_points(os.path.join(work, a))
                elif a.endswith(".las"):
                    x, y, z = las_points(os.path.join(work, a))
                else:
                    continue
                lon.append(x)
                lat.append(y)
                h.append(z)
            lon, lat, h = np.concatenate(lon), np.concatenate(lat), np.concatenate(h)
            e, n = geoconvert(lon, lat, expect["zone"]) if "zone" in expect else transverse_mercator(lon, lat, expect["tm"])
            compared, doubtful = check_cells(pixels, geo, bands, e, n, h, nodata, expect.get("radius"),
                                              expect.get("fill"))
            print(f"{len(h)} points; {compared} cell values agree; {int(doubtful.sum())} cells with a point within 1 mm "
                  "of an edge")
            if "surface" in expect:
                worst = check_surface(pixels, geo, bands, e, n, lon, lat, expect["surface"], doubtful)
                print(f"mean band within {worst * 1000:.2f} mm of the true surface")
        if "terrain" in expect:
            check_terrain(work, pixels, geo, bands.index("dtm"), nodata, expect["terrain"])
        if "triangulation" in expect:
            check_triangulation(work, pixels, geo, bands.index("dtm"), nodata, expect["triangulation"])
        if "gdal" in expect:
            info = subprocess.run(["gdalinfo", output], capture_output=True, text=True, check=True).stdout
            for text in expect["gdal"]:
                check(text in info, f"gdalinfo lacks {text!r}")
            valid = subprocess.run(["/usr/bin/python3", "-c",
                                    "import sys; from osgeo_utils.samples import validate_cloud_optimized_geotiff as v;"
                                    "e, w, _ = v.validate(sys.argv[1]); print(e, w); sys.exit(1 if e else 0)", output],
                                   capture_output=True, text=True)
            check(valid.returncode == 0, f"not a valid COG: {valid.stdout} {valid.stderr}")
        if "overviews" in expect:
            check_overviews(output, pixels, expect["overviews"])
        if "left_out" in expect:
            check_left_out(output, bands, expect["left_out"])
        if "fill_reaches" in expect:
            check_fill_reaches(pixels, bands, nodata, expect["fill_reaches"])
        if "listgeo" in expect:
            keys = subprocess.run(["listgeo", output], capture_output=True, text=True, check=True).stdout
            for text in expect["listgeo"]:
                check(text in keys, f"listgeo lacks {text!r}")
        if "count_sum" in expect:
            total = pixels[:, :, bands.index("count")].astype(np.float64).sum()
            check(total == expect["count_sum"], f"the count band sums to {total}, not {expect['count_sum']}")
        if "world_file" in expect:
            values = [float(v) for v in open(os.path.join(work, expect["world_file"])).read().split()]
            x0, y1, r = geo["ModelTiepoint"][3], geo["ModelTiepoint"][4], geo["ModelPixelScale"][0]
            check(values == [r, 0.0, 0.0, -r, x0 + r / 2, y1 - r / 2],
                  f"the world file says {values}, not cells of {r} from ({x0 + r / 2}, {y1 - r / 2})")
        if "hillshade_tif" in expect:
            with tifffile.TiffFile(os.path.join(work, expect["hillshade_tif"])) as t:
                shade_geo = t.geotiff_metadata
                shape = (t.pages[0].imagelength, t.pages[0].imagewidth)
            check(shape == pixels.shape[:2], f"the shaded relief is {shape}, the raster {pixels.shape[:2]}")
            for key in ("ModelTiepoint", "ModelPixelScale", "ProjectedCSTypeGeoKey"):
                check(np.array_equal(np.asarray(shade_geo.get(key)), np.asarray(geo.get(key))),
                      f"the shaded relief's {key} {shade_geo.get(key)} differs from the raster's {geo.get(key)}")
        if "png" in expect:
            with open(os.path.join(work, expect["png"]), "rb") as f:
                check(f.read(8) == b"\x89PNG\r\n\x1a\n", "the hillshade is not a PNG")
        print("ok")


if __name__ == "__main__":
    main()
