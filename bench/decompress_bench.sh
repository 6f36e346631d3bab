#!/usr/bin/env bash
# What decompress mode costs, next to gzip, on the real German-English corpus and on a generated
# dictionary of 210 MB (the compile benchmark's, whose few groups are very large): each case is
# compiled once, then decompressed; the same text, gzipped once, is decompressed by `gzip -dc`
# into a file beside it, timed in the same run. Prints both wall times, the ratio, and the
# decompressor's peak memory. Each time is the best of REPEAT runs (default 2). The
# decompressor's time includes flushing its text to the disk (the driver syncs the file before
# moving it into place); gzip's does not.
#
# usage: bench/decompress_bench.sh [BUILD_DIR] [CORPUS_DIR]
#   BUILD_DIR holds the zorvak program (default build); CORPUS_DIR the corpus files (default
#   $ZORVAK_CORPUS, else BUILD_DIR/corpus, written by ../shared/corpora/build.sh when missing).
#   The generated dictionary is kept in BUILD_DIR/bench-data and made only when missing.
set -euo pipefail

source "$(dirname "$0")/common.sh"
bench_setup decompress_bench "$@"
repeat=${REPEAT:-2}
ensure_corpus deu-eng.1252.txt deu-eng.utf8.txt de.forms.utf8.txt
ensure_generated

work=$build/bench-decompress
mkdir -p "$work"
cd "$work"

# Best wall time of REPEAT runs of a command, in nanoseconds.
best_ns() {
  local best=0 start end
  for ((i = 0; i < repeat; i++)); do
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    if [ "$best" -eq 0 ] || [ $((end - start)) -lt "$best" ]; then best=$((end - start)); fi
  done
  echo "$best"
}

seconds() { awk -v ns="$1" 'BEGIN { printf "%.2f", ns / 1e9 }'; }

# One case: NAME FOLDER SOURCE CODE_PAGE [ALL_WORDS [FORMS]], the source and forms files in
# FOLDER. The program holds its input exclusively, so each case works on copies of its own.
bench_case() {
  local name=$1 folder=$2 source=$3
  shift 3
  mkdir -p "$name"
  (
    cd "$name"
    for file in "$source" "${@:3}"; do
      cmp -s "$folder/$file" "$file" 2>/dev/null || cp "$folder/$file" "$file"
    done
    if [ ! -s "$source.zorvak" ] || [ "$source" -nt "$source.zorvak" ] ||
      [ "$zorvak" -nt "$source.zorvak" ]; then
      "$zorvak" "$source" "$@" > compile.out || {
        echo "decompress_bench: compile of $name failed: $(tail -c 200 compile.out)"
        exit 1
      }
    fi
    local ours theirs peak
    ours=$(best_ns "$zorvak" "$source.zorvak" 0)
    local text=$source.zorvak.txt
    [ -s "$text.gz" ] && [ "$text.gz" -nt "$text" ] || gzip -c "$text" > "$text.gz"
    theirs=$(best_ns sh -c "gzip -dc '$text.gz' > gzip.out.txt")
    cmp -s gzip.out.txt "$text" || { echo "decompress_bench: gzip gave another text"; exit 1; }
    rm -f gzip.out.txt
    peak=$( (/usr/bin/time -f "%M" "$zorvak" "$source.zorvak" 0 > /dev/null) 2>&1 | tail -1)
    printf "%-26s text %10d bytes  zorvak %6s s  gzip -dc %6s s  ratio %5s  peak %6d KB\n" \
      "$name" "$(stat -c %s "$text")" "$(seconds "$ours")" "$(seconds "$theirs")" \
      "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')" "$peak"
  )
}

bench_case deu-eng.1252.flag0 "$corpus" deu-eng.1252.txt 1252 0
bench_case deu-eng.utf8.flag1.forms "$corpus" deu-eng.utf8.txt 65001 1 de.forms.utf8.txt
bench_case gen.1251 "$data" gen.1251.shuffled.txt 1251
bench_case gen.utf8 "$data" gen.utf8.shuffled.txt 65001
