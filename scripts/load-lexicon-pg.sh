#!/usr/bin/env bash
# Loads the sample stratum lexicon (examples/lexicon.sql, UTF-8) into a PostgreSQL database and
# writes the data-link file that names it, for the demo against a database server:
#
#   scripts/load-lexicon-pg.sh [--host H] [--port P] [--database D] [--user U] [--password W]
#                              [--udl-dir DIR]
#
# Each option falls back to the environment (PGHOST, PGPORT, PGDATABASE, PGUSER, PGPASSWORD),
# then to: database "strata", user "postgres", no password, DIR out/postgres (the committed
# example examples/postgres/isoDB.udl, which names 127.0.0.1:54329, is never rewritten). Without a
# host and a port the script uses a server of its own: scripts/pg-server.sh with the state file
# out/pg-server.env, started unless it already runs, and left running (the script prints how
# to stop it). The database is made (UTF-8) when it does not exist; table dcmc is replaced in
# one transaction. DIR/isoDB.udl (UTF-16LE with a byte-order mark and CRLF lines, as Windows
# writes data-link files) is rewritten when it does not name this server, database and user.
# The lexicon's script is plain SQL that PostgreSQL runs as written (VARCHAR, INTEGER, '--'
# comments), so it is not translated.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
host="${PGHOST:-}"
port="${PGPORT:-}"
database="${PGDATABASE:-strata}"
user="${PGUSER:-postgres}"
password="${PGPASSWORD:-}"
udl_dir="$root/out/postgres"

usage() {
  sed -n '5,6p' "$0" | sed 's/^#  //' >&2
  exit 2
}
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case "$1" in
    --host) host="$2" ;;
    --port) port="$2" ;;
    --database) database="$2" ;;
    --user) user="$2" ;;
    --password) password="$2" ;;
    --udl-dir) udl_dir="$2" ;;
    *) usage ;;
  esac
  shift 2
done
case "$database" in
  *[!A-Za-z0-9_]* | "") echo "database name must be letters, digits and _: $database" >&2; exit 2 ;;
esac

if [ -z "$host" ] && [ -z "$port" ]; then
  state="$root/out/pg-server.env"
  "$root/scripts/pg-server.sh" start "$state"
  # shellcheck disable=SC1090
  . "$state"
  host="$PG_HOST"
  port="$PG_PORT"
  started="$state"
fi
host="${host:-127.0.0.1}"
port="${port:-5432}"

export PGPASSWORD="$password" PGCLIENTENCODING=UTF8 PGOPTIONS="-c client_min_messages=warning"
psql_to() {
  psql -X -q -v ON_ERROR_STOP=1 -h "$host" -p "$port" -U "$user" -d "$@"
}
if [ "$(psql_to postgres -tAc "SELECT 1 FROM pg_database WHERE datname = '$database'")" != 1 ]; then
  psql_to postgres -c "CREATE DATABASE $database ENCODING 'UTF8' TEMPLATE template0"
fi
psql_to "$database" -1 -c "DROP TABLE IF EXISTS dcmc" -f "$root/examples/lexicon.sql"
rows="$(psql_to "$database" -tAc "SELECT count(*) FROM dcmc")"
echo "$database on $host:$port: $rows rows in dcmc"

odbc="Driver={PostgreSQL Unicode};Server=$host;Port=$port;Database=$database;Uid=$user;Pwd=$password;"
text=$'[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n'"Provider=MSDASQL.1;Extended Properties=\"$odbc\""$'\r\n'
udl="$udl_dir/isoDB.udl"
mkdir -p "$udl_dir"
tmp="$udl.tmp.$$"
{ printf '\xff\xfe'; printf '%s' "$text" | iconv -f UTF-8 -t UTF-16LE; } >"$tmp"
if cmp -s "$tmp" "$udl"; then
  rm -f "$tmp"
else
  mv -f "$tmp" "$udl"
  echo "wrote $udl for $host:$port"
fi

if [ -n "${started:-}" ]; then
  echo "The server keeps running; stop it with: scripts/pg-server.sh stop ${started#"$root"/}"
fi
