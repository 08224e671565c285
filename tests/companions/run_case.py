#!/usr/bin/python3
"""Runs one companion case: simulates surveys with morva-sim, processes them
with morva, prepares and edits the inputs, runs the companion the case names
and checks its ending and what it wrote against independent readers.

    run_case.py CASE.json BUILD_DIR

A case is a JSON object; the keys every case may have:
  program    the companion it runs: morva-grid (grid_case.py) or
             morva-quicklook (quicklook_case.py), each with its own keys
  about      what the case shows; guards: the fault it guards against
  surveys    {"FOLDER": [morva-sim options]}: each simulated and run by morva
  before_morva  edits made in every survey's folder before morva runs
             (its run control's lines, say)
  morva_args {"FOLDER": [morva options]}: given to that folder's morva run
             (e.g. --geodesy ellipsoid --metadata run.json)
  edits      made once the inputs are ready, names relative to the case's
             folder: ["line", FILE, N, TEXT] replaces line N; ["byte", FILE,
             OFFSET, VALUE]; ["remove", FILE]; ["write", FILE, TEXT];
             ["truncate", FILE, BYTES]; ["link", NAME, TARGET] a symbolic
             link; ["folder", NAME]; ["copy", FROM, TO]; ["f64", FILE,
             OFFSET, VALUE] a little-endian double ("inf" and "nan" too);
             ["not_a_value", FILE, [RECORDS], FIELD] binary scan-point
             records' field made invalid; ["asterisks", FILE, [RECORDS],
             FIELD] text records' field overflowed; ["geokeys", FILE, [[KEY,
             LOCATION, COUNT, VALUE], ...], [DOUBLES], ASCII]: the LAS file's
             CRS records replaced by GeoTIFF key records (directory, doubles,
             text), its points unchanged; ["classes", LAS, FOLDER] each
             point's class from the survey's truth.bin (bare ground 2, low
             outliers 7, everything else 1)
  args       the program's arguments
  expect     exit (default 0), stderr (texts the message must hold), stdout
             (a regular expression standard output must match), no_output
             (files that must not exist afterwards), links (names that must
             still be links to their targets), and the program's own checks;
             a failure is one line starting with the program's name, and no
             temporary may be left in any case

The runner prints "ok" or "FAIL: why" (exit 1); exit 77 is a case skipped.
"""

import json
import os
import sys
import tempfile

import grid_case
import quicklook_case
from case_setup import edit, make_survey
from case_verdict import fail

PROGRAMS = {"morva-grid": grid_case, "morva-quicklook": quicklook_case}


def prepare(build, case, work, program):
    """The case's inputs: the surveys, the program's own, then the edits."""
    for folder, options in case.get("surveys", {}).items():
        make_survey(build, os.path.join(work, folder), options, case.get("morva_args", {}).get(folder, []),
                    case.get("before_morva", []))
    if hasattr(program, "prepare"):
        program.prepare(build, case, work)
    for e in case.get("edits", []):
        edit(work, e)


def main():
    case_file, build = sys.argv[1], os.path.abspath(sys.argv[2])
    with open(case_file) as f:
        case = json.load(f)
    if case.get("program") not in PROGRAMS:
        fail(f"the case names no program this runner knows ({', '.join(PROGRAMS)}): {case.get('program')!r}")
    program = PROGRAMS[case["program"]]
    with tempfile.TemporaryDirectory(prefix=f"{case['program']}-case-") as work:
        prepare(build, case, work, program)
        program.run(build, case, work)
    print("ok")


if __name__ == "__main__":
    main()
