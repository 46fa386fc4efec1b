#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, replays every seed corpus, then
# fuzzes each target for the given number of seconds (default 60).
# Usage: fuzz/run.sh [seconds-per-target] [build-dir]
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
build=${2:-$here/../build-fuzz}
CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null
status=0
for t in list_answer time_answer format recording_name run result_reader; do
  corpus="$here/corpus/$t"
  work=$(mktemp -d)
  cp -r "$corpus"/. "$work"/
  log="$work.log"
  echo "== fuzz_$t: replay of $(ls "$corpus" | wc -l) seeds, then ${seconds}s"
  if ! "$build/fuzz_$t" -runs=0 -artifact_prefix="$work/" "$corpus" >"$log" 2>&1; then
    cat "$log"; status=1
  fi
  if ! "$build/fuzz_$t" -max_total_time="$seconds" -max_len=70000 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$work/" "$work" >"$log" 2>&1; then
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" || tail -n 20 "$log"
    status=1
  fi
  grep -E '^stat::number_of_executed_units' "$log" || true
  # Keep any input that failed, for replay: "$build/fuzz_$t" <file>.
  if compgen -G "$work/crash-*" >/dev/null || compgen -G "$work/timeout-*" >/dev/null; then
    mkdir -p "$build/findings/$t"
    cp "$work"/crash-* "$work"/timeout-* "$build/findings/$t/" 2>/dev/null || true
    echo "failing inputs kept in $build/findings/$t"
  fi
  rm -rf "$work" "$log"
done
exit $status
