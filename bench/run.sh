#!/usr/bin/env bash
# Runs every benchmark of this folder (each *_bench.sh) against the program in BUILD_DIR.
# usage: bench/run.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
for bench in "$here"/*_bench.sh; do
  bash "$bench" "$build"
done
