# Shared start of the full-day benchmarks, sourced with the script's arguments
# ([BUILD_DIR]): sets root, build, runs (RUNS, default 5), a temporary folder
# $work removed at exit, die, need_exe, and the day's recording and analysis.
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
