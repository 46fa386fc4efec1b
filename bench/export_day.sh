#!/usr/bin/env bash
# Full-day benchmark of hfdoppler-export.
#
# Writes a 24-hour recording with hfdoppler-synth, analyses it with hfdoppler
# (mode 2 and mode 1, N = 1024: a 48 MB .spc of about a million lines, a
# .max and a .qdr of 8437 blocks), then times the exports: .spc to netCDF
# (target 0.5 s), .max to CSV (target 0.1 s), and for information .qdr to
# CSV and .spc to CSV. Median wall and CPU time of RUNS runs. With valgrind,
# CALLGRIND=1 adds the instruction counts of the two targeted exports, which
# do not depend on the load of a shared machine.
#
#   bench/export_day.sh [BUILD_DIR]        # RUNS=7 CALLGRIND=1 bench/export_day.sh
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/day_common.sh"
export_exe=$(need_exe hfdoppler-export)

mkdir -p "$work/m1" "$work/m2"
day_recording "$work/m2"
for f in "$work"/m2/*.BIN; do ln "$f" "$work/m1/"; done
analyse "$work/m2" 2
analyse "$work/m1" 1
spc=$work/m2/200805010000SGD.spc max=$work/m2/200805010000SGD.max qdr=$work/m1/200805010000SGD.qdr
echo "inputs: .spc $(stat -c %s "$spc") bytes ($(wc -l < "$spc") lines), .max $(stat -c %s "$max") bytes, .qdr $(stat -c %s "$qdr") bytes"

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

status=0
bench() {  # LABEL TARGET_SECONDS INPUT OUTPUT
  local label=$1 target=$2 in=$3 out=$4 walls=() cpus=() i line
  "$export_exe" "$in" -o "$work/$out" 2> /dev/null  # warm-up: files in the page cache
  local TIMEFORMAT='%3R %3U %3S'
  for ((i = 0; i < runs; i++)); do
    { time "$export_exe" "$in" -o "$work/$out" 2> /dev/null; } 2> "$work/times"
    line=$(tail -n 1 "$work/times")
    walls+=("$(awk '{ print $1 }' <<< "$line")")
    cpus+=("$(awk '{ print $2 + $3 }' <<< "$line")")
  done
  local wall cpu verdict=""
  wall=$(printf '%s\n' "${walls[@]}" | median)
  cpu=$(printf '%s\n' "${cpus[@]}" | median)
  if [[ $target != - ]]; then
    if awk -v c="$cpu" -v t="$target" 'BEGIN { exit !(c <= t) }'; then verdict="(target $target s: met)"
    else verdict="(target $target s: MISSED)"; status=1; fi
  fi
  printf '%-18s wall %6.3f s  cpu %6.3f s  output %10d bytes %s\n' "$label" "$wall" "$cpu" \
    "$(stat -c %s "$work/$out")" "$verdict"
}

echo "medians of $runs runs; $(nproc) cores"
bench ".spc -> netCDF" 0.5 "$spc" day.nc
bench ".max -> CSV" 0.1 "$max" max.csv
bench ".qdr -> CSV" - "$qdr" qdr.csv
bench ".spc -> CSV" - "$spc" spc.csv

if [[ ${CALLGRIND:-0} == 1 ]] && command -v valgrind > /dev/null; then
  for pair in "$spc:day.nc" "$max:max.csv"; do
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$export_exe" "${pair%%:*}" \
      -o "$work/${pair##*:}" > /dev/null 2> "$work/cg.err"
    echo "callgrind $(basename "${pair%%:*}") -> ${pair##*:}: $(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg.err") instructions"
  done
fi
exit $status
