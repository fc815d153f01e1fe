#!/usr/bin/env bash
# Builds the benchmark programs and runs every benchmark. Each prints one or
# more lines name_ratio=<x>: this system's time divided by a baseline measured
# in the same go on the same machine (lower is better, 1.0 = as fast).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh --target benchmarks >/dev/null
export TESSALINE_DIST_DIR="$PWD/build/dist"
export TESSALINE_BENCH_BIN="$PWD/build/bench"
status=0
for b in build/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" || status=1
done
for s in bench/bench_*.sh; do
  [ -f "$s" ] || continue
  echo "== $(basename "$s")"
  bash "$s" || status=1
done
exit $status
