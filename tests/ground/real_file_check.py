"""morva-ground on a real file classified by its producer: type I, type II
and Cohen's kappa of its ground (2) against the producer's, each within its
limit (real_files.table). Skipped, saying so, where the file is absent.

usage: real_file_check.py MORVA_GROUND SHARED_DATA WORK FILE MIN_KAPPA MAX_TYPE_I MAX_TYPE_II
"""
import os
import subprocess
import sys

import laspy
import numpy as np

ground_program, shared, work, name = sys.argv[1:5]
min_kappa, max_i, max_ii = map(float, sys.argv[5:8])
source = os.path.join(shared, "real", name)
if not os.path.isfile(source):
    print(f"skipped: no file {source}")
    sys.exit(77)
os.makedirs(work, exist_ok=True)
output = os.path.join(work, name)
subprocess.run([ground_program, source, output], check=True, capture_output=True)
reference = np.asarray(laspy.read(source).classification) == 2
ours = np.asarray(laspy.read(output).classification) == 2
n = len(reference)
both, missed = np.sum(reference & ours), np.sum(reference & ~ours)
extra, neither = np.sum(~reference & ours), np.sum(~reference & ~ours)
type_i, type_ii = 100 * missed / (both + missed), 100 * extra / (extra + neither)
agree = (both + neither) / n
chance = ((both + missed) * (both + extra) + (extra + neither) * (missed + neither)) / n / n
kappa = 100 * (agree - chance) / (1 - chance)
print(f"{name}: {n} points: type I {type_i:.2f} %, type II {type_ii:.2f} %, kappa {kappa:.1f} %")
faults = [f"kappa {kappa:.1f} below {min_kappa}"] if kappa < min_kappa else []
faults += [f"type I {type_i:.2f} above {max_i}"] if type_i > max_i else []
faults += [f"type II {type_ii:.2f} above {max_ii}"] if type_ii > max_ii else []
for f in faults:
    print("FAIL", f)
sys.exit(1 if faults else 0)
