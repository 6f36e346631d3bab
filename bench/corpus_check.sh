#!/usr/bin/env bash
# Compiles the real German-English corpus in the five reference cases and compares every
# result with the expected one: standard output, the compiled file and the decompressed text
# (size and sha256), and checks the compiled file with zorvak-check. On a difference, lists the compiled file's groups and blocks beside the
# expected listings so that the first differing group or block can be found.
# usage: bench/corpus_check.sh [BUILD_DIR] [CORPUS_DIR] [EXPECTED_DIR]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
corpus=${2:-/work/corpora}
expected=${3:-$here/../../shared/corpora/expected}
zorvak=$build/zorvak
[ -f "$corpus/MANIFEST.txt" ] || bash "$expected/../build.sh" "$corpus" >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0

check() {  # check CASE ARGS...
  local case=$1; shift
  local want=$expected/$case.txt
  local dir=$scratch/$case
  mkdir -p "$dir"
  for name in "$@"; do [ -f "$corpus/$name" ] && cp "$corpus/$name" "$dir/"; done
  local input=$1
  (cd "$dir" && "$zorvak" "$@" > stdout; echo $? > status)
  (cd "$dir" && "$zorvak" "$input.zorvak" 0 > /dev/null)
  local got_out got_bin got_txt
  got_out="standard output: $(stat -c %s "$dir/stdout") bytes, sha256 $(sha256sum < "$dir/stdout" | cut -d' ' -f1)"
  got_bin="compiled file: $(stat -c %s "$dir/$input.zorvak") bytes, sha256 $(sha256sum < "$dir/$input.zorvak" | cut -d' ' -f1)"
  got_txt="decompressed text: $(stat -c %s "$dir/$input.zorvak.txt") bytes, sha256 $(sha256sum < "$dir/$input.zorvak.txt" | cut -d' ' -f1)"
  local verdict=match
  for line in "$got_out" "$got_bin" "$got_txt"; do
    grep -qxF "$line" "$want" || { verdict=DIFFERS; echo "  $case: got '$line'"; }
  done
  "$build/zorvak-check" "$dir/$input.zorvak" > /dev/null 2> "$dir/check" ||
    { verdict=DIFFERS; echo "  $case: zorvak-check: $(head -1 "$dir/check")"; }
  echo "$case: $verdict"
  if [ "$verdict" != match ]; then
    failed=1
    python3 "$expected/listing.py" "$dir/$input.zorvak" "$scratch/$case.mine" > /dev/null
    diff <(zcat "$expected/$case.groups.tsv.gz") "$scratch/$case.mine.groups.tsv" | head -3
    diff <(zcat "$expected/$case.blocks.tsv.gz") "$scratch/$case.mine.blocks.tsv" | head -3
  fi
  rm -rf "$dir"
}

check deu-eng.1252.flag0 deu-eng.1252.txt 1252 0
check deu-eng.1252.flag1 deu-eng.1252.txt 1252 1
check deu-eng.1252.forms deu-eng.1252.txt 1252 0 de.forms.1252.txt
check deu-eng.utf8.flag0 deu-eng.utf8.txt 65001 0
check deu-eng.utf8.flag1.forms deu-eng.utf8.txt 65001 1 de.forms.utf8.txt
exit $failed
