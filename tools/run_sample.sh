#!/bin/sh
# Writes the bundled sample survey into build/sample and processes it there.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
work=$build/sample
rm -rf "$work"
mkdir -p "$work"
cd "$work"
"$build/tools/sim/morva-sim" --sample .
"$build/src/morva" < run.in > console.txt || { cat console.txt; exit 1; }
cat console.txt
# The quick-look picture of the run, with the report's regression and gaps.
"$build/tools/quicklook/morva-quicklook" --report console.txt run.in quicklook.png
echo "quick-look picture: $work/quicklook.png"
# The scan points as a LAS 1.4 file for point-cloud tools; the flight date
# comes from the sample scanner header's time epoch.
"$build/tools/las/morva-las" run.in points.las
