#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets there:
# every installed program answers --help and --version, has its manual page in
# share/man/man1 (and every page its program), and every page lints clean with
# mandoc and groff. Programs and pages added later are covered as they come.
# Then a recording made by the installed generator is analysed by the
# installed analyser. Usage: install_test.sh CMAKE BUILD_DIR
set -uo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

for tool in mandoc groff; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done
"$cmake" --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
bin=$prefix/bin
man=$prefix/share/man/man1

for name in hfdoppler hfdoppler-synth; do
  [ -x "$bin/$name" ] || fail "$name is not installed"
done
[ ! -e "$bin/hfdoppler-reference" ] || fail "the test program hfdoppler-reference is installed"
# The installed README's links lead to installed files.
doc=$prefix/share/doc/hfdoppler
[ -f "$doc/README.md" ] || fail "README.md is not installed"
[ -f "$doc/docs/formats.md" ] || fail "docs/formats.md is not installed"
for link in $(grep -o '\]([^)#]*' "$doc/README.md" | cut -c3- | grep -v '^[a-z]*:'); do
  [ -e "$doc/$link" ] || fail "the installed README links to $link, which is not installed"
done
[ -f "$prefix/share/hfdoppler/stations.toml" ] || fail "the station registry is not installed"

for program in "$bin"/*; do
  name=$(basename "$program")
  "$program" --help >/dev/null 2>&1 || fail "$name --help exits with $?"
  version=$("$program" --version 2>&1)
  [[ $version == "$name "* ]] || fail "$name --version says '$version'"
  [ -f "$man/$name.1" ] || fail "$name has no manual page $name.1"
done

project_version=$("$bin/hfdoppler" --version | cut -d' ' -f2)
pages=0
for page in "$man"/*.1; do
  [ -e "$page" ] || break
  pages=$((pages + 1))
  name=$(basename "$page" .1)
  [ -x "$bin/$name" ] || fail "manual page $name.1 has no program"
  out=$(mandoc -T lint -W warning "$page" 2>&1) || fail "mandoc exits with $? on $name.1"
  [ -z "$out" ] || fail "mandoc on $name.1: $out"
  out=$(groff -ww -man -z "$page" 2>&1) || fail "groff exits with $? on $name.1"
  [ -z "$out" ] || fail "groff on $name.1: $out"
  # Every page leads to every other program and shows the version in its footer.
  text=$(mandoc -T ascii "$page" | sed 's/.\x08//g')
  see=$(sed -n '/^SEE ALSO/,/^[A-Z]/p' <<<"$text")
  for other in "$bin"/*; do
    other=$(basename "$other")
    [ "$other" = "$name" ] || grep -q "$other(1)" <<<"$see" || fail "$name.1: SEE ALSO leaves out $other"
  done
  [[ $(tail -n 1 <<<"$text") == *"hfdoppler $project_version"* ]] ||
    fail "$name.1: the footer does not show hfdoppler $project_version: $(tail -n 1 <<<"$text")"
done
[ "$pages" -ge 2 ] || fail "only $pages manual pages installed"

work=$prefix/work
"$bin/hfdoppler-synth" --dir "$work" --seconds 60 >/dev/null || fail "installed hfdoppler-synth"
out=$(cd "$prefix" && "$bin/hfdoppler" --spc --length 512 --all --quiet work)
[ "$out" = "work/20080501000000SGD-0.BIN: 11 blocks analysed; wrote work/200805010000SGD.spc work/200805010000SGD.max" ] ||
  fail "installed hfdoppler said: $out"
[ -s "$work/200805010000SGD.spc" ] || fail "no spectrum file from the installed hfdoppler"
# The installed programs find the installed station registry beside them.
HOME=$prefix XDG_CONFIG_HOME= HFDOPPLER_STATIONS= "$bin/hfdoppler-synth" --sun --station KAK \
  --dir "$prefix/sun" --seconds 60 >/dev/null || fail "installed hfdoppler-synth --sun finds no registry"

[ "$status" -eq 0 ] && echo "installed programs and manual pages: all checks passed"
exit "$status"
