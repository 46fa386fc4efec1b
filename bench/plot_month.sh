#!/usr/bin/env bash
# Month benchmark of hfdoppler-plot: 31 daily .spc files.
#
# Writes a 24-hour recording with hfdoppler-synth, analyses it with hfdoppler
# (mode 2, N = 1024: a .spc file of 48 MB and its .max), copies the .spc to
# 31 daily files of May 2008 (the day column of every block line changed:
# 1.5 GB in all), then draws RUNS times, to PNG:
#   - one hour of the month (--from/--to; the blocks outside it are skipped
#     unread): targets 0.5 s of CPU and 64 MB;
#   - the whole month: targets 3 s of CPU and 128 MB.
# Reports the median wall and CPU time (user + sys) and the largest peak
# resident memory of each. With PROFILE=1 and valgrind installed it also
# prints callgrind's instruction count and top functions of the whole month.
#
#   bench/plot_month.sh                  # programs from build/
#   RUNS=7 PROFILE=1 bench/plot_month.sh build
#
# Exit status: 0 when every run succeeded within the targets.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/day_common.sh"
command -v python3 >/dev/null || die "needs python3"
plot_day_start
rm -f ./*.BIN ./*.max
mkdir month
# Blocks of one size (a block line of 33 bytes, 123 bin lines of 46): the day
# column (15-16 of the block line) rewritten at every block.
python3 - <<'PY'
day = bytearray(open("200805010000SGD.spc", "rb").read())
size = 33 + 123 * 46
for d in range(1, 32):
    for at in range(0, len(day) - 32, size):
        day[at + 14:at + 16] = b"%2d" % d
    open("month/200805%02d0000SGD.spc" % d, "wb").write(day)
PY
rm 200805010000SGD.spc
files=(month/*.spc)
echo "input: ${#files[@]} daily .spc files, $(cat "${files[@]}" | wc -c) bytes"

ok=1
time_runs "$plot" --from 2008-05-16T00:00Z --to 2008-05-16T01:00Z -o hour.png "${files[@]}"
echo "one hour of the month to PNG, median of $runs: wall ${wall} s, CPU ${cpu} s, peak memory ${mb} MB (CPU: ${cpus[*]})"
within 0.5 64 || ok=0
time_runs "$plot" -o month.png "${files[@]}"
echo "the whole month to PNG, median of $runs: wall ${wall} s, CPU ${cpu} s, peak memory ${mb} MB (CPU: ${cpus[*]})"
within 3 128 || ok=0

profile "$plot" -o cg.png "${files[@]}"
(( ok ))
