#!/usr/bin/env bash
# Browser tests of the console: installs what is missing (lighttpd, Chromium,
# Node.js and the pinned playwright-core), builds, lays out a seeded
# installation under a temporary folder, serves it with lighttpd on a free
# loopback port and drives Chromium through the console
# (tests/browser/console.test.js), then through every event with hostile
# parameters (tests/browser/hostile.test.js). Exits 0 only when every check
# passed.
#
#   scripts/test-browser.sh [--build DIR] [--save-screenshots] [--keep]
#
# --save-screenshots writes the pages' pictures to docs/screenshots/;
# --keep leaves the installation in place and prints where it is.
set -uo pipefail
cd "$(dirname "$0")/.."
build=build shots= keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=${2:?--build needs a folder}; shift 2 ;;
    --save-screenshots) shots=$PWD/docs/screenshots; shift ;;
    --keep) keep=1; shift ;;
    *) echo "test-browser.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
fail() { echo "test-browser.sh: $*"; echo "browser checks: not run"; exit 1; }

extra=(lighttpd chromium curl)
command -v node >/dev/null || extra+=(nodejs)
command -v npm >/dev/null || extra+=(npm)
scripts/install-deps.sh "${extra[@]}" >/dev/null || fail "cannot install ${extra[*]}"
pinned=$(node -p 'require("./package.json").dependencies["playwright-core"]')
have=$(node -p 'try { require("playwright-core/package.json").version } catch (e) { "" }' 2>/dev/null)
if [ "$have" != "$pinned" ]; then
  npm ci --no-audit --no-fund --loglevel=error >/dev/null || fail "npm ci failed"
fi

top=$(mktemp -d /tmp/za-browser.XXXXXX) || fail "no temporary folder"
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  if [ "$keep" = 1 ]; then echo "installation kept in $top"; else rm -rf "$top"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# ZA_PORT picks the port; else any free one.
port=${ZA_PORT:-$(node -e 'const s = require("net").createServer();
  s.listen(0, "127.0.0.1", () => { console.log(s.address().port); s.close(); });')} || fail "no free port"
password=$(head -c 32 /dev/urandom | tr -dc 'A-Za-z0-9' | head -c 12)
./run.sh --build "$build" --prefix "$top" --port "$port" --people 240 --admin-password "$password" \
  --no-serve >"$top.prepare.log" 2>&1 || { cat "$top.prepare.log"; rm -f "$top.prepare.log"; fail "run.sh failed"; }
rm -f "$top.prepare.log"

# People the checks act on: a shared group with three members whose owner
# changes, and a person who gets an account.
zastore() { "$top/bin/zastore" "$@" --top "$top" >/dev/null || fail "zastore $* failed"; }
zastore person add qa.alice --name "Alice Quinn" --email alice@localhost
zastore person add qa.bob --name "Bob Quarry" --email bob@localhost
zastore person add qa.new --name "Nora Newcomer" --email nora@localhost
for who in qa.alice qa.bob; do echo "$password-$who" | zastore account add "$who" "$who"; done
zastore group add qa-team "QA Browser Team" --owner qa.alice --shared --member qa.bob --member operator

lighttpd -D -f "$top/config/lighttpd.conf" >"$top/logs/lighttpd.out" 2>&1 &
server=$!
for _ in $(seq 50); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  kill -0 "$server" 2>/dev/null || { cat "$top/logs/lighttpd.out"; fail "lighttpd did not start"; }
  sleep 0.2
done

[ -n "$shots" ] && mkdir -p "$shots"
ZA_BASE_URL=http://127.0.0.1:$port ZA_ADMIN_LOGIN=operator ZA_ADMIN_PASSWORD=$password \
ZA_GROUP_NAME="QA Browser Team" ZA_GROUP_OWNER_NAME="Alice Quinn" ZA_GROUP_HEIR_NAME="Bob Quarry" \
ZA_NEW_UID=qa.new ZA_SCREENSHOTS=$shots ZA_CHROMIUM=/usr/bin/chromium \
  timeout 300 node tests/browser/console.test.js
status=$?
# What users type never runs as script: every parameter of every event.
ZA_BASE_URL=http://127.0.0.1:$port ZA_ADMIN_LOGIN=operator ZA_ADMIN_PASSWORD=$password ZA_CHROMIUM=/usr/bin/chromium \
  timeout 300 node tests/browser/hostile.test.js || status=1
# The program's standard error goes to lighttpd's (lighttpd.out); in a
# sanitizer build that is where its reports are.
errors=$top/logs/lighttpd-error.log
if grep -qE 'Sanitizer|runtime error:' "$top/logs/lighttpd.out"; then
  echo "FAIL the program reported memory or undefined-behaviour errors:"
  grep -E -A12 'ERROR: .*Sanitizer|runtime error:' "$top/logs/lighttpd.out" | head -n 60
  status=1
elif [ $status -ne 0 ] && [ -s "$errors" ]; then
  echo "--- lighttpd error log (last lines)"; tail -n 20 "$errors"
fi
exit $status
