#!/usr/bin/env bash
# Full-day benchmark of hfdoppler-export.
#
# Writes a 24-hour recording with hfdoppler-synth, analyses it with hfdoppler
# (mode 2 and mode 1, N = 1024: a 48 MB .spc of about a million lines, a
# .max and a .qdr of 8437 blocks) and times the exports, each on one core
# (taskset), with their targets of CPU time (user + sys, the figure on a
# shared machine) and peak memory:
#   .spc -> netCDF, deflate 1 with shuffle     0.5 s, 64 MB
#   .spc -> netCDF, --pack                     0.5 s
#   .max -> CSV                                0.05 s
#   ten stations' .max -> one netCDF           0.3 s
# and for information .spc -> netCDF without compression, .qdr -> CSV and
# .spc -> CSV (.gz). Median CPU time, wall time and peak memory (max RSS) of
# RUNS runs, and the size of each output. With valgrind, CALLGRIND=1 adds the
# instruction counts of the targeted exports, which do not depend on the load.
#
#   bench/export_day.sh [BUILD_DIR]        # RUNS=7 CALLGRIND=1 bench/export_day.sh
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/day_common.sh"
export_exe=$(need_exe hfdoppler-export)
[[ -x /usr/bin/time ]] || die "needs /usr/bin/time (Debian package time)"
one_core=()
command -v taskset > /dev/null && one_core=(taskset -c 0)

mkdir -p "$work/m1" "$work/m2" "$work/ten"
day_recording "$work/m2"
for f in "$work"/m2/*.BIN; do ln "$f" "$work/m1/"; done
analyse "$work/m2" 2
analyse "$work/m1" 1
spc=$work/m2/200805010000SGD.spc max=$work/m2/200805010000SGD.max qdr=$work/m1/200805010000SGD.qdr
ten=()
for code in AAA BBB CCC DDD EEE FFF GGG HHH III JJJ; do
  ten+=("$work/ten/200805010000$code.max")
  cp "$max" "${ten[-1]}"
done
echo "inputs: .spc $(stat -c %s "$spc") bytes ($(wc -l < "$spc") lines), .max $(stat -c %s "$max") bytes, .qdr $(stat -c %s "$qdr") bytes"

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

status=0
bench() {  # LABEL CPU_TARGET_S RSS_TARGET_MB OUTPUT ARGS...
  local label=$1 target=$2 rss_target=$3 out=$work/$4 cpus=() walls=() rsss=() i
  shift 4
  "$export_exe" "$@" -o "$out" 2> /dev/null  # warm-up: files in the page cache
  for ((i = 0; i < runs; i++)); do
    "${one_core[@]}" /usr/bin/time -v -o "$work/times" "$export_exe" "$@" -o "$out" 2> /dev/null
    cpus+=("$(awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$work/times")")
    walls+=("$(awk -F': ' '/Elapsed/ { n = split($2, p, ":"); print p[n] + 60 * p[n - 1] }' "$work/times")")
    rsss+=("$(awk -F': ' '/Maximum resident/ { print $2 / 1024 }' "$work/times")")
  done
  local cpu wall rss verdict=""
  cpu=$(printf '%s\n' "${cpus[@]}" | median)
  wall=$(printf '%s\n' "${walls[@]}" | median)
  rss=$(printf '%s\n' "${rsss[@]}" | median)
  if [[ $target != - ]]; then
    local goal="target $target s"
    [[ $rss_target != - ]] && goal+=", $rss_target MB"
    if awk -v c="$cpu" -v t="$target" -v r="$rss" -v m="$rss_target" \
      'BEGIN { exit !(c <= t && (m == "-" || r <= m)) }'; then verdict="($goal: met)"
    else verdict="($goal: MISSED)"; status=1; fi
  fi
  printf '%-32s cpu %6.3f s  wall %6.3f s  max RSS %5.1f MB  output %9d bytes %s\n' "$label" "$cpu" "$wall" \
    "$rss" "$(stat -c %s "$out")" "$verdict"
}

echo "medians of $runs runs on one core; $(nproc) cores on the machine"
bench ".spc -> netCDF (deflate 1)" 0.5 64 day.nc "$spc"
bench ".spc -> netCDF --pack" 0.5 - pack.nc --pack "$spc"
bench ".max -> CSV" 0.05 - max.csv "$max"
bench "10 stations' .max -> netCDF" 0.3 - ten.nc "${ten[@]}"
bench ".spc -> netCDF --deflate 0" - - raw.nc --deflate 0 "$spc"
bench ".qdr -> CSV" - - qdr.csv "$qdr"
bench ".spc -> CSV" - - spc.csv "$spc"
bench ".spc -> CSV gzip (level 1)" - - spc.csv.gz "$spc"

if [[ ${CALLGRIND:-0} == 1 ]] && command -v valgrind > /dev/null; then
  for pair in "$spc:day.nc" "$max:max.csv"; do
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$export_exe" "${pair%%:*}" \
      -o "$work/${pair##*:}" > /dev/null 2> "$work/cg.err"
    echo "callgrind $(basename "${pair%%:*}") -> ${pair##*:}: $(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg.err") instructions"
  done
fi
exit $status
