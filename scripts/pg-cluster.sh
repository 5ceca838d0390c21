#!/usr/bin/env bash
# A private PostgreSQL cluster for the demonstration and the tests: its data,
# log and Unix socket all live in one folder, and it listens on no TCP port.
#
#   scripts/pg-cluster.sh start DIR   # initialises DIR on first use, starts the server
#   scripts/pg-cluster.sh stop DIR    # stops the server that DIR's pid file names
#   scripts/pg-cluster.sh psql DIR [psql args...]
#   scripts/pg-cluster.sh configure DIR TOP  # points the installation TOP at
#                                            # the cluster, with the demo's employee table
#
# After start, DIR/socket is the socket folder (the host to connect to), the
# database "zarvo" belongs to the role "zarvo", whose password is in
# DIR/password. The server refuses root, so when run as root the cluster
# belongs to the system's "postgres" account (created by Debian's package).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cmd=${1:-} dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { sed -n '2,12p' "$0" >&2; exit 2; }
shift 2
pgbin=${ZA_PGBIN:-/usr/lib/postgresql/15/bin}

as_owner() { # runs a command as the cluster's owner
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
server_pid() { [ -f "$dir/data/postmaster.pid" ] && head -n1 "$dir/data/postmaster.pid"; }
running() { local pid; pid=$(server_pid) && [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; }

case $cmd in
start)
  [ -x "$pgbin/initdb" ] || "$here/install-deps.sh" postgresql postgresql-client >&2
  mkdir -p "$dir"; dir=$(cd "$dir" && pwd)
  if [ "$(id -u)" -eq 0 ]; then
    chmod 0711 "$dir"
    as_owner test -x "$dir" || { echo "pg-cluster: the postgres account cannot reach $dir" >&2; exit 1; }
  fi
  if [ ! -s "$dir/data/PG_VERSION" ]; then
    rm -rf "$dir/data" "$dir/socket"
    mkdir -p "$dir/data" "$dir/socket"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir/data" "$dir/socket"
    superpass=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
    password=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
    printf '%s\n' "$superpass" > "$dir/superpass"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir/superpass"
    as_owner "$pgbin/initdb" -D "$dir/data" -U postgres --pwfile="$dir/superpass" \
      --auth-local=scram-sha-256 --auth-host=reject -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
      { cat "$dir/initdb.log" >&2; exit 1; }
    printf '%s\n' "$password" > "$dir/password"
    chmod 0600 "$dir/password" "$dir/superpass"
    fresh=1
  fi
  if ! running; then
    as_owner "$pgbin/pg_ctl" -D "$dir/data" -l "$dir/data/server.log" -w -t 60 \
      -o "-c listen_addresses='' -k $dir/socket -c fsync=off -c full_page_writes=off" start >/dev/null ||
      { tail -n 20 "$dir/data/server.log" >&2; exit 1; }
  fi
  if [ "${fresh:-0}" = 1 ]; then
    PGPASSWORD=$(cat "$dir/superpass") "$pgbin/psql" -X -q -h "$dir/socket" -U postgres -d postgres \
      -v ON_ERROR_STOP=1 -v pw="$(cat "$dir/password")" <<'SQL'
CREATE ROLE zarvo LOGIN PASSWORD :'pw';
CREATE DATABASE zarvo OWNER zarvo;
SQL
  fi
  echo "PostgreSQL runs with pid $(server_pid), socket folder $dir/socket"
  ;;
stop)
  pid=$(server_pid || true)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -INT "$pid"  # fast shutdown: sessions are ended, data is flushed
    for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid"; fi
  fi
  ;;
configure)
  top=${1:?configure needs the top folder of an installation}
  "$top/bin/zastore" sql-settings --server "$dir/socket" --database zarvo --user zarvo \
    --table za_demo_employees --key emp_id --top "$top" <"$dir/password"
  "$top/bin/zastore" init --demo-employees --top "$top"
  ;;
psql)
  PGPASSWORD=$(cat "$dir/superpass") exec "$pgbin/psql" -X -h "$dir/socket" -U postgres -d zarvo "$@"
  ;;
*) echo "pg-cluster: unknown command $cmd" >&2; exit 2 ;;
esac
