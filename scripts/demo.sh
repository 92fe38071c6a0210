#!/usr/bin/env bash
# The demo: runs the stratum command on the sample section with the reference host and writes
# the resulting map (GeoJSON), its picture (SVG) and the map-control calls into out/. Called by
# `make demo` as `scripts/demo.sh build/bin`. The stratum lexicon is examples/lexicon.sqlite,
# reached through examples/isoDB.udl: examples/ is the host's --config-dir.
set -euo pipefail
bin="${1:-build/bin}"
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(cd "$bin" && pwd)"
out="$root/out"
mkdir -p "$out"

status=0
"$bin/sectionhost" --map "$root/examples/section.geojson" --script "$root/examples/build-stratum.txt" \
  --plugin "$bin/libkpSect03StratumSel.so" --config-dir "$root/examples" \
  --out "$out/section-with-stratum.geojson" --svg "$out/section-with-stratum.svg" \
  --calls "$out/calls.txt" || status=$?
echo
echo "exit status: $status"
echo "map:     $out/section-with-stratum.geojson"
echo "picture: $out/section-with-stratum.svg"
echo "calls:   $out/calls.txt"
exit "$status"
