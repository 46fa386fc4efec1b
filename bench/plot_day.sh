#!/usr/bin/env bash
# Full-day picture benchmark of hfdoppler-plot.
#
# Writes a 24-hour recording with hfdoppler-synth, analyses it with hfdoppler
# (mode 2, N = 1024: a .spc file of about 1.04 million lines, 48 MB, and its
# .max), then draws the day to PNG RUNS times. Reports the median wall time,
# the median CPU time (user + sys: what one core spends, the figure that
# counts on a machine shared with other work) and the largest peak resident
# memory, and checks them against the targets: 0.5 s of CPU and 64 MB. With
# PROFILE=1 and valgrind installed it also prints callgrind's instruction
# count and top functions (deterministic, for before/after comparisons).
#
#   bench/plot_day.sh                  # programs from build/
#   RUNS=7 PROFILE=1 bench/plot_day.sh build
#
# Exit status: 0 when every run succeeded within the targets.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/day_common.sh"
plot_day_start
spc=200805010000SGD.spc
echo "input: $spc, $(wc -l < "$spc") lines, $(stat -c %s "$spc") bytes, with its .max"

time_runs "$plot" -o day.png "$spc"
echo "hfdoppler-plot, day to PNG ($(stat -c %s day.png) bytes), median of $runs: wall ${wall} s, CPU ${cpu} s, peak memory ${mb} MB"
echo "  (CPU times of the runs: ${cpus[*]})"
ok=1
within 0.5 64 || ok=0

profile "$plot" -o cg.png "$spc"

(( ok ))
