"""The recipes in docs/ that convert morva's files with other tools keep everything.

Every fenced block of docs/*.md tagged `recipe-NAME` is run with bash in the
folder of a simulated survey (morva-sim, morva, then morva-las run.in
OUTPUT.las), with this interpreter's python3 (laspy, lazrs, Debian's GDAL)
and morva-las on the PATH; its outputs are then checked by the check of that
NAME against OUTPUT.las, read here byte by byte: point format, scales,
global encoding (the time convention), creation day, the coordinate system
with its vertical part, every field of every point and the GPS times.
Blocks tagged `pdal-2.8` (PDAL is not on the test machine) are checked for
the options that keep everything; no PDAL conversion may stand outside such
a block, nor another tool's conversion (gdal_translate, laspy's write, ...)
outside a recipe block. Two surveys: averaged text records above a geoid grid (two
Extra Bytes fields, a compound coordinate system) and binary records with
ellipsoidal heights.

    recipes_test.py --docs DIR --sim S --morva M --las L --work DIR
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
from pathlib import Path

try:
    import laspy
    import numpy as np
    from osgeo import osr
except ImportError as e:
    print(f"skipped: {e}; run tools/install-deps --tests (laspy and lazrs in .venv/, "
          f"Debian's python3-gdal)", file=sys.stderr)
    sys.exit(77)

osr.UseExceptions()

# Each survey: morva-sim's options and the run's navg (above 1: a group_size field).
SURVEYS = {
    "geoid_text_averaged": (["--output", "text", "--duration", "3"], 3),
    "ellipsoid_binary": (["--output", "binary", "--geoid", "off", "--duration", "2"], 1),
}

problems = []


def check(ok, what):
    if not ok:
        problems.append(what)
    return ok


# ---- The docs' blocks.

FENCE = re.compile(r"^```(\S*)(?: +(\S+))?\s*$")
PDAL_CONVERSION = re.compile(r"\bpdal +(translate|pipeline)\b|writers\.las|filters\.reprojection")
# Other tools' commands that write a converted file.
OTHER_CONVERSION = re.compile(r"\b(gdal_translate|gdalwarp|gdal_merge|ogr2ogr|las2las|laszip)\b|\.write\(|write_points")


def blocks(docs):
    """(file:line, tag, text) of every fenced block; flags PDAL conversions outside them."""
    found = []
    for md in sorted(Path(docs).glob("*.md")):
        lines = md.read_text().split("\n")
        k = 0
        while k < len(lines):
            m = FENCE.match(lines[k])
            if m and m.group(1):
                end = k + 1
                while end < len(lines) and lines[end].strip() != "```":
                    end += 1
                found.append((f"{md.name}:{k + 1}", m.group(2) or "", "\n".join(lines[k + 1:end]) + "\n"))
                k = end + 1
                continue
            check(not PDAL_CONVERSION.search(lines[k]),
                  f"{md.name}:{k + 1}: a PDAL conversion outside a block tagged pdal-2.8: {lines[k].strip()}")
            check(not OTHER_CONVERSION.search(lines[k]),
                  f"{md.name}:{k + 1}: a conversion outside a block the tests run (recipe-NAME): {lines[k].strip()}")
            k += 1
    return found


# guards: PDAL recipes that wrote point format 7 in centimetres, cleared the
# time flag, stamped today's date and dropped the vertical CRS (plain translate,
# reprojection to a bare EPSG code), or overflowed int32 (forward=all onto metres)
def lint_pdal(where, text):
    """A PDAL command that writes LAS keeps the header, the Extra Bytes and millimetres."""
    command = re.sub(r"\\\n\s*", " ", text)
    for line in command.split("\n"):
        if not re.search(r"\bpdal +translate\b", line):
            continue
        opts = dict(re.findall(r"--([\w.]+)=(\S+)", line))
        need = {"writers.las.extra_dims": "all"}
        if "reprojection" in line.split():
            # The geographic scales and offsets cannot be carried onto metres.
            need.update({"writers.las.forward": "header", "writers.las.offset_x": "auto",
                         "writers.las.offset_y": "auto"})
            need.update({f"writers.las.scale_{a}": "0.001" for a in "xyz"})
            srs = opts.get("filters.reprojection.out_srs", "")
            check(srs and not re.fullmatch(r"(?i)epsg:\d+", srs),
                  f"{where}: out_srs must be a compound system (horizontal and vertical), not '{srs}'")
        else:
            need["writers.las.forward"] = "all"
        if re.search(r"\.laz\b", line):
            need["writers.las.compression"] = "true"
        for key, value in need.items():
            check(opts.get(key) == value, f"{where}: PDAL needs --{key}={value} to keep the file: {line.strip()}")


# ---- LAS files read here, independently of the recipes' tools.

def read_las(path):
    data = Path(path).read_bytes()
    h = {
        "file_source_id": struct.unpack_from("<H", data, 4)[0],
        "global_encoding": struct.unpack_from("<H", data, 6)[0],
        "guid": data[8:24],
        "version": (data[24], data[25]),
        "system": data[26:58],
        "software": data[58:90],
        "creation": struct.unpack_from("<HH", data, 90),
        "point_format": data[104] & 0x3F,
        "record_length": struct.unpack_from("<H", data, 105)[0],
        "scales": struct.unpack_from("<3d", data, 131),
        "offsets": struct.unpack_from("<3d", data, 155),
        "count": struct.unpack_from("<Q", data, 247)[0],
    }
    header_size, point_offset, vlr_count = struct.unpack_from("<HII", data, 94)
    # Every header byte but where the points and records begin, the compression bit and the EVLRs' place.
    h["header"] = data[:96] + data[105:227] + data[247:header_size]
    vlrs, at = {}, header_size
    for _ in range(vlr_count):
        user, record, length = struct.unpack_from("<16sHH", data, at + 2)
        vlrs[(user.rstrip(b"\0").decode(), record)] = data[at + 54:at + 54 + length]
        at += 54 + length
    h["vlrs"] = vlrs
    h["points"] = data[point_offset:point_offset + h["count"] * h["record_length"]]
    return h


def records(h):
    return np.frombuffer(h["points"], np.uint8).reshape(h["count"], h["record_length"])


def gps_times(h):
    return np.ndarray(h["count"], "<f8", h["points"], 22, h["record_length"])


def xyz(h, axis):
    stored = np.ndarray(h["count"], "<i4", h["points"], 4 * axis, h["record_length"])
    return stored * h["scales"][axis] + h["offsets"][axis]


def extra_bytes(h):
    """The Extra Bytes fields: type, name, description and the values its options bits say are set."""
    body = h["vlrs"].get(("LASF_Spec", 4), b"")
    fields = []
    for at in range(0, len(body) - len(body) % 192, 192):
        kind, options = body[at + 2], body[at + 3]
        valid = tuple(body[at + 40 + 24 * k:at + 64 + 24 * k] if options >> k & 1 else None for k in range(5))
        fields.append((kind, options, body[at + 4:at + 36].rstrip(b"\0"), body[at + 160:at + 192].rstrip(b"\0"), valid))
    return fields


def heights(srs):
    """The vertical part: a vertical system's and datum's names, 'ellipsoidal' for a 3D system, else None."""
    if srs.IsCompound():
        return srs.GetAttrValue("VERT_CS"), srs.GetAttrValue("VERT_DATUM")
    return "ellipsoidal" if srs.GetAxesCount() == 3 else None


def same_crs(a, b):
    """Both systems, horizontal and vertical, the same (names of axes and units aside)."""
    horizontal = []
    for srs in (a, b):
        h = srs.Clone()
        h.StripVertical()
        h.DemoteTo2D()
        horizontal.append(h)
    return heights(a) is not None and heights(a) == heights(b) and horizontal[0].IsSame(horizontal[1])


def crs(h):
    wkt = h["vlrs"][("LASF_Projection", 2112)].rstrip(b"\0").decode()
    srs = osr.SpatialReference(wkt)
    srs.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    return srs


def same_header(where, got, want, keys):
    for key in keys:
        check(got[key] == want[key], f"{where}: {key} {got[key]!r}, OUTPUT.las has {want[key]!r}")


KEPT = ["version", "point_format", "global_encoding", "creation", "system", "software",
        "file_source_id", "guid", "count", "record_length"]


def projected_to(las, target):
    """OUTPUT.las's points in the target system, as PROJ puts them (PDAL's reprojection)."""
    move = osr.CoordinateTransformation(crs(las), target)
    return np.array(move.TransformPoints(np.column_stack([xyz(las, 0), xyz(las, 1), xyz(las, 2)])))


def check_projected(where, las, out, target):
    """A projected file: format, millimetres, time flag, fields, times as OUTPUT.las; positions as PROJ's."""
    same_header(where, out, las, KEPT)
    check(out["scales"] == (0.001, 0.001, 0.001), f"{where}: scales {out['scales']}, not millimetres")
    check(extra_bytes(out) == extra_bytes(las), f"{where}: the Extra Bytes fields differ from OUTPUT.las's")
    srs = crs(out)
    check(same_crs(srs, target), f"{where}: CRS {srs.ExportToWkt()} is not {target.ExportToWkt()}")
    check(heights(srs) == heights(crs(las)), f"{where}: heights {heights(srs)}, OUTPUT.las's {heights(crs(las))}")
    # Every field after X and Y (Z, intensity, ..., GPS time, Extra Bytes) byte for byte.
    check(np.array_equal(records(out)[:, 8:], records(las)[:, 8:]), f"{where}: fields other than X, Y differ")
    check(np.array_equal(gps_times(out), gps_times(las)), f"{where}: GPS times differ")
    want = projected_to(las, target)
    far = max(np.abs(xyz(out, 0) - want[:, 0]).max(), np.abs(xyz(out, 1) - want[:, 1]).max())
    check(far <= 0.001, f"{where}: positions up to {far * 1000:.3f} mm from PROJ's")


# ---- What each runnable recipe promises.

def utm31(las):
    """EPSG:32631 with OUTPUT.las's heights, as morva-las --crs writes it."""
    target = osr.SpatialReference()
    target.SetFromUserInput("EPSG:32631")
    source = crs(las)
    if source.IsCompound():
        vertical = osr.SpatialReference()
        vertical.SetVertCS(source.GetAttrValue("VERT_CS"), source.GetAttrValue("VERT_DATUM"), 2005)
        horizontal, target = target, osr.SpatialReference()
        target.SetCompoundCS("compound", horizontal, vertical)
    else:
        target.PromoteTo3D()
    target.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    return target


def check_projected_recipe(folder, las, tools):
    check_projected("recipe-projected utm.las", las, read_las(folder / "utm.las"), utm31(las))


def check_laz(folder, las, tools):
    where = "recipe-laz OUTPUT.laz"
    laz = read_las(folder / "OUTPUT.laz")
    same_header(where, laz, las, KEPT + ["scales", "offsets", "header"])
    check(laz["vlrs"].get(("LASF_Projection", 2112)) == las["vlrs"][("LASF_Projection", 2112)],
          f"{where}: the coordinate system record differs from OUTPUT.las's")
    check(extra_bytes(laz) == extra_bytes(las), f"{where}: the Extra Bytes fields differ from OUTPUT.las's")
    check(set(laz["vlrs"]) - {("laszip encoded", 22204)} == set(las["vlrs"]),
          f"{where}: records {sorted(laz['vlrs'])}, OUTPUT.las has {sorted(las['vlrs'])}")
    decoded = laspy.read(folder / "OUTPUT.laz")
    check(decoded.points.array.tobytes() == las["points"], f"{where}: the points decompress to other records")
    check(np.array_equal(np.asarray(decoded.gps_time), gps_times(las)), f"{where}: GPS times differ")


def check_target_crs(folder, las, tools):
    """The WKT for PDAL's out_srs: what morva-las --crs writes; PROJ into it keeps the heights."""
    where = "recipe-target-crs utm.wkt"
    target = osr.SpatialReference((folder / "utm.wkt").read_text())  # as PDAL reads a WKT out_srs
    target.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    subprocess.run([tools.las, "--crs", "EPSG:32631", "run.in", "reference.las"], cwd=folder, check=True,
                   stderr=subprocess.DEVNULL)
    reference = read_las(folder / "reference.las")
    check(same_crs(target, crs(reference)),
          f"{where}: {target.ExportToWkt()} is not morva-las's {crs(reference).ExportToWkt()}")
    moved = projected_to(las, target)
    check(np.array_equal(moved[:, 2], xyz(las, 2)), f"{where}: PROJ changes the heights on the way into it")
    far = max(np.abs(xyz(reference, 0) - moved[:, 0]).max(), np.abs(xyz(reference, 1) - moved[:, 1]).max())
    check(far <= 0.001, f"{where}: PROJ into it puts points up to {far * 1000:.3f} mm from morva-las --crs")


CHECKS = {"recipe-projected": check_projected_recipe, "recipe-laz": check_laz,
          "recipe-target-crs": check_target_crs}


# ---- The run.

def survey(tools, folder, sim_args, navg):
    if folder.exists():
        shutil.rmtree(folder)
    subprocess.run([tools.sim, *sim_args, str(folder)], check=True, stdout=subprocess.DEVNULL)
    run_control = (folder / "run.in").read_text().split("\n")
    run_control[9] = re.sub(r"^\s*\S+", str(navg), run_control[9])  # navg nthin iout_type ...
    (folder / "run.in").write_text("\n".join(run_control))
    with open(folder / "console.txt", "wb") as console:
        subprocess.run([tools.morva, "run.in"], cwd=folder, check=True, stdout=console, stderr=subprocess.DEVNULL)
    subprocess.run([tools.las, "run.in", "OUTPUT.las"], cwd=folder, check=True, stderr=subprocess.DEVNULL)
    return read_las(folder / "OUTPUT.las")


def main():
    ap = argparse.ArgumentParser()
    for name in ("docs", "sim", "morva", "las", "work"):
        ap.add_argument(f"--{name}", required=True, type=Path)
    tools = ap.parse_args()
    tools.sim, tools.morva, tools.las = (p.resolve() for p in (tools.sim, tools.morva, tools.las))

    found = blocks(tools.docs)
    recipes = [(where, tag, text) for where, tag, text in found if tag.startswith("recipe-")]
    for where, tag, text in found:
        if tag.startswith("pdal"):
            check(tag == "pdal-2.8", f"{where}: a PDAL recipe names the version it was checked with (pdal-2.8)")
            lint_pdal(where, text)
        elif OTHER_CONVERSION.search(text) and not tag.startswith("recipe-"):
            problems.append(f"{where}: a conversion with another tool, neither run here (recipe-NAME) nor tagged pdal-2.8")
    for where, tag, _ in recipes:
        check(tag in CHECKS, f"{where}: no check for {tag} in {__file__}")
    for tag in CHECKS:
        check(any(t == tag for _, t, _ in recipes), f"the docs no longer have the recipe {tag}")

    # python3 is this interpreter (laspy, lazrs, GDAL); morva-las as the docs call it.
    env = dict(os.environ, PATH=os.pathsep.join([str(Path(sys.executable).parent), str(tools.las.parent),
                                                 os.environ.get("PATH", "")]))

    for name, (sim_args, navg) in SURVEYS.items():
        folder = tools.work / name
        las = survey(tools, folder, sim_args, navg)
        check(len(extra_bytes(las)) == (2 if navg > 1 else 1 if "text" in sim_args else 0),
              f"{name}: OUTPUT.las has the Extra Bytes fields {extra_bytes(las)}")
        for where, tag, text in recipes:
            if tag not in CHECKS:
                continue
            before = len(problems)
            run = subprocess.run(["bash", "-e", "-o", "pipefail", "-c", text], cwd=folder, env=env,
                                 capture_output=True, text=True)
            if check(run.returncode == 0, f"{name}: {where} {tag} failed ({run.returncode}): {run.stderr.strip()}"):
                CHECKS[tag](folder, las, tools)
            print(f"{name}: {tag} ({where}) {'ok' if len(problems) == before else 'LOSES DATA'}")

    for p in problems:
        print(f"FAIL: {p}", file=sys.stderr)
    print(f"{'FAILED' if problems else 'ok'}: {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
