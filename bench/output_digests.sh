#!/bin/sh
# Digests of everything morva writes, over a set of simulated surveys and
# run-control variants (output forms, simplified and calibrated modes,
# averaging, thinning, regression, reversed angle, no attitude, no geoid,
# the heading seam, a high latitude). An optimisation must leave every line
# unchanged: run this with the build before and after, and diff the two.
#
#   bench/output_digests.sh [--threads N] [BUILD] [WORK] > digests.txt
#
# BUILD defaults to ./build; WORK (default: a temporary folder, removed at the
# end) holds the surveys, about 150 MB. Takes a minute. With --threads every
# run georeferences on N threads (the digests must not change with N).
set -eu
threads=
if [ "${1:-}" = --threads ]; then
  threads="--threads $2"
  shift 2
fi
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
sim=$build/tools/sim/morva-sim
morva=$build/src/morva
if [ $# -ge 2 ]; then
  work=$2
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
work=$(cd "$work" && pwd)

# survey NAME SIM-OPTIONS...: writes the survey once and prints the digest of
# the scanner file, so a changed simulator shows up first.
survey() {
  name=$1
  shift
  rm -rf "$work/$name"
  "$sim" "$@" "$work/$name" > /dev/null
  echo "$name scan.bin $(sha256sum < "$work/$name/scan.bin" | cut -c1-64)"
}

# run SURVEY LABEL "navg nthin iout_type attitude use_cal icalib full_georef":
# processes the survey with line 10 of its run control replaced.
run() {
  dir=$work/$1
  label=$2
  switches=$3
  awk -v s="$switches" 'NR == 10 { print s; next } { print }' "$dir/run.in" > "$dir/run.$label.in"
  rm -f "$dir"/points.* "$dir/centre.txt" "$dir/test.out" "$dir/test_pcorr.out"
  status=0
  # shellcheck disable=SC2086
  (cd "$dir" && "$morva" $threads < "run.$label.in" > console.txt) || status=$?
  for f in "$dir"/points.* "$dir/centre.txt" "$dir/test.out" "$dir/test_pcorr.out" "$dir/console.txt"; do
    [ -f "$f" ] || continue
    echo "$1 $label $(basename "$f") $(wc -c < "$f") $(sha256sum < "$f" | cut -c1-64)"
  done
  echo "$1 $label status $status"
}

motion="--nmeas 1000 --scan-rate 100 --duration 20 --pitch 1,2,11 --roll 0.5,3,7 --yaw 0,2,13
        --lever 0.5,0.2,1 --misalign 0.1,-0.2,0.3 --calibration on --surface waves
        --distortion 0.1,0.01,0.001,0.0001 --pcoef 0.05,0,0.001,0 --ground 0.5 --output text"
# shellcheck disable=SC2086
survey motion $motion
run motion text "1 1 1 T F 0 T"
run motion binary "1 1 2 T F 0 T"
run motion reversed "1 1 3 T F 0 T"
run motion simplified "1 1 1 T F 0 F"
run motion simplified_binary "1 1 2 T F 0 F"
run motion calibrated "1 1 1 T T 0 T"
run motion calibrated_binary "1 1 2 T T 0 T"
run motion averaged "3 1 1 T F 0 T"
run motion averaged_binary "4 1 2 T T 0 T"
run motion thinned "1 2 1 T F 0 T"
run motion regression "1 1 1 T F 5 T"
run motion simplified_regression "2 1 1 T F 2 F"

survey level --nmeas 400 --scan-rate 50 --duration 20 --attitude off --geoid off --output text
run level text "1 1 1 F F 0 T"
run level binary "1 1 2 F F 0 T"
run level simplified "1 1 1 F F 0 F"
run level regression "1 1 1 F F 1 T"

survey seam --nmeas 300 --scan-rate 40 --duration 30 --heading 180 --yaw 0,3,5 --roll 0,5,3 --lat 71 \
  --lon 20 --calibration on --surface tilt --output text
run seam text "1 1 1 T F 0 T"
run seam calibrated "1 1 1 T T 0 T"
run seam simplified "1 1 1 T F 0 F"
run seam binary "1 1 2 T T 3 T"

rm -rf "$work/sample"
mkdir -p "$work/sample"
"$sim" --sample "$work/sample" > /dev/null
echo "sample scan.bin $(sha256sum < "$work/sample/scan.bin" | cut -c1-64)"
run sample text "$(awk 'NR == 10' "$work/sample/run.in")"
