#!/usr/bin/env bash
# The demo: runs the stratum command on the sample section with the reference host and writes
# the resulting map (GeoJSON) and its picture (SVG) into out/. Called by `make demo` as
# `scripts/demo.sh build/bin`. The stratum lexicon (examples/strata.sql) is loaded into a SQLite
# database next to a data-link file isoDB.udl in out/config, the host's --config-dir.
# Until the plug-in is built, the host's self-check runs instead and the sample is drawn as is.
set -euo pipefail
bin="${1:-build/bin}"
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bin="$(cd "$bin" && pwd)"
out="$root/out"
mkdir -p "$out/config"

host="$bin/sectionhost"
plugin="$bin/libkpSect03StratumSel.so"
map="$root/examples/section.geojson"

if [ -x "$plugin" ] || [ -f "$plugin" ]; then
  rm -f "$out/config/strata.sqlite"
  sqlite3 "$out/config/strata.sqlite" < "$root/examples/strata.sql"
  # A data-link file as Windows writes it: UTF-16LE with a byte-order mark, CRLF lines.
  printf '[oledb]\r\n; Everything after this line is an OLE DB initstring\r\nProvider=SQLite;Data Source=%s\r\n' \
    "$out/config/strata.sqlite" | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$out/config/isoDB.udl"
  status=0
  "$host" --map "$map" --script "$root/examples/build-stratum.txt" --plugin "$plugin" \
    --config-dir "$out/config" --out "$out/section-with-stratum.geojson" --svg "$out/section-with-stratum.svg" \
    --calls "$out/calls.txt" || status=$?
  echo
  echo "exit status: $status"
  echo "map:     $out/section-with-stratum.geojson"
  echo "picture: $out/section-with-stratum.svg"
  echo "calls:   $out/calls.txt"
  exit "$status"
fi

echo "(the plug-in $plugin is not built yet: running the host's self-check)"
"$host" --self-check --map "$map"
printf '# nothing to run: the map is read and written back\n' > "$out/empty-script.txt"
"$host" --map "$map" --script "$out/empty-script.txt" --out "$out/section.geojson" --svg "$out/section.svg"
echo "map:     $out/section.geojson"
echo "picture: $out/section.svg"
