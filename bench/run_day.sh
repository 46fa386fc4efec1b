#!/usr/bin/env bash
# Full-day speed benchmark of hfdoppler.
#
# Writes a 24-hour two-channel recording starting at 00:00:00 (2 x 17.28 MB)
# with hfdoppler-synth into a temporary folder, then runs hfdoppler on it with
# the dialogue answers "mode, N, 0 (no window), 500 (all recordings)" for
# mode 1 N=1024 and mode 2 N=1024, 512, 4096. For each it reports the median
# wall time and CPU time (user+sys) of RUNS runs, the peak resident memory and
# the input rate. When hfdoppler-reference (the straightforward analysis) is
# built too, it gets the same runs, its result files must equal hfdoppler's
# byte for byte (cmp), and the speed ratio is printed. With valgrind, it also
# counts the heap allocations of a 1-hour and a 3-hour run (they must be equal:
# nothing is allocated per block).
#
#   bench/run_day.sh                 # programs from build/
#   RUNS=7 bench/run_day.sh build-release
#
# Exit status: 0 when every run succeeded and every comparison matched.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
runs=${RUNS:-5}

die() { echo "run_day.sh: $*" >&2; exit 1; }

[[ -d $build ]] || die "no build folder $build (usage: bench/run_day.sh [BUILD_DIR])"
build=$(cd "$build" && pwd)  # the programs run from other folders
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive integer"
(( runs >= 5 )) || echo "note: RUNS=$runs; the benchmark's figures are medians of at least 5 runs"

find_exe() { find "$build" -type f -name "$1" -perm -u+x -print -quit 2>/dev/null; }
synth=$(find_exe hfdoppler-synth)
fast=$(find_exe hfdoppler)
ref=$(find_exe hfdoppler-reference)
[[ -n $synth ]] || die "hfdoppler-synth is not built in $build"

have_gnu_time=0
if command -v /usr/bin/time >/dev/null 2>&1; then
  have_gnu_time=1
else
  echo "note: /usr/bin/time is not installed, so peak memory is not measured (apt-get install -y time)"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/hfd-day.XXXXXX")
trap 'rm -rf "$work"' EXIT

# --- the recording -----------------------------------------------------------
mkdir -p "$work/data"
t0=$(date +%s%N)
(cd "$work/data" && "$synth" --start 20080501000000 --station SGD --seconds 86400 --seed 1)
t1=$(date +%s%N)
echo "synth: $(awk -v ns=$((t1 - t0)) 'BEGIN { printf "%.3f", ns / 1e9 }') s for the day"
input_bytes=0
for f in "$work"/data/*.BIN; do input_bytes=$((input_bytes + $(stat -c %s "$f"))); done
input_mb=$(awk -v b="$input_bytes" 'BEGIN { printf "%.2f", b / 1e6 }')

# Each program works in a folder of its own, on hard links to the same data.
prepare() {
  mkdir -p "$1"
  for f in "$work"/data/*.BIN; do ln "$f" "$1/" 2>/dev/null || cp "$f" "$1/"; done
}

if [[ -z $fast ]]; then
  echo "hfdoppler is not built in $build: only the recording was written"
  exit 0
fi
prepare "$work/fast"
[[ -n $ref ]] && prepare "$work/ref"
[[ -n $ref ]] || echo "note: hfdoppler-reference is not built in $build: no comparison, no ratio"

# Result files in folder $1, one name a line, sorted.
results() { (cd "$1" && shopt -s nullglob && for f in *.qdr *.spc *.max; do echo "$f"; done); }

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# run_set EXE DIR ANSWERS: warm-up (measuring peak memory), then $runs timed
# runs; sets WALL, CPU (medians, s) and RSS ("N.N MB" peak, or "n/a").
run_set() {
  local exe=$1 dir=$2 answers=$3 i line
  local walls=() cpus=()
  printf '%b' "$answers" > "$work/answers"
  rm -f "$dir"/*.qdr "$dir"/*.spc "$dir"/*.max
  cd "$dir"
  RSS=n/a
  if (( have_gnu_time )); then
    /usr/bin/time -f '%M' -o "$work/rss" "$exe" < "$work/answers" > /dev/null 2> "$work/stderr" \
      || { cat "$work/stderr" >&2; die "$exe failed in $dir"; }
    RSS=$(awk '{ printf "%.1f MB", $1 / 1024 }' "$work/rss")
  else
    "$exe" < "$work/answers" > /dev/null 2> "$work/stderr" \
      || { cat "$work/stderr" >&2; die "$exe failed in $dir"; }
  fi
  local TIMEFORMAT='%3R %3U %3S'
  for ((i = 0; i < runs; i++)); do
    { time "$exe" < "$work/answers" > /dev/null 2> "$work/stderr"; } 2> "$work/times" \
      || { cat "$work/stderr" >&2; die "$exe failed in $dir"; }
    line=$(tail -n 1 "$work/times")
    walls+=("$(awk '{ print $1 }' <<< "$line")")
    cpus+=("$(awk '{ print $2 + $3 }' <<< "$line")")
  done
  cd "$root"
  WALL=$(printf '%s\n' "${walls[@]}" | median)
  CPU=$(printf '%s\n' "${cpus[@]}" | median)
}

report() {  # LABEL PROGRAM
  printf '%-14s %-20s %8.3f s %8.3f s %12s %8.1f MB/s\n' "$1" "$2" "$WALL" "$CPU" "$RSS" \
    "$(awk -v mb="$input_mb" -v w="$WALL" 'BEGIN { print (w > 0 ? mb / w : 0) }')"
}

echo "input: $input_mb MB of channel data; medians of $runs runs; $(nproc) cores"
printf '%-14s %-20s %10s %10s %12s %13s\n' run program wall cpu peak-RSS input-rate
status=0
for cfg in "1 1024" "2 1024" "2 512" "2 4096"; do
  read -r mode n <<< "$cfg"
  label="mode $mode N=$n"
  run_set "$fast" "$work/fast" "$mode\n$n\n0\n500\n"
  fast_wall=$WALL
  report "$label" hfdoppler
  produced=$(results "$work/fast")
  [[ -n $produced ]] || { echo "  no result files written"; status=1; continue; }
  [[ -n $ref ]] || continue
  run_set "$ref" "$work/ref" "$mode\n$n\n0\n500\n"
  report "" hfdoppler-reference
  verdict="identical"
  for f in $produced; do
    if [[ ! -f $work/ref/$f ]]; then verdict="$f missing from the reference run"; status=1
    elif ! cmp -s "$work/fast/$f" "$work/ref/$f"; then
      verdict="$f DIFFERS ($(cmp "$work/fast/$f" "$work/ref/$f" 2>&1 | sed 's/.* differ: //' || true))"
      status=1
    fi
  done
  [[ $(results "$work/ref") == "$produced" ]] || { verdict="result file sets differ"; status=1; }
  printf '  ratio %.1fx (reference / hfdoppler wall); results %s (%s)\n' \
    "$(awk -v r="$WALL" -v f="$fast_wall" 'BEGIN { print (f > 0 ? r / f : 0) }')" "$verdict" \
    "${produced//$'\n'/ }"
done
# --- allocations ---------------------------------------------------------------
# The heap allocations of a whole run (valgrind's count) for a 1-hour and a
# 3-hour recording: equal counts mean nothing is allocated per block.
if command -v valgrind >/dev/null 2>&1; then
  for hours in 1 3; do
    mkdir -p "$work/alloc$hours"
    (cd "$work/alloc$hours" && "$synth" --start 20080501000000 --station SGD \
      --seconds $((hours * 3600)) --seed 1 > /dev/null)
  done
  for mode in 1 2; do
    counts=()
    for hours in 1 3; do
      counts+=("$(cd "$work/alloc$hours" && printf '%s\n1024\n0\n500\n' "$mode" |
        valgrind --tool=memcheck "$fast" 2>&1 > /dev/null |
        sed -n 's/.*total heap usage: \([0-9,]*\) allocs.*/\1/p')")
    done
    verdict="none per block"
    [[ -n ${counts[0]} && ${counts[0]} == "${counts[1]}" ]] || { verdict="GROWS WITH THE RECORDING"; status=1; }
    echo "allocations, mode $mode N=1024: ${counts[0]:-?} for 1 hour, ${counts[1]:-?} for 3 hours: $verdict"
  done
else
  echo "note: valgrind is not installed, so allocations are not counted"
fi

if (( status )); then
  echo "FAILED: see the lines above"
elif [[ -n $ref ]]; then
  echo "all result files identical to hfdoppler-reference's"
fi
exit $status
