#!/usr/bin/env bash
# Rebuilds a stratum lexicon database from its SQL text: scripts/build-lexicon.sh [SQL] [DB].
# Defaults: examples/lexicon.sql into examples/lexicon.sqlite (the database that
# examples/isoDB.udl names). The old database is replaced.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
sql="${1:-$root/examples/lexicon.sql}"
db="${2:-$root/examples/lexicon.sqlite}"
tmp="$db.tmp.$$"
rm -f "$tmp"
sqlite3 "$tmp" < "$sql"
mv -f "$tmp" "$db"
echo "$db: $(sqlite3 "$db" 'select count(*) from dcmc') rows"
