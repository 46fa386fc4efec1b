# Shared start of the full-day benchmarks, sourced with the script's arguments
# ([BUILD_DIR]): sets root, build, runs (RUNS, default 5), a temporary folder
# $work removed at exit, die, need_exe, the day's recording and analysis, and
# plot_day_start for the picture benchmarks.
#
#   source "$(dirname "${BASH_SOURCE[0]}")/day_common.sh"
#   plot=$(need_exe hfdoppler-plot); day_recording "$work"; analyse "$work" 2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
runs=${RUNS:-5}
die() { echo "$(basename "$0"): $*" >&2; exit 1; }
[[ -d $build ]] || die "no build folder $build"
build=$(cd "$build" && pwd)  # the programs run from other folders
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive integer"

# The path of a built program; ends the script when it is not built.
need_exe() {
  local exe
  exe=$(find "$build" -type f -name "$1" -perm -u+x -print -quit 2>/dev/null)
  [[ -n $exe ]] || die "$1 is not built in $build"
  echo "$exe"
}
synth=$(need_exe hfdoppler-synth)
analyser=$(need_exe hfdoppler)

work=$(mktemp -d "${TMPDIR:-/tmp}/hfd-$(basename "$0" .sh).XXXXXX")
trap 'rm -rf "$work"' EXIT

# A 24-hour two-channel recording in folder $1.
day_recording() { (cd "$1" && "$synth" --start 20080501000000 --station SGD --seconds 86400 --seed 1 > /dev/null); }
# hfdoppler in folder $1: mode $2, N = 1024, no window, every recording.
analyse() { (cd "$1" && printf '%s\n1024\n0\n500\n' "$2" | "$analyser" > /dev/null); }

# The start of the picture benchmarks: GNU time and hfdoppler-plot ($plot)
# at hand, the day recorded and analysed in mode 2 in $work, which becomes the
# current folder.
plot_day_start() {
  command -v /usr/bin/time >/dev/null || die "needs GNU time (apt-get install -y time)"
  plot=$(need_exe hfdoppler-plot)
  cd "$work"
  day_recording .
  analyse . 2
}

# Runs a command RUNS times under GNU time; sets wall and cpu (medians, s;
# cpu is user + sys), cpus (every run's), peak_kb and mb (the largest peak
# resident memory, kB and MB).
time_runs() {
  local walls=() i w user sys k
  cpus=(); peak_kb=0
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@"
    read -r w user sys k < "$work/time.txt"
    walls+=("$w"); cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')")
    (( k > peak_kb )) && peak_kb=$k
  done
  wall=$(printf '%s\n' "${walls[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
  cpu=$(printf '%s\n' "${cpus[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
  mb=$(awk -v k="$peak_kb" 'BEGIN { printf "%.1f", k / 1024 }')
}

# Whether the last time_runs kept within $1 s of CPU and $2 MB; says so.
within() {
  local ok=1
  awk -v c="$cpu" -v l="$1" 'BEGIN { exit !(c <= l) }' || { echo "  over the target: CPU ${cpu} s > $1 s"; ok=0; }
  awk -v m="$mb" -v l="$2" 'BEGIN { exit !(m <= l) }' || { echo "  over the target: peak memory ${mb} MB > $2 MB"; ok=0; }
  (( ok )) && echo "  within the targets ($1 s CPU, $2 MB)"
  (( ok ))
}

# With PROFILE=1 and valgrind installed, runs a command under callgrind and
# prints its instruction count and top functions (deterministic, for
# before/after comparisons).
profile() {
  [[ ${PROFILE:-0} == 1 ]] && command -v valgrind >/dev/null || return 0
  valgrind --tool=callgrind --callgrind-out-file=cg.out "$@" 2> cg.log
  grep -o 'Collected : [0-9]*' cg.log | sed 's/Collected :/instructions:/'
  callgrind_annotate cg.out 2>/dev/null | grep -E '^ *[0-9,]+ \(' | sed -n 2,9p | cut -c1-150
}
