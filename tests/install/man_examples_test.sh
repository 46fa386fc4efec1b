#!/bin/bash
# The manual pages against the programs: every page's EXAMPLES are run on
# small synthetic recordings (all but those that need a station's real
# folders, a web server's, or a day or a week of data), and every page's
# EXIT STATUS names the statuses its program's --help names.
# usage: man_examples_test.sh MAN_DIR BIN_DIR...
set -u
man_dir=$(realpath "$1")
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
for d in "$@"; do
  for p in "$d"/hfdoppler*; do ln -sf "$(realpath "$p")" "$work/bin/"; done
done
export PATH="$work/bin:$PATH"
status=0
fail() { echo "FAIL: $*"; status=1; }

# A page's section as read, long lines kept whole.
section() { mandoc -T utf8 -O width=300 "$1" | col -b | sed -n "/^$2\$/,/^[A-Z][A-Z ]*\$/p"; }
# The statuses a text names, of those the programs give.
statuses() { grep -oE '\b(0|1|2|129|130|143)\b' | sort -un | tr '\n' ' '; }

mkdir "$work/run"
cd "$work/run" || exit 1
# Two days of three stations from midnight JST, and their results.
hfdoppler-synth --days 2 --station SGD,KUR,KYO --seconds 600 --start 20080501000000 >/dev/null &&
  hfdoppler --spc --length 1024 --all --quiet . >/dev/null || fail "the recordings for the examples"
skip='/data/|/var/|/archive|--every|--seconds 86400|--days 7| week$'
for page in "$man_dir"/*.1; do
  prog=$(basename "$page" .1)
  help=$("$prog" --help | sed -n '/^Exit status/,$p' | statuses)
  page_statuses=$(section "$page" "EXIT STATUS" | statuses)
  [ "$help" = "$page_statuses" ] || fail "$prog: --help gives exit statuses $help, the page $page_statuses"
  examples=$(section "$page" EXAMPLES | sed -e 's/^[[:space:]]*//' | sed -e ':a' -e '/\\$/N; s/\\\n[[:space:]]*/ /; ta' |
             grep -E '^(hfdoppler|printf)' | grep -vE -- "$skip")
  [ -n "$examples" ] || fail "$prog: no example run"
  while IFS= read -r example; do
    bash -c "$example" >"$work/out" 2>&1 </dev/null || fail "$prog: example exits $?: $example
$(tr -d '\0' <"$work/out" | head -c 2000)"
  done <<<"$examples"
done
exit $status
