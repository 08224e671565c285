#!/bin/sh
# Boresight calibration against morva on the same four flights: the
# calibration campaign of morva-sim with 2 million measurements per flight
# (500 per scan, 40 scans a second, 100 s), morva run on each flight in turn,
# then morva-boresight on the four, in one run; prints both wall times, the
# ratio and the load.
#
# Usage: bench/boresight_speed.sh BUILD [WORK]
set -eu
build=$(cd "$1" && pwd)
work=${2:-$(mktemp -d /tmp/morva-boresight-bench.XXXXXX)}
mkdir -p "$work"
rm -rf "$work/campaign"
"$build/tools/sim/morva-sim" --calibration-campaign --surface roofs --roofs 60 --range-noise 0.02 \
    --misalign-truth 0.1,-0.15,0.18 --nmeas 500 --scan-rate 40 --duration 100 "$work/campaign" >/dev/null
now() { date +%s.%N; }
echo "load before: $(uptime)"
t0=$(now)
for f in "$work"/campaign/*/; do
    (cd "$f" && "$build/src/morva" run.in >/dev/null)
done
t1=$(now)
"$build/tools/boresight/morva-boresight" "$work"/campaign/*/run.in > "$work/boresight.txt"
t2=$(now)
echo "load after: $(uptime)"
grep -A4 '^misalignment' "$work/boresight.txt"
awk -v a="$t0" -v b="$t1" -v c="$t2" 'BEGIN {
    printf "morva, four flights one after the other: %.2f s\nmorva-boresight on the four: %.2f s\nratio: %.2f (at most 20)\n",
           b - a, c - b, (c - b) / (b - a) }'
