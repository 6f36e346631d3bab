#!/usr/bin/env bash
# Compile speed on large dictionaries: a generated one of at least 200 MB (code pages 1251 and
# 65001, its lines sorted and shuffled) and the real German-English corpus. For each it prints
# the source size, the wall time, MB/s, the peak memory (maximum resident set), and the ratio
# of the wall time to `gzip -6 -c` on the same source, timed in the same run. Every compiled
# file is checked to be complete (the run's closing line), then removed.
#
# usage: bench/compile_bench.sh [BUILD_DIR] [CORPUS_DIR]
#   BUILD_DIR holds the zorvak program (default build); the generated dictionaries are kept in
#   BUILD_DIR/bench-data and made again only when missing. CORPUS_DIR holds the corpus files
#   (default $ZORVAK_CORPUS, else BUILD_DIR/corpus, written by ../shared/corpora/build.sh when
#   missing). MEGABYTES (default 210) sizes the generated dictionary.
set -euo pipefail

source "$(dirname "$0")/common.sh"
bench_setup compile_bench "$@"
ensure_generated
ensure_corpus deu-eng.1252.txt deu-eng.utf8.txt
copy_in "$data" deu-eng.1252.txt deu-eng.utf8.txt
cd "$data"

printf 'compile_bench: %-24s %8s %8s %8s %9s %8s %7s\n' source MB seconds MB/s "peak MB" gzip ratio
measure() {
  local file=$1 codePage=$2
  local bytes seconds peak gzip_seconds
  bytes=$(stat -c %s "$file")
  /usr/bin/time -f '%e %M' -o time.txt "$zorvak" "$file" "$codePage" > run.out
  tr '\r' '\n' < run.out | grep -aq ' bloks\.\.\.$' || { echo "compile_bench: $file failed"; exit 1; }
  read -r seconds peak < time.txt
  /usr/bin/time -f '%e' -o time.txt gzip -6 -c "$file" > /dev/null
  gzip_seconds=$(cat time.txt)
  awk -v f="$file" -v b="$bytes" -v s="$seconds" -v p="$peak" -v g="$gzip_seconds" 'BEGIN {
    printf "compile_bench: %-24s %8.1f %8.2f %8.1f %9.1f %8.2f %7.2f\n",
           f, b / 1e6, s, b / 1e6 / s, p / 1024, g, s / g }'
  rm -f "$file.zorvak" run.out time.txt
}
measure gen.1251.sorted.txt 1251
measure gen.1251.shuffled.txt 1251
measure gen.utf8.sorted.txt 65001
measure gen.utf8.shuffled.txt 65001
if [ -f deu-eng.1252.txt ]; then measure deu-eng.1252.txt 1252; fi
if [ -f deu-eng.utf8.txt ]; then measure deu-eng.utf8.txt 65001; fi
