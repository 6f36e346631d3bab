#!/usr/bin/env bash
# Re-runs the table generators into a scratch folder and compares their output with the
# committed tables. Needs node/npm (the pinned Unicode data package is installed on first use)
# and python3 with ICU's uconv (apt-get install icu-devtools). The build itself needs neither.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

cd "$root/tools/chartable"
[ -d node_modules/@unicode/unicode-5.1.0 ] || npm ci --no-audit --no-fund
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
