#!/usr/bin/env bash
# Re-runs the table generators into a scratch folder and compares their output with the
# committed tables; exits 1 when either differs.
#
#   tools/check_generated.sh [WORK_DIR]
#
# Needs node and npm: the pinned Unicode data package is installed from the npm registry on
# first use, into WORK_DIR when given (the build's check-generated target passes a folder of the
# build), else into tools/chartable/node_modules. Needs python3 with ICU's uconv
# (apt-get install icu-devtools). The build itself needs none of them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

for program in node npm python3 uconv; do
  command -v "$program" >/dev/null || { echo "check_generated: $program not found" >&2; exit 2; }
done

chartable="$root/tools/chartable"
if [ $# -ge 1 ]; then
  # The generator runs from a copy beside its packages, so the source tree stays untouched.
  mkdir -p "$1"
  chartable="$(cd "$1" && pwd)"
  for f in generate.mjs package.json package-lock.json; do
    cmp -s "$root/tools/chartable/$f" "$chartable/$f" || cp "$root/tools/chartable/$f" "$chartable/$f"
  done
fi
cd "$chartable"
[ -d node_modules/@unicode/unicode-5.1.0 ] && [ node_modules/.package-lock.json -nt package-lock.json ] ||
  npm ci --no-audit --no-fund
node generate.mjs "$scratch/char_table_generated.inc"
python3 "$root/tools/codepages/generate.py" "$scratch/codepage_data_generated.cpp"

status=0
for f in char_table_generated.inc codepage_data_generated.cpp; do
  if cmp -s "$scratch/$f" "$root/text/$f"; then
    echo "text/$f: up to date"
  else
    echo "text/$f: differs from its generator's output"
    status=1
  fi
done
exit $status
