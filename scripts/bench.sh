#!/usr/bin/env bash
# Runs every benchmark binary (bench_*) found in the bin folder given as $1 (default build/bin).
# Extra arguments go to each binary, e.g. --benchmark_filter=Fast.
set -euo pipefail
bin="${1:-build/bin}"
shift || true
found=0
for b in "$bin"/bench_*; do
  [ -x "$b" ] || continue
  found=1
  echo "== $(basename "$b")"
  "$b" "$@"
done
if [ "$found" -eq 0 ]; then
  echo "no benchmark binaries in $bin (is libbenchmark-dev installed?)" >&2
  exit 1
fi
