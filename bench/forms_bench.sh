#!/usr/bin/env bash
# What word forms and the all-words flag cost a compile of the real German-English corpus: a
# compile with a large word forms file (over a million forms, made from the dictionary's own
# headwords), one with the corpus's real word forms file, and one with the all-words flag, each
# with its ratio to the plain compile of the same dictionary timed in the same run, and its peak
# memory (maximum resident set). Also times the word forms phase alone. Each time is the best of
# REPEAT runs (default 2).
#
# usage: bench/forms_bench.sh [BUILD_DIR] [CORPUS_DIR]
#   BUILD_DIR holds the zorvak program (default build); CORPUS_DIR the corpus files (default
#   $ZORVAK_CORPUS, else BUILD_DIR/corpus, written by ../shared/corpora/build.sh when missing).
set -euo pipefail

source "$(dirname "$0")/common.sh"
bench_setup forms_bench "$@"
repeat=${REPEAT:-2}
ensure_corpus deu-eng.1252.txt de.forms.1252.txt

work=$build/bench-forms
mkdir -p "$work"
copy_in "$work" deu-eng.1252.txt de.forms.1252.txt
if [ ! -s "$work/big.forms.txt" ] || [ "$work/deu-eng.1252.txt" -nt "$work/big.forms.txt" ]; then
  python3 "$here/make_forms.py" "$work/deu-eng.1252.txt" "$work/big.forms.txt"
fi
cd "$work"

# Best wall time of REPEAT runs, in seconds; the output of the last run is kept in last.out and
# its peak memory in kilobytes in last.rss.
best() {
  local best_ns=0
  for ((i = 0; i < repeat; i++)); do
    local start end status=0
    start=$(date +%s%N)
    /usr/bin/time -f %M -o last.rss "$zorvak" "$@" > last.out || status=$?
    end=$(date +%s%N)
    if [ "$status" -ne 0 ] && [ "$1" != missing.txt ]; then
      echo "forms_bench: zorvak $* failed: $(tail -c 200 last.out)"
      exit 1
    fi
    if [ "$best_ns" -eq 0 ] || [ $((end - start)) -lt "$best_ns" ]; then best_ns=$((end - start)); fi
  done
  awk -v ns="$best_ns" 'BEGIN { printf "%.2f", ns / 1e9 }'
}

# The closing line of a phase ("form", "read").
closing() { tr '\r' '\n' < last.out | grep -a "^$1 " | tail -1; }
megabytes() { tail -1 last.rss | awk '{ printf "%4d MB", $1 / 1024 }'; }

plain=$(best deu-eng.1252.txt 1252 0)
echo "forms_bench: plain compile                    ${plain} s         $(megabytes)  $(closing read)"
report() {
  local label=$1 seconds=$2
  local ratio
  ratio=$(awk -v a="$seconds" -v b="$plain" 'BEGIN { printf "%.2f", a / b }')
  printf 'forms_bench: %-30s %s s  x%s  %s  %s\n' "$label" "$seconds" "$ratio" "$(megabytes)" "$3"
}
big=$(best deu-eng.1252.txt 1252 0 big.forms.txt)
report "large word forms file" "$big" "$(closing form), $(closing read)"
real=$(best deu-eng.1252.txt 1252 0 de.forms.1252.txt)
report "corpus word forms file" "$real" "$(closing form), $(closing read)"
flag=$(best deu-eng.1252.txt 1252 1)
report "all-words flag" "$flag" "$(closing read)"
phase=$(best missing.txt 1252 0 big.forms.txt)
echo "forms_bench: large word forms phase alone     ${phase} s         $(megabytes)  $(closing form)"
rm -f deu-eng.1252.txt.zorvak last.out last.rss
