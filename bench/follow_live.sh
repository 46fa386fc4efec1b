#!/usr/bin/env bash
# Live benchmark of hfdoppler --follow and hfdoppler-plot --every.
#
#   latency  a writer appends a recording record by record (a record every
#            40 ms, the last of each block in two halves); from the moment the
#            last record of a block is written to its line in the .max file.
#            Targets: at most 1 s, median at most 0.2 s.
#   idle     CPU time of a run waiting inside a recording and of a folder
#            service waiting for its next recording, over a minute each (at
#            the same time). Target: at most 0.05 s each.
#   week     a folder service fed a week of daily recordings at high speed
#            (each a full day, copied in 4 MB pieces, ending by --idle 1);
#            resident memory after the first and after the last day.
#   redraw   hfdoppler-plot --every --last 24h on a full day: CPU time and
#            peak memory of one redraw (a child per drawing), as against the
#            full-day figure of bench/plot_day.sh (0.5 s, 64 MB).
#
#   bench/follow_live.sh [BUILD_DIR]      # about 2.5 minutes
#
# Exit status: 0 when every target is met.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/day_common.sh"
plot=$(need_exe hfdoppler-plot)
command -v python3 > /dev/null || die "python3 is needed for the writer"
status=0
tick=$(getconf CLK_TCK)

# CPU seconds (user + sys) of process $1, with its waited children when $2 is "all".
cpu_of() {
  awk -v t="$tick" -v all="${2:-}" '{ c = $14 + $15; if (all == "all") c += $16 + $17; printf "%.3f", c / t }' \
    "/proc/$1/stat"
}
rss_of() { awk '/^VmRSS/ { printf "%.1f MB", $2 / 1024 }' "/proc/$1/status"; }
stop() { kill -TERM "$1" 2> /dev/null || true; wait "$1" 2> /dev/null || true; }

# --- latency -------------------------------------------------------------------
mkdir -p "$work/src" "$work/lat"
(cd "$work/src" && "$synth" --start 20080501120000 --station SGD --seconds 700 > /dev/null)
: > "$work/lat/20080501120000SGD-0.BIN"
: > "$work/lat/20080501120000SGD-1.BIN"
(cd "$work/lat" && exec "$analyser" --spc --length 1024 --all --follow --idle 30 -q > /dev/null) &
follower=$!
python3 - "$work/src" "$work/lat" << 'EOF' || status=1
import os, statistics, sys, time
src, dst = sys.argv[1], sys.argv[2]
names = ["20080501120000SGD-0.BIN", "20080501120000SGD-1.BIN"]
data = [open(os.path.join(src, n), "rb").read() for n in names]
out = [open(os.path.join(dst, n), "ab", buffering=0) for n in names]
maxf = os.path.join(dst, "200805011200SGD.max")
def blocks():
    try:
        with open(maxf, "rb") as f:
            return max(f.read().count(b"\r\n") - 1, 0)
    except FileNotFoundError:
        return 0
lat = []
records = len(data[0]) // 256
for r in range(records):
    last = r % 8 == 7
    for c in (0, 1):
        rec = data[c][r * 256:(r + 1) * 256]
        if last and c == 1:
            out[c].write(rec[:100]); time.sleep(0.01); out[c].write(rec[100:])
        else:
            out[c].write(rec)
    if last:
        t0 = time.monotonic(); want = r // 8 + 1
        while blocks() < want and time.monotonic() - t0 < 5:
            time.sleep(0.0005)
        lat.append(time.monotonic() - t0)
    time.sleep(0.04)
lat.sort()
med, worst = statistics.median(lat), lat[-1]
print(f"latency: {len(lat)} blocks, median {med * 1000:.1f} ms, 90% {lat[int(0.9 * len(lat))] * 1000:.1f} ms, "
      f"max {worst * 1000:.1f} ms (targets: median 200 ms, max 1000 ms)")
sys.exit(0 if med <= 0.2 and worst <= 1.0 else 1)
EOF
stop "$follower"

# --- idle ----------------------------------------------------------------------
mkdir -p "$work/idle" "$work/empty"
head -c $((40 * 256 + 100)) "$work/src/20080501120000SGD-0.BIN" > "$work/idle/20080501120000SGD-0.BIN"
head -c $((40 * 256)) "$work/src/20080501120000SGD-1.BIN" > "$work/idle/20080501120000SGD-1.BIN"
(cd "$work/idle" && exec "$analyser" --spc --length 1024 --all --follow --idle 600 -q > /dev/null) &
waiting=$!
(cd "$work/empty" && exec "$analyser" --spc --length 1024 --all --follow -q > /dev/null) &
service=$!
sleep 2
a0=$(cpu_of "$waiting"); b0=$(cpu_of "$service")
sleep 60
a1=$(cpu_of "$waiting"); b1=$(cpu_of "$service")
stop "$waiting"; stop "$service"
for pair in "waiting inside a recording:$a0:$a1" "service waiting for a recording:$b0:$b1"; do
  IFS=: read -r what x0 x1 <<< "$pair"
  used=$(awk -v a="$x0" -v b="$x1" 'BEGIN { printf "%.3f", b - a }')
  echo "idle CPU, $what: $used s over 60 s (target 0.05 s; clock tick $(awk -v t="$tick" 'BEGIN { print 1 / t }') s)"
  awk -v u="$used" 'BEGIN { exit !(u <= 0.05) }' || status=1
done

# --- week ----------------------------------------------------------------------
mkdir -p "$work/day" "$work/week"
rss=()
day_recording "$work/day"
(cd "$work/week" && exec "$analyser" --spc --length 1024 --all --follow --idle 1 -q > "$work/week.log") &
service=$!
for d in 1 2 3 4 5 6 7; do
  start=$(printf '200805%02d000000' "$d")
  for c in 1 0; do  # the channel-1 file first, as a receiver that opens both
    : > "$work/week/${start}SGD-$c.BIN"
  done
  python3 - "$work/day" "$work/week" "$start" << 'EOF'
import os, sys
src, dst, start = sys.argv[1:4]
ins = [open(os.path.join(src, f"20080501000000SGD-{c}.BIN"), "rb") for c in (0, 1)]
outs = [open(os.path.join(dst, f"{start}SGD-{c}.BIN"), "ab") for c in (0, 1)]
while True:
    pieces = [i.read(4 << 20) for i in ins]
    if not pieces[0]:
        break
    for o, p in zip(outs, pieces):
        o.write(p); o.flush()
EOF
  until grep -q "^${start}SGD-0.BIN: ended" "$work/week.log"; do sleep 0.2; done
  rss+=("$(rss_of "$service")")
  # A station's archive takes the finished day away.
  rm -f "$work/week/${start}"SGD-?.BIN "$work/week/"*.spc "$work/week/"*.max
done
echo "week: resident memory after each day: ${rss[*]} ($(grep -c ended "$work/week.log") recordings)"
grep ended "$work/week.log" | sed 's/^/  /'
stop "$service"

# --- redraw --------------------------------------------------------------------
analyse "$work/day" 2
cd "$work/day"
/usr/bin/time -f %M -o "$work/plot.rss" "$plot" --every 0.5 --last 24h -o "$work/live.png" '*SGD.spc' \
  2> "$work/plot.err" &
timer=$!
until drawer=$(pgrep -P "$timer"); do sleep 0.05; done
pictures() { stat -c %i "$work/live.png" 2> /dev/null || echo none; }
until [[ -f $work/live.png ]]; do sleep 0.1; done
c0=$(cpu_of "$drawer" all); p0=$(pictures)
touch 200805010000SGD.spc
until [[ $(pictures) != "$p0" ]]; do sleep 0.05; done
c1=$(cpu_of "$drawer" all)
kill -TERM "$drawer"; wait "$timer" 2> /dev/null || true
cd "$root"
redraw=$(awk -v a="$c0" -v b="$c1" 'BEGIN { printf "%.2f", b - a }')
peak=$(awk 'END { printf "%.1f", $1 / 1024 }' "$work/plot.rss")
echo "redraw of the 24-hour picture: $redraw s CPU, $peak MB peak resident (any process of the tree)" \
  "(targets: 0.5 s, 64 MB)"
awk -v r="$redraw" -v m="$peak" 'BEGIN { exit !(r <= 0.5 && m <= 64) }' || status=1
exit $status
