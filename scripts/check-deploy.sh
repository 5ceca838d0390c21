#!/usr/bin/env bash
# Checks the web server configurations under install/apache, install/nginx
# and install/lighttpd on this machine (as root): installs apache2, nginx,
# fcgiwrap and lighttpd from Debian where missing, prepares a seeded
# installation with run.sh, serves it with a private Apache httpd (mod_cgid,
# basic authentication), a private nginx with fcgiwrap and a private lighttpd
# on free loopback ports, and fetches pages with curl. The
# system's own web server set-up is not touched.
#
#   [ZA_PORTS=FIRST-LAST] scripts/check-deploy.sh [--build DIR] [--keep]
set -uo pipefail
cd "$(dirname "$0")/.."
build=build keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=${2:?--build needs a folder}; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "check-deploy.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
[ "$(id -u)" = 0 ] || { echo "check-deploy.sh: run it as root (the servers switch to www-data)"; exit 2; }
scripts/install-deps.sh apache2 apache2-utils nginx fcgiwrap lighttpd curl >/dev/null || exit 1
user=www-data group=www-data

top=$(mktemp -d /tmp/za-deploy.XXXXXX) || exit 1
chmod 755 "$top"
pids=()
cleanup() {
  local p; for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  if [ "$keep" = 1 ]; then echo "installation kept in $top"; else rm -rf "$top"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

password=$(head -c 32 /dev/urandom | tr -dc 'A-Za-z0-9' | head -c 12)
./run.sh --build "$build" --prefix "$top" --people 40 --admin-password "$password" --no-serve \
  >"$top/prepare.log" 2>&1 || { cat "$top/prepare.log"; exit 1; }
"$top/bin/zastore" person add viewer --name "Vic Viewer" --top "$top" >/dev/null &&
  echo "$password" | "$top/bin/zastore" account add viewer viewer --top "$top" >/dev/null || exit 1
# The CGI program runs as the web server's user: it writes the log, lock
# files and the store.
chown -R "$user:$group" "$top/config" "$top/data" "$top/logs"

passed=0 failed=0
check() { # description, then a command that succeeds when the check passes
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok   $what"; else failed=$((failed + 1)); echo "FAIL $what"; fi
}
# A free loopback port; within ZA_PORTS (such as 43000-43099) when that is set.
free_port() {
  python3 -c 'import os, socket
lo, hi = (int(p) for p in (os.environ.get("ZA_PORTS") or "0-0").split("-"))
for port in range(lo, hi + 1):
    s = socket.socket()
    try:
        s.bind(("127.0.0.1", port)); print(s.getsockname()[1]); break
    except OSError:
        pass
    finally:
        s.close()' 2>/dev/null ||
    node -e 'const s = require("net").createServer(); s.listen(0, "127.0.0.1", () => { console.log(s.address().port); s.close(); });'
}
fill() { # template, output, then KEY=VALUE pairs
  local in=$1 out=$2; shift 2
  local args=() kv
  for kv in "$@"; do args+=(-e "s|@${kv%%=*}@|${kv#*=}|g"); done
  mkdir -p "$(dirname "$out")"; sed "${args[@]}" "$in" > "$out"
}
wait_up() { # url: true once the server answers, within 10 seconds
  local i; for i in $(seq 50); do curl -s -o /dev/null "$1" && return 0; sleep 0.2; done; return 1
}
fetch() { curl -s --max-time 20 "$@"; }
has() { grep -q -- "$1" <<<"$2"; }
lacks() { ! grep -q -- "$1" <<<"$2"; }
status_of() { fetch -o /dev/null -w '%{http_code}' "$@"; }

# The checks every server must pass; extra curl options (credentials) follow.
common_checks() { # name, base url, curl options...
  local name=$1 base=$2; shift 2
  local jar=$top/$name.cookies page
  check "$name: / leads to the console" \
    has "/admin/bin/operadmin.cgi" "$(fetch -o /dev/null -w '%{redirect_url}' "$@" "$base/")"
  check "$name: images are served" \
    has "image/gif" "$(fetch -o /dev/null -w '%{content_type}' "$@" "$base/admin/bin/images/style0/mlogin.gif")"
  check "$name: the message catalogue is not served" test "$(status_of "$@" "$base/admin/bin/adminmsg.lst")" = 403
  # However the path is spelled, no file of a program folder but the programs
  # and their images comes back.
  local spelling
  for spelling in adminmsg.lst/ "adminmsg.lst;x" adminmsg%2elst adminmsg%2Elst/ operadmin.js operadmin.js/ \
      ./adminmsg.lst images/../adminmsg.lst "operadmin.cgi/../adminmsg.lst"; do
    check "$name: /admin/bin/$spelling is refused" \
      lacks "BEGIN:vNameList\\|function " "$(fetch --path-as-is "$@" "$base/admin/bin/$spelling")"
  done
  check "$name: //admin//bin//adminmsg.lst is refused" \
    lacks "BEGIN:vNameList" "$(fetch --path-as-is "$@" "$base//admin//bin//adminmsg.lst")"
  page=$(fetch -c "$jar" -b "$jar" "$@" --data-urlencode login=viewer --data-urlencode "password=$password" \
    "$base/admin/bin/operadmin.cgi")
  check "$name: a non-administrator is refused" has "You are not on the list of valid administrators." "$page"
  page=$(fetch -c "$jar" -b "$jar" "$@" --data-urlencode login=operator --data-urlencode "password=$password" \
    "$base/admin/bin/operadmin.cgi")
  check "$name: the administrator logs in through the form" has 'name="application_navbar"' "$page"
  page=$(fetch -b "$jar" "$@" "$base/admin/bin/operadmin.cgi?program=genUid2NamePage")
  check "$name: a logged-in page lists the users" has "Vic Viewer" "$page"
  page=$(fetch -b "$jar" "$@" "$base/admin/bin/operadmin.cgi?program=genViewLogFilePage&sub_program=show&msg_type=All")
  check "$name: the log page reads the installation's log" has "Current size of log file = [1-9]" "$page"
}

echo "== Apache httpd"
port=$(free_port)
fill install/apache/httpd.conf.in "$top/config/apache/httpd.conf" TOP="$top" BIND=127.0.0.1 PORT="$port" \
  USER="$user" GROUP="$group"
fill install/apache/operadmin-site.conf.in "$top/config/apache/operadmin-site.conf" TOP="$top" BIND=127.0.0.1 \
  PORT="$port"
htpasswd -bc "$top/config/htpasswd" operator "web-$password" 2>/dev/null
htpasswd -b "$top/config/htpasswd" viewer "web-$password" 2>/dev/null
chown "$user:$group" "$top/config/htpasswd"
apache2 -d "$top" -f "$top/config/apache/httpd.conf" -DFOREGROUND >"$top/logs/apache.out" 2>&1 &
pids+=($!)
base=http://127.0.0.1:$port
if wait_up "$base/"; then
  check "apache: the console asks for web-server credentials" \
    test "$(status_of "$base/admin/bin/operadmin.cgi")" = 401
  page=$(fetch -u "operator:web-$password" "$base/admin/bin/operadmin.cgi?program=navbar")
  check "apache: an administrator known to the server is logged in without the form" \
    has "side_managegroups.gif" "$page"
  check "apache: a web-server login has no logout button" lacks "side_blogout.gif" "$page"
  page=$(fetch -u "viewer:web-$password" "$base/admin/bin/operadmin.cgi?program=navbar")
  check "apache: a web-server user who is no administrator gets the login form" has 'name="loginform"' "$page"
  common_checks apache "$base" -u "viewer:web-$password"
else
  check "apache starts" false; cat "$top/logs/apache.out" "$top/logs/apache-error.log" 2>/dev/null
fi

echo "== nginx with fcgiwrap"
port=$(free_port) socket=$top/logs/fcgiwrap.sock
fill install/nginx/nginx.conf.in "$top/config/nginx/nginx.conf" TOP="$top" USER="$user" FCGI_SOCKET="$socket"
fill install/nginx/operadmin-site.conf.in "$top/config/nginx/operadmin-site.conf" TOP="$top" BIND=127.0.0.1 \
  PORT="$port" FCGI_SOCKET="$socket"
runuser -u "$user" -- fcgiwrap -s "unix:$socket" >"$top/logs/fcgiwrap.out" 2>&1 &
pids+=($!)
nginx -c "$top/config/nginx/nginx.conf" -g 'daemon off;' >"$top/logs/nginx.out" 2>&1 &
pids+=($!)
base=http://127.0.0.1:$port
if wait_up "$base/"; then
  check "nginx: the console shows its login form" has 'name="loginform"' \
    "$(fetch "$base/admin/bin/operadmin.cgi")"
  common_checks nginx "$base"
else
  check "nginx starts" false; cat "$top/logs/nginx.out" "$top/logs/nginx-error.log" 2>/dev/null
fi

echo "== lighttpd"
port=$(free_port)
fill install/lighttpd/lighttpd.conf.in "$top/config/lighttpd.conf" TOP="$top" BIND=127.0.0.1 PORT="$port"
runuser -u "$user" -- lighttpd -D -f "$top/config/lighttpd.conf" >"$top/logs/lighttpd.out" 2>&1 &
pids+=($!)
base=http://127.0.0.1:$port
if wait_up "$base/"; then
  common_checks lighttpd "$base"
else
  check "lighttpd starts" false; cat "$top/logs/lighttpd.out" "$top/logs/lighttpd-error.log" 2>/dev/null
fi

echo "deployment checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
