"""A morva-grid case ("program": "morva-grid"): LAS files written and
reworked, morva-grid run in the case's folder and the raster checked with
readers independent of GDAL: tifffile for the pixels and the GeoTIFF keys,
listgeo for the keys, GeographicLib's GeoConvert for the projection of every
scan point, numpy for the statistics of every cell.

Besides the keys every case has (run_case.py):
  las        [[RUN_CONTROL, LAS, [morva-las options]]]: LAS files written first
  rescale    [[LAS, NEW_LAS, [scale x, y, z], [offset x, y, z]]]: the LAS
             file's points stored again with another scale and offset
  spread     [[LAS, NEW_LAS, N, [lon min, max], [lat min, max], SEED]]: a LAS
             file of N points spread uniformly over that box
  full_disk  FOLDER: a file system of 64 KiB mounted there (tmpfs; the case
             is skipped, exit 77, where none can be mounted)
  signal     NAME (TERM, HUP...): sent to morva-grid once a temporary beside
             the output exists; ignore_signal NAME: a signal it starts with
             ignored (as under nohup); expect exit -N for death by signal N
  timeout    seconds morva-grid may take (a run far slower than it should be fails)
  limit_memory  bytes of address space morva-grid may take (a run that
             would take more fails instead of filling the machine)
  args       morva-grid's arguments (the output last); a case without them
             checks only what it prepared (projected_las)
  expect     zone (e.g. "31n": the
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
             an edge longer than max_edge), same_raster_as (morva-grid's
             arguments, the output last: every cell of that raster the
             same bits)
"""


import os
import subprocess
import sys

import numpy as np
import tifffile

from case_checks import (check_cells, check_fill_reaches, check_left_out, check_overviews, check_projected_las,
                         check_surface)
from case_points import geoconvert, las_points, run_control_points, transverse_mercator
from case_raster import descriptions, read_raster
from case_setup import rescale, spread
from case_terrain import check_terrain, check_triangulation
from case_verdict import check, check_ending, fail

PROGRAM = "morva-grid"


def prepare(build, case, work):
    """The case's LAS files, written from the surveys and reworked (before
    the case's edits)."""
    for rc, las, options in case.get("las", []):
        # morva-las takes the run control's names from its working folder.
        rc_path = os.path.join(work, rc)
        subprocess.run([f"{build}/tools/las/morva-las", *options, os.path.basename(rc), os.path.join(work, las)],
                       cwd=os.path.dirname(rc_path), check=True, capture_output=True)
    for source, target, scale, offset in case.get("rescale", []):
        rescale(work, source, target, scale, offset)
    for source, target, n, lon, lat, seed in case.get("spread", []):
        spread(work, source, target, n, lon, lat, seed)


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


def run_grid(build, case, work):
    """morva-grid on the case's arguments: under a signal, a memory limit, a
    time limit or onto a full file system as the case says."""
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
    return done


def check_raster(done, case, work):
    """The raster written: its bands, metadata and keys, every cell against
    the points, and what GDAL, listgeo and the pictures show."""
    expect = case.get("expect", {})
    args = case["args"]
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


def check_same_raster(build, work, output, args):
    """Every cell of every band the same bits as morva-grid gives with other
    arguments (e.g. the terrain model in one tile, on one thread)."""
    pixels, _ = read_raster(os.path.join(work, output))
    other = subprocess.run([f"{build}/tools/grid/morva-grid", *args], cwd=work, capture_output=True, text=True)
    check(other.returncode == 0, f"morva-grid {' '.join(args)} failed: {other.stderr.strip()}")
    expected, _ = read_raster(os.path.join(work, args[-1]))
    check(expected.shape == pixels.shape, f"the raster is {pixels.shape}, with {args} {expected.shape}")
    differing = int((expected.view(np.uint8) != pixels.view(np.uint8)).any(axis=-1).sum())
    check(differing == 0, f"{differing} cells differ from the raster of morva-grid {' '.join(args)}")
    print(f"every cell the same as with {' '.join(args[:-2])}")


def run(build, case, work):
    """morva-grid run as the case says, its ending and its raster checked."""
    expect = case.get("expect", {})
    if "projected_las" in expect:
        check_projected_las(work, expect["projected_las"])
    if "args" not in case:
        return
    done = run_grid(build, case, work)
    if check_ending(PROGRAM, done, expect, work) != 0:
        print(done.stderr.strip())
        return
    check_raster(done, case, work)
    if "same_raster_as" in expect:
        check_same_raster(build, work, case["args"][-1], expect["same_raster_as"])
