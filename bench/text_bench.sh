#!/usr/bin/env bash
# Runs the micro-benchmarks of decoding, encoding and headword folding (built with the program
# when ZORVAK_BENCH is on, as `make bench` does).
# usage: bench/text_bench.sh [BUILD_DIR]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
[ -x "$build/text_bench" ] || { echo "text_bench: not built; run make bench"; exit 1; }
"$build/text_bench" --benchmark_min_time=0.2
