# Set-up shared by the benchmark scripts; each sources this file and calls bench_setup.

# bench_setup NAME [BUILD_DIR] [CORPUS_DIR]: sets here, build, corpus and zorvak. BUILD_DIR holds
# the program (default build); CORPUS_DIR the real corpus (default $ZORVAK_CORPUS, else
# BUILD_DIR/corpus).
bench_setup() {
  bench_name=$1
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  build=$(cd "${2:-build}" && pwd)
  corpus=${3:-${ZORVAK_CORPUS:-$build/corpus}}
  zorvak=$build/zorvak
  [ -x "$zorvak" ] || { echo "$bench_name: no program at $zorvak"; exit 1; }
  [ -x /usr/bin/time ] || { echo "$bench_name: needs /usr/bin/time (Debian package time)"; exit 1; }
}

# ensure_corpus FILE...: writes the corpus with ../shared/corpora/build.sh when a file is missing.
ensure_corpus() {
  local name
  for name in "$@"; do
    if [ ! -f "$corpus/$name" ]; then
      local builder=$here/../../shared/corpora/build.sh
      [ -f "$builder" ] || { echo "$bench_name: no corpus in $corpus and no $builder"; exit 1; }
      bash "$builder" "$corpus"
      return
    fi
  done
}

# ensure_generated: the generated dictionaries (MEGABYTES in 1251, default 210) in
# BUILD_DIR/bench-data, made only when missing; sets data.
ensure_generated() {
  data=$build/bench-data
  mkdir -p "$data"
  if [ ! -s "$data/gen.1251.shuffled.txt" ] || [ ! -s "$data/gen.utf8.shuffled.txt" ]; then
    python3 "$here/make_dictionary.py" "$data" "${MEGABYTES:-210}"
  fi
}

# copy_in DIR FILE...: copies of corpus files of its own for the program, which holds its input
# exclusively.
copy_in() {
  local dir=$1 name
  shift
  for name in "$@"; do
    cmp -s "$corpus/$name" "$dir/$name" || cp "$corpus/$name" "$dir/$name"
  done
}
