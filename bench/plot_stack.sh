#!/usr/bin/env bash
# Day-stack benchmark of hfdoppler-plot: a year of daily .max files.
#
# Writes a 24-hour recording with hfdoppler-synth, analyses it with hfdoppler
# (mode 2, N = 1024: a .max file of 8438 lines), copies it to 365 daily files
# of one year (the date fields of every line changed, so every file is a day
# of its own), then draws them as a day stack to PNG RUNS times. Reports the
# median wall time, the median CPU time (user + sys) and the largest peak
# resident memory, and checks them against the targets: 2 s of CPU and 128 MB.
# With PROFILE=1 and valgrind installed it also prints callgrind's instruction
# count and top functions.
#
#   bench/plot_stack.sh                  # programs from build/
#   RUNS=7 PROFILE=1 bench/plot_stack.sh build
#
# Exit status: 0 when every run succeeded within the targets.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/day_common.sh"
plot_day_start
rm -f ./*.BIN ./*.spc
mkdir year
# 365 days from 2008-05-01: the year, month and day columns (7-11, 13-14,
# 16-17) of every block line rewritten; the header line kept.
awk -v days=365 '
  NR == 1 { header = $0; next }
  { line[++n] = $0 }
  END {
    split("31 28 31 30 31 30 31 31 30 31 30 31", len, " ")
    y = 2008; m = 5; d = 1
    for (i = 0; i < days; i++) {
      file = sprintf("year/%04d%02d%02d0000SGD.max", y, m, d)
      print header > file
      for (j = 1; j <= n; j++)
        print substr(line[j], 1, 6) sprintf("%5d\t%2d\t%2d", y, m, d) substr(line[j], 18) > file
      close(file)
      leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0
      if (++d > len[m] + (m == 2 && leap)) { d = 1; if (++m > 12) { m = 1; y++ } }
    }
  }' 200805010000SGD.max
files=(year/*.max)
echo "input: ${#files[@]} daily .max files, $(cat "${files[@]}" | wc -c) bytes"

time_runs "$plot" --stack -o year.png "${files[@]}"
echo "hfdoppler-plot --stack, a year to PNG ($(stat -c %s year.png) bytes), median of $runs: wall ${wall} s, CPU ${cpu} s, peak memory ${mb} MB"
echo "  (CPU times of the runs: ${cpus[*]})"

profile "$plot" --stack -o cg.png "${files[@]}"

ok=1
awk -v c="$cpu" 'BEGIN { exit !(c <= 2) }' || { echo "over the target: CPU ${cpu} s > 2 s"; ok=0; }
(( peak_kb <= 128 * 1024 )) || { echo "over the target: peak memory ${mb} MB > 128 MB"; ok=0; }
(( ok )) && echo "within the targets (2 s CPU, 128 MB)"
(( ok ))
