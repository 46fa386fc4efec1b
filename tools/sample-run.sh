#!/usr/bin/env bash
# Writes a one-hour sample recording around sunrise (with the synthetic
# Doppler pattern tied to the Sun) into a fresh folder, runs hfdoppler there
# with piped answers (mode 2, N = 1024, no time window, all recordings),
# shows where the results are and how they begin, and ends by drawing them
# with hfdoppler-plot into sample/<name>.png.
set -euo pipefail
build=${1:-build}
build=$(cd "$build" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/sample"
rm -rf "$out"
mkdir -p "$out"
cd "$out"
"$build/tools/hfdoppler-synth" --start 20080501031500 --station SGD --seconds 3600 --seed 1 --sun
printf '2\n1024\n0\n500\n' | "$build/src/hfdoppler" > console.txt
echo
echo "Results in $out:"
ls -l "$out"
for f in *.max *.spc; do
  echo
  echo "== first lines of $f"
  head -n 4 "$f" | tr -d '\r'
done
echo
echo "== console (console.txt), first lines"
head -n 12 console.txt | tr -d '\r'

spc=$(ls *.spc | head -n 1)
png="$out/${spc%.spc}.png"
"$build/tools/hfdoppler-plot" -o "$png" "$spc"
echo
echo "Picture of $spc and its .max: $png"
