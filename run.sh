#!/usr/bin/env bash
# Builds the console, lays out an installation with a sample directory and
# serves it with lighttpd on http://127.0.0.1:PORT/ (in the foreground).
#
#   ./run.sh [--prefix DIR] [--port N] [--people N] [--admin-password PW]
#            [--build DIR] [--store file|sql] [--no-serve]
#
# DIR defaults to ./demo, PORT to 8080, the sample directory to 300 people.
# Running it again keeps the directory and sets a new administrator password
# once the new server answers. A server that this script started earlier for
# the same DIR (its process id is in DIR/logs/run.pid) is stopped first; when
# anything else holds the port, nothing is changed and the script says so.
# --no-serve prepares everything (lighttpd.conf included) and stops there.
# --store sql keeps the directory in a private PostgreSQL cluster in DIR/pgsql
# (started here, stopped when the server stops) instead of flat files.
set -euo pipefail
cd "$(dirname "$0")"
prefix=$PWD/demo port=8080 people=300 password= build=build serve=1 store=file
while [ $# -gt 0 ]; do
  case $1 in
    --prefix|--port|--people|--admin-password|--build|--store)
      [ $# -ge 2 ] || { echo "run.sh: $1 needs a value" >&2; exit 2; } ;;&
    --prefix) prefix=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    --people) people=$2; shift 2 ;;
    --admin-password) password=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --store) store=$2; shift 2 ;;
    --no-serve) serve=0; shift ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
case $store in file|sql) ;; *) echo "run.sh: --store takes file or sql" >&2; exit 2 ;; esac
case $port in ''|*[!0-9]*) echo "run.sh: --port takes a number" >&2; exit 2 ;; esac
case $people in ''|*[!0-9]*) echo "run.sh: --people takes a number" >&2; exit 2 ;; esac
[ "$people" -ge 10 ] || { echo "run.sh: --people takes at least 10" >&2; exit 2; }
case $password in *$'\n'*) echo "run.sh: the password cannot span lines" >&2; exit 2 ;; esac
mkdir -p "$prefix"; prefix=$(cd "$prefix" && pwd)

# The server this script started for this installation, if it still runs.
pidfile=$prefix/logs/run.pid
own_server() {
  local pid
  pid=$(cat "$pidfile" 2>/dev/null) || return 1
  case $pid in ''|*[!0-9]*) return 1 ;; esac
  case $(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline") in
    *lighttpd*" $prefix/config/lighttpd.conf"*) echo "$pid" ;;
    *) return 1 ;;
  esac
}
port_taken() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
earlier=
if [ "$serve" = 1 ]; then
  earlier=$(own_server) || earlier=
  served=$(sed -n 's/^server\.port = //p' "$prefix/config/lighttpd.conf" 2>/dev/null)
  if port_taken "$port" && { [ -z "$earlier" ] || [ "$served" != "$port" ]; }; then
    echo "run.sh: port $port is in use by another program; nothing was changed." >&2
    echo "        Stop it, or choose another port with --port N." >&2
    exit 1
  fi
fi

scripts/install-deps.sh lighttpd
echo "== building in $build"
cmake -S . -B "$build" >/dev/null
# Only what the installation holds: the programs, the store plug-ins, the tool.
cmake --build "$build" -j"${JOBS:-2}" --target operadmin.cgi suite.cgi selector.cgi zafiledblib_cgi zaldapdblib_cgi zasqldblib_cgi zastore >"$build/run.log" 2>&1 ||
  { tail -n 40 "$build/run.log"; exit 1; }
echo "== installing into $prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
zastore() { "$prefix/bin/zastore" "$@" --top "$prefix"; }

cluster=
if [ "$store" = file ] && [ -f "$prefix/config/configInfo.lst" ]; then
  sed -i 's/^empDirDBFormat:ZA_SQL$/empDirDBFormat:ZA_ZARVO/' "$prefix/config/configInfo.lst"
fi
if [ "$store" = sql ]; then
  # The cluster runs as the postgres account, which must reach DIR/pgsql.
  cluster=$prefix/pgsql
  scripts/pg-cluster.sh start "$cluster"
  trap 'scripts/pg-cluster.sh stop "$cluster"' EXIT
  scripts/pg-cluster.sh configure "$cluster" "$prefix" >/dev/null
fi
zastore init >/dev/null
# The demonstration logs every level, so that the operator's own actions
# show up in the log pages; an installation's default keeps errors alone.
config=$prefix/config/configInfo.lst
if [ ! -s "$config" ]; then
  printf 'BEGIN:vNameList\nlogLevel:ZA_INFO\nEND:vNameList\n' > "$config"
elif grep -qi '^logLevel:' "$config"; then
  sed -i 's/^logLevel:.*/logLevel:ZA_INFO/I' "$config"
else
  sed -i 's/^END:vNameList/logLevel:ZA_INFO\n&/' "$config"
fi

if ! zastore list people | grep -q .; then
  groups=$(( people / 10 > 3 ? people / 10 : 3 ))
  echo "== seeding $people people and $groups groups"
  zastore seed --people "$people" --groups "$groups" --noncurrent $(( people / 20 + 2 )) --seed 7
fi

# Some history in the shared log, spread over the last two weeks, so that the
# log pages have something to filter. Written only into an empty log, before
# the server runs, so no request can be appending at the same time.
seed_log() {
  local log=$prefix/logs/zalogfile i entry when
  [ -s "$log" ] && return 0
  local -a entries=("ZA_INFO:OperAdmin:Uid u000001 logged in"
    "ZA_AUDIT:Admin:Password changed for u000017"
    "ZA_INFO:GroupMgr:Document plan added to g000002"
    "ZA_WARNING:OrgView:Disk space of u000042 above 90% of its quota"
    "ZA_ERROR:GroupMgr:Could not reach the mail relay: connection refused"
    "ZA_AUDIT:OperAdmin:Group g000004 handed to u000011"
    "ZA_INFO:OrgView:Nightly usage rescan finished"
    "ZA_WARNING:Admin:Style style9 is not available, using style0"
    "ZA_ERROR:OrgView:Unable to read the card of u000077: no UID line")
  for i in $(seq 40 -1 1); do
    entry=${entries[i % ${#entries[@]}]}
    when=$(LC_ALL=C date -d "-$(( i / 3 )) days -$(( i * 7 )) minutes" '+%d-%b-%y %H.%M.%S %Z')
    printf '%s:%s:%s:%s\n' "$when" "$(cut -d: -f2 <<<"$entry")" "${entry%%:*}" "$(cut -d: -f3- <<<"$entry")"
  done > "$log"
}
seed_log

zastore list people | grep -q $'^operator\t' ||
  zastore person add operator --name "Console Operator" --email operator@localhost >/dev/null
set_password() {
  [ -n "$password" ] || password=$(head -c 64 /dev/urandom | tr -dc 'A-HJ-NP-Za-km-z2-9' | head -c 14)
  if zastore list accounts | grep -q $'^operator\t'; then
    printf '%s\n' "$password" | zastore account passwd operator >/dev/null
  else
    printf '%s\n' "$password" | zastore account add operator operator --admin >/dev/null
  fi
}

conf=$prefix/config/lighttpd.conf
sed -e "s|@TOP@|$prefix|g" -e "s|@PORT@|$port|g" -e "s|@BIND@|127.0.0.1|g" \
  install/lighttpd/lighttpd.conf.in > "$conf"
if [ "$serve" = 0 ]; then
  set_password
  echo "prepared $prefix (lighttpd -D -f $conf serves it)"
  echo "Login: operator  Password: $password"
  exit 0
fi

if [ -n "$earlier" ]; then
  echo "== stopping the earlier server of $prefix (process $earlier)"
  kill "$earlier" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$earlier" 2>/dev/null || break; sleep 0.1; done
fi
if port_taken "$port"; then
  echo "run.sh: port $port is still in use; the password was not changed." >&2
  exit 1
fi
lighttpd -D -f "$conf" &
server=$!
echo "$server" > "$pidfile"
stop() {
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
  if [ -n "$cluster" ]; then scripts/pg-cluster.sh stop "$cluster"; fi
  # A later run may have replaced this server and its record.
  [ "$(cat "$pidfile" 2>/dev/null)" = "$server" ] && rm -f "$pidfile"
}
trap stop EXIT
trap 'exit 130' INT TERM
for _ in $(seq 50); do
  port_taken "$port" && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
if ! kill -0 "$server" 2>/dev/null || ! port_taken "$port"; then
  echo "run.sh: lighttpd did not start; the password was not changed." >&2
  tail -n 5 "$prefix/logs/lighttpd-error.log" >&2 2>/dev/null
  exit 1
fi
set_password
echo
echo "Console:  http://127.0.0.1:$port/"
echo "Login:    operator"
echo "Password: $password"
echo "(server errors go to $prefix/logs/lighttpd-error.log; Ctrl-C stops the server)"
wait "$server"
