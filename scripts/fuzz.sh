#!/usr/bin/env bash
# Runs every fuzz target of the fuzz build for FUZZ_SECONDS seconds each (default 60), one after
# the other (the machines have two cores; the targets are single-threaded), and prints the
# executions and the coverage each reached.
#
#   scripts/fuzz.sh BIN_DIR            (make fuzz: BIN_DIR is build-fuzz/bin)
#   FUZZ_SECONDS=600 FUZZ_TARGETS="udl connstr" scripts/fuzz.sh build-fuzz/bin
#
# Each target starts from its corpus in the tree (fuzz/corpus/TARGET) and a working corpus of
# its own beside the build (BIN_DIR/../corpus/TARGET), which keeps what earlier runs found so a
# later run goes on from there; only the working corpus grows. A failing input (crash, leak,
# time-out, memory limit) is saved into the tree's corpus as crash-*, timeout-*, ... so it
# stays there as a regression case once mended. Every run appends a line to fuzz/runs.tsv
# (date, target, seconds, executions, coverage, features, outcome); docs/fuzzing.md sums them.
# Exit status 1 when any target found a failing input.
set -uo pipefail
bin=${1:?usage: scripts/fuzz.sh BIN_DIR}
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
targets=${FUZZ_TARGETS:-$(cd "$bin" && ls fuzz_* 2>/dev/null | sed 's/^fuzz_//')}
work=$(cd "$bin/.." && pwd)/corpus
runs=$top/fuzz/runs.tsv
[ -f "$runs" ] || printf 'date\ttarget\tseconds\texecutions\tcoverage\tfeatures\toutcome\n' > "$runs"

status=0
printf '%-16s %8s %12s %8s %8s  %s\n' target seconds executions cov ft outcome
for t in $targets; do
  exe=$bin/fuzz_$t
  [ -x "$exe" ] || { echo "no fuzz target $exe" >&2; status=1; continue; }
  mkdir -p "$work/$t" "$top/fuzz/corpus/$t"
  dict=()
  [ -f "$top/fuzz/dict/$t.dict" ] && dict=(-dict="$top/fuzz/dict/$t.dict")
  log=$work/$t.log
  KP_SOURCE_DIR=$top "$exe" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$top/fuzz/corpus/$t/" "${dict[@]}" \
    "$work/$t" "$top/fuzz/corpus/$t" > "$log" 2>&1
  code=$?
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  outcome=clean
  if [ $code -ne 0 ]; then
    outcome="FOUND $(grep -o 'Test unit written to [^ ]*' "$log" | tail -1 | sed 's/Test unit written to //')"
    status=1
  fi
  printf '%-16s %8s %12s %8s %8s  %s\n' "$t" "$seconds" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$outcome"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%Y-%m-%dT%H:%M:%SZ)" "$t" "$seconds" "${execs:-0}" \
    "${cov:-0}" "${ft:-0}" "${outcome%% *}" >> "$runs"
  [ $code -ne 0 ] && tail -n 30 "$log" >&2
done
exit $status
