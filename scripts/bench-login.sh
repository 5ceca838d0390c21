#!/usr/bin/env bash
# Times failed logins through the installed console: a login name nobody has
# against a real administrator's name with a wrong password. With signed
# sessions the two must cost the same, so that the time of an answer does not
# tell which login names exist. Each request runs operadmin.cgi as a web
# server would; the throttling table is removed before each one, so that the
# back-off never answers in place of the password check.
# Usage: scripts/bench-login.sh [RUNS]   (default 40 of each, interleaved)
# Builds into build/ (BUILD_DIR to change); the tree lives in a temporary folder.
# Exits 1 when the medians differ by more than 20%.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-40}
build=${BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target operadmin.cgi zastore zafiledblib_cgi zaldapdblib_cgi suite.cgi selector.cgi >/dev/null
top=$(mktemp -d /tmp/za-bench-login.XXXXXX)
trap 'rm -rf "$top"' EXIT
cmake --install "$build" --prefix "$top" >/dev/null
"$top/bin/zastore" --top "$top" init >/dev/null
"$top/bin/zastore" --top "$top" person add benchop --name "Bench Operator" >/dev/null
echo benchpw | "$top/bin/zastore" --top "$top" account add benchop benchop --admin >/dev/null

login() { # body; prints the wall time in microseconds
  local body=$1 start end
  rm -f "$top/config/loginThrottle"
  start=$(date +%s%N)
  (cd "$top/web/admin/bin" && printf '%s' "$body" |
    env -i REQUEST_METHOD=POST CONTENT_TYPE=application/x-www-form-urlencoded CONTENT_LENGTH=${#body} \
      SCRIPT_NAME=/admin/bin/operadmin.cgi SERVER_NAME=localhost SERVER_PORT=80 PATH=/usr/bin:/bin \
      ./operadmin.cgi >"$top/answer" 2>/dev/null)
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

login "login=benchop&password=warm-up" >/dev/null
grep -q "Incorrect password" "$top/answer" || { echo "bench-login.sh: the wrong password was not refused"; exit 1; }
unknown=() wrong=()
for ((i = 0; i < runs; i++)); do
  unknown+=("$(login "login=nobody$i&password=some-password")")
  wrong+=("$(login "login=benchop&password=some-password")")
done
grep -q "Incorrect password" "$top/answer" || { echo "bench-login.sh: a wrong password was throttled"; exit 1; }
u=$(printf '%s\n' "${unknown[@]}" | median)
w=$(printf '%s\n' "${wrong[@]}" | median)
awk -v u="$u" -v w="$w" -v n="$runs" 'BEGIN {
  d = (u > w ? u - w : w - u) / (u > w ? w : u) * 100;
  printf "median of %d logins: unknown name %.1f ms, wrong password %.1f ms, difference %.1f%%\n", n, u / 1000, w / 1000, d;
  exit d > 20 }'
