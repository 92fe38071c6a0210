#!/usr/bin/env bash
# A throw-away PostgreSQL server on loopback for the tests, the benchmarks and the PostgreSQL
# example. The cluster lives in a fresh temporary folder; its whereabouts go into a small state
# file (shell assignments) that the tests and scripts read:
#
#   scripts/pg-server.sh start STATE   starts a server (or keeps the one STATE names if it still
#                                      runs) and writes STATE: PG_DIR, PG_PORT, PG_HOST, PG_USER,
#                                      PG_BIN
#   scripts/pg-server.sh stop STATE    stops the server STATE names, removes its folder and STATE
#   scripts/pg-server.sh status STATE  exit 0 when the server STATE names is up
#
# The server listens on 127.0.0.1 at a free port from a random one in 54329..58328 upward (a
# server a test stops and starts again wants its port back meanwhile), with its socket in its own
# folder, as user "postgres" with trust authentication, except for the role "kp_secret"
# (password "right"), which must give its password (scram-sha-256) so that a wrong one can be
# tried. Started as root, the server runs as the system user postgres (PostgreSQL refuses root).
# Exit status 3 means the server programs are not installed.
set -euo pipefail

usage() {
  echo "usage: $0 start|stop|status STATE-FILE" >&2
  exit 2
}
[ $# -eq 2 ] || usage
action="$1"
state="$2"

pg_bin() {
  local b
  for b in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
    [ -x "$b/initdb" ] && { echo "$b"; return 0; }
  done
  command -v initdb >/dev/null 2>&1 && { dirname "$(command -v initdb)"; return 0; }
  return 1
}

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

port_free() {
  ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

running() {
  [ -f "$state" ] || return 1
  # shellcheck disable=SC1090
  . "$state"
  [ -d "${PG_DIR:-}/data" ] && as_owner "$PG_BIN/pg_ctl" -D "$PG_DIR/data" status >/dev/null 2>&1
}

case "$action" in
  status)
    running
    ;;
  start)
    if running; then
      echo "PostgreSQL already running on 127.0.0.1:$PG_PORT ($PG_DIR)"
      exit 0
    fi
    bin="$(pg_bin)" || { echo "PostgreSQL server programs are not installed" >&2; exit 3; }
    dir="$(mktemp -d /tmp/kp-pg-XXXXXX)"
    chmod 755 "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -U postgres -E UTF8 --locale=C.UTF-8 -A trust >"$dir/initdb.log" 2>&1 || {
      cat "$dir/initdb.log" >&2
      exit 1
    }
    # The password role first: pg_hba.conf is read top down.
    hba="$dir/data/pg_hba.conf"
    as_owner sh -c "{ echo 'host all kp_secret 127.0.0.1/32 scram-sha-256'; cat '$hba'; } > '$hba.new' && mv '$hba.new' '$hba'"
    # Servers started side by side may pick the same free port; the loser tries the next one.
    # The first port tried is random: the lowest free port is often one that a test's server
    # has just given up for a moment and is about to take again.
    port=$((54329 + RANDOM % 4000))
    started=0
    for attempt in $(seq 1 20); do
      while ! port_free "$port"; do port=$((port + 1)); done
      if as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/log" -w -t 60 start \
        -o "-k $dir -p $port -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200" >/dev/null 2>&1; then
        started=1
        break
      fi
      port=$((port + 1 + RANDOM % 8))
    done
    if [ "$started" -ne 1 ]; then
      cat "$dir/log" >&2
      exit 1
    fi
    "$bin/psql" -q -h 127.0.0.1 -p "$port" -U postgres -d postgres \
      -c "CREATE ROLE kp_secret LOGIN SUPERUSER PASSWORD 'right'" >/dev/null
    mkdir -p "$(dirname "$state")"
    cat >"$state" <<EOF
PG_DIR=$dir
PG_PORT=$port
PG_HOST=127.0.0.1
PG_USER=postgres
PG_BIN=$bin
EOF
    echo "PostgreSQL running on 127.0.0.1:$port ($dir)"
    ;;
  stop)
    [ -f "$state" ] || exit 0
    # shellcheck disable=SC1090
    . "$state"
    if [ -d "${PG_DIR:-}/data" ]; then
      as_owner "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -m fast -w stop >/dev/null 2>&1 || true
      rm -rf "$PG_DIR"
    fi
    rm -f "$state"
    ;;
  *)
    usage
    ;;
esac
