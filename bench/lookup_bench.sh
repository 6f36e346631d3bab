#!/usr/bin/env bash
# What looking words up and checking a dictionary cost, on the compiled German-English corpus
# (UTF-8, no word forms), next to sdcv on a StarDict conversion of the same text, in one run:
#   - 1,000 random headwords of the corpus through one zorvak-lookup process (from standard
#     input), and the same words through one sdcv process: time per word and peak memory;
#   - one `zorvak-lookup DICT WORD` process from start to end, for 20 of those words;
#   - zorvak-check of the compiled file next to decompressing it.
# Each figure is the median of REPEAT runs (default 5). The StarDict files are made once with
# pyglossary (untimed) and kept, like the compiled file, in BUILD_DIR/bench-lookup.
#
# usage: bench/lookup_bench.sh [BUILD_DIR] [CORPUS_DIR]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
corpus=${2:-${ZORVAK_CORPUS:-$here/../../corpora}}
zorvak=$build/zorvak
[ -x "$zorvak" ] || { echo "lookup_bench: no program at $zorvak"; exit 1; }
[ -x /usr/bin/time ] || { echo "lookup_bench: needs /usr/bin/time (Debian package time)"; exit 1; }
repeat=${REPEAT:-5}
lookup=$build/zorvak-lookup
check=$build/zorvak-check
if [ ! -f "$corpus/deu-eng.utf8.txt" ]; then
  builder=$here/../../shared/corpora/build.sh
  [ -f "$builder" ] || { echo "lookup_bench: no corpus in $corpus and no $builder"; exit 1; }
  bash "$builder" "$corpus"
fi
for tool in sdcv pyglossary; do
  command -v "$tool" > /dev/null ||
    make -C "$here/.." --no-print-directory install-missing WANTED="sdcv python3-pyglossary"
done

work=$build/bench-lookup
mkdir -p "$work"
cd "$work"
cmp -s "$corpus/deu-eng.utf8.txt" deu-eng.utf8.txt || cp "$corpus/deu-eng.utf8.txt" .
source=deu-eng.utf8.txt
dict=$source.zorvak
if [ ! -s "$dict" ] || [ "$zorvak" -nt "$dict" ] || [ "$source" -nt "$dict" ]; then
  "$zorvak" "$source" 65001 0 > compile.out
fi
# The same words every run: a fixed seed for shuf.
if [ ! -s words.txt ] || [ "$source" -nt words.txt ]; then
  sed 's/  .*//' "$source" | shuf -n 1000 --random-source=<(yes zorvak) > words.txt
fi
# The StarDict conversion of the same text: headword, tab, article.
if [ ! -s stardict/de.idx ] || [ "$source" -nt stardict/de.idx ]; then
  rm -rf stardict && mkdir -p stardict
  sed 's/  /\t/' "$source" > stardict/de.tab
  pyglossary stardict/de.tab stardict/de.ifo --read-format=Tabfile --write-format=Stardict \
    --no-progress-bar > stardict/convert.log 2>&1
  rm -f stardict/de.tab
fi
export HOME=$work/sdcv-home  # sdcv keeps its index cache there
mkdir -p "$HOME"
sdcv_batch() { sdcv -e -0 -1 -x -2 "$work/stardict" < words.txt; }
sdcv_batch > /dev/null  # builds sdcv's cache once, untimed

# Median wall time of REPEAT runs of a command, in nanoseconds; standard output is dropped.
median_ns() {
  local times=() start end
  for ((i = 0; i < repeat; i++)); do
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1 || true
    end=$(date +%s%N)
    times+=($((end - start)))
  done
  printf "%s\n" "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'
}
peak_kb() { (/usr/bin/time -f "%M" "$@" > /dev/null 2> peak.err) 2>&1; tail -1 peak.err; }
ms() { awk -v ns="$1" -v n="${2:-1}" 'BEGIN { printf "%.3f", ns / n / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v v="$1" -v limit="$2" 'BEGIN { print (v <= limit ? "ok" : "MISSED") }'; }

zorvak_batch() { "$lookup" "$dict" < words.txt; }
zorvak_batch > lookup.out || { echo "lookup_bench: a word of the corpus was not found"; exit 1; }
words=$(wc -l < words.txt)
ours=$(median_ns zorvak_batch)
theirs=$(median_ns sdcv_batch)
ours_kb=$(peak_kb "$lookup" "$dict" < words.txt)
theirs_kb=$(peak_kb sdcv -e -0 -1 -x -2 "$work/stardict" < words.txt)
printf "lookup of %d words, one process: zorvak %s ms a word, %d KB  sdcv %s ms a word, %d KB" \
  "$words" "$(ms "$ours" "$words")" "$ours_kb" "$(ms "$theirs" "$words")" "$theirs_kb"
printf "  ratio %s  (targets: <= 1 ms %s, <= 16384 KB %s, <= sdcv %s)\n" "$(ratio "$ours" "$theirs")" \
  "$(verdict "$(ms "$ours" "$words")" 1)" "$(verdict "$ours_kb" 16384)" \
  "$(verdict "$(ratio "$ours" "$theirs")" 1)"

singles=()
while IFS= read -r word; do
  singles+=("$(median_ns "$lookup" "$dict" "$word")")
done < <(head -20 words.txt)
single=$(printf "%s\n" "${singles[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
printf "one zorvak-lookup process for one word, start to end: %s ms (median of 20 words; target <= 5 ms %s)\n" \
  "$(ms "$single")" "$(verdict "$(ms "$single")" 5)"

ours=$(median_ns "$check" "$dict")
theirs=$(median_ns "$zorvak" "$dict" 0)
ours_kb=$(peak_kb "$check" "$dict")
theirs_kb=$(peak_kb "$zorvak" "$dict" 0)
rm -f "$dict.txt"
printf "zorvak-check %s s, %d KB  decompress %s s, %d KB  ratio %s (target <= 1.5 %s)\n" \
  "$(ms "$ours" 1000)" "$ours_kb" "$(ms "$theirs" 1000)" "$theirs_kb" "$(ratio "$ours" "$theirs")" \
  "$(verdict "$(ratio "$ours" "$theirs")" 1.5)"
