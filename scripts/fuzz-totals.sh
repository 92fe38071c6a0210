#!/usr/bin/env bash
# Sums fuzz/runs.tsv per target: runs, seconds, executions (all, and those of the runs that
# found nothing), the best coverage and features reached, and how many runs found a failing
# input. Markdown table on standard output.
set -euo pipefail
runs=$(cd "$(dirname "$0")/.." && pwd)/fuzz/runs.tsv
[ -f "$runs" ] || { echo "no runs yet ($runs)"; exit 0; }
awk -F'\t' 'NR > 1 {
    n[$2]++; s[$2] += $3; e[$2] += $4
    if ($5 > c[$2]) c[$2] = $5
    if ($6 > f[$2]) f[$2] = $6
    if ($7 != "clean") found[$2]++; else clean[$2] += $4
  }
  END {
    print "| target | runs | seconds | executions | in clean runs | best cov | best ft | runs that found a fault |"
    print "|---|---|---|---|---|---|---|---|"
    for (t in n) printf "| `%s` | %d | %d | %d | %d | %d | %d | %d |\n", t, n[t], s[t], e[t], clean[t] + 0, c[t], f[t], found[t] + 0
  }' "$runs" | { read -r h; read -r r; echo "$h"; echo "$r"; sort; }
