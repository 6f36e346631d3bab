#!/usr/bin/env bash
# The benchmark table of `make bench`: compile, decompress and lookup against gzip, pigz and
# the tools a dictionary maker would use instead. See bench/bench.py for the cases, the
# settings (BENCH_DATA, ZORVAK_CORPUS, BENCH_QUICK, BENCH_REPEAT, BENCH_THREADS, BENCH_CASES)
# and the cache of inputs.
# usage: bench/run.sh [BUILD_DIR] [--results FILE] [--prepare]
set -euo pipefail
exec python3 "$(dirname "$0")/bench.py" "$@"
