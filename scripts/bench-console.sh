#!/usr/bin/env bash
# Times the console's pages over a large generated directory: an installed
# tree with the flat-file store, seeded once, and a log of many lines. Each
# request runs operadmin.cgi as a web server would; the table gives the
# median wall time of several runs and the largest peak memory among them.
# Each request is measured beside its floor: a minimal C++ CGI program
# (scripts/bench-floor.cc) printing a page of the same size, run alternately
# with it, so that the ratio holds on a busy machine. The navigation pages,
# which show no data, are measured over NAV_RUNS alternating runs.
# Usage: scripts/bench-console.sh [PEOPLE [GROUPS [NONCURRENT [LOGLINES]]]]
#        (default 100000 20000 1000 100000; RUNS=5 runs per request,
#        NAV_RUNS=30; CONSOLE_PROGRAM=path times that operadmin.cgi instead
#        of the one built, on the same tree)
# Builds into build/ (BUILD_DIR to change) and keeps the tree in
# build/bench-console/ (BENCH_TOP to change) for the next run of the same size.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh time >/dev/null  # GNU time measures each request
people=${1:-100000}
groups=${2:-20000}
leavers=${3:-1000}
loglines=${4:-100000}
runs=${RUNS:-5}
build=${BUILD_DIR:-build}
top=${BENCH_TOP:-$build/bench-console}
cmake -S . -B "$build" >/dev/null
# Everything the installation holds must be built before it is laid out.
cmake --build "$build" -j"${JOBS:-2}" >/dev/null
top=$(mkdir -p "$top" && cd "$top" && pwd)
stamp="$people people, $groups groups, $leavers non-current"
if [ "$(cat "$top/seeded" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "${top:?}"/*
  cmake --install "$build" --prefix "$top" >/dev/null
  "$top/bin/zastore" --top "$top" init >/dev/null
  echo "== seeding $stamp"
  /usr/bin/env time -f "seed: %e s, %M KB peak" "$top/bin/zastore" --top "$top" seed \
    --people "$people" --groups "$groups" --noncurrent "$leavers" --seed 1
  "$top/bin/zastore" --top "$top" person add benchop --name "Bench Operator" >/dev/null
  echo benchpw | "$top/bin/zastore" --top "$top" account add benchop benchop --admin >/dev/null
  echo "$stamp" >"$top/seeded"
else
  # The program and its files may have changed since the tree was seeded.
  cmake --install "$build" --prefix "$top" >/dev/null
fi

# A log of the given length, levels and ages mixed, written afresh each run.
log="$top/logs/zalogfile"
awk -v n="$loglines" 'BEGIN {
  split("ZA_ERROR ZA_WARNING ZA_INFO ZA_AUDIT", level, " ");
  for (i = 0; i < n; i++) {
    t = systime() - (n - i) * 30;
    printf "%s:OperAdmin:%s:bench message %d\n", strftime("%d-%b-%y %H.%M.%S %Z", t), level[i % 4 + 1], i;
  }
}' >"$log"

if [ -n "${CONSOLE_PROGRAM:-}" ]; then cp "$CONSOLE_PROGRAM" "$top/web/admin/bin/operadmin.cgi"; fi
floor=$build/bench-floor
c++ -O2 -o "$floor" scripts/bench-floor.cc

# A real login through the form: its cookies carry the signed session.
cookies=$(cd "$top/web/admin/bin" && printf 'login=benchop&password=benchpw' |
  env -i REQUEST_METHOD=POST CONTENT_TYPE=application/x-www-form-urlencoded CONTENT_LENGTH=30 \
    SCRIPT_NAME=/admin/bin/operadmin.cgi SERVER_NAME=localhost SERVER_PORT=80 PATH=/usr/bin:/bin ./operadmin.cgi |
  sed -n 's/^Set-Cookie: \([^;]*\);.*/\1/p' | paste -sd ';' - | sed 's/;/; /g')
owner=$("$top/bin/zastore" --top "$top" list groups | awk -F'\t' '$4 == "shared" && !o { o = $3 } END { print o }')

# Runs one request (a program under web/ with a query, or the floor with a
# byte count) and prints its wall time in seconds and its peak memory in KB.
run_once() { # console QUERY PROGRAM | floor BYTES
  local start end peak
  start=$EPOCHREALTIME
  if [ "$1" = console ]; then
    peak=$(cd "$top/web/$(dirname "$3")" &&
      env -i REQUEST_METHOD=GET QUERY_STRING="$2" HTTP_COOKIE="$cookies" \
        SCRIPT_NAME="/$3" SERVER_NAME=localhost SERVER_PORT=80 PATH=/usr/bin:/bin \
        /usr/bin/time -f "%M" -o /dev/fd/3 "./$(basename "$3")" 3>&1 >"$top/bench.out" 2>/dev/null)
  else
    peak=$(/usr/bin/time -f "%M" -o /dev/fd/3 "$floor" "$2" 3>&1 >"$top/floor.out" 2>/dev/null)
  fi
  end=$EPOCHREALTIME
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }') $peak"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%-46s %9s %9s %7s %10s %10s\n' "request" "median s" "floor s" "ratio" "peak KB" "bytes"
bench() { # label, query[, program under web/, default the console[, runs]]
  local label=$1 query=$2 program=${3:-admin/bin/operadmin.cgi} n=${4:-$runs} times=() floors=() peak=0 bytes=0 t m
  for ((i = 0; i < n; i++)); do
    read -r t m < <(run_once console "$query" "$program")
    times+=("$t")
    ((m > peak)) && peak=$m
    bytes=$(wc -c <"$top/bench.out")
    read -r t m < <(run_once floor "$bytes")
    floors+=("$t")
  done
  if grep -q 'name="loginform"' "$top/bench.out"; then echo "$label: got the login page" >&2; exit 1; fi
  local median floorMedian
  median=$(printf '%s\n' "${times[@]}" | median)
  floorMedian=$(printf '%s\n' "${floors[@]}" | median)
  printf '%-46s %9s %9s %7s %10s %10s\n' "$label" "$median" "$floorMedian" \
    "$(awk -v a="$median" -v b="$floorMedian" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')" "$peak" "$bytes"
}
bench "side bar" "program=navbar" "" "${NAV_RUNS:-30}"
bench "front frame set" "program=front" "" "${NAV_RUNS:-30}"
bench "user IDs, first page" "program=genUid2NamePage"
bench "user IDs, page at 50000" "program=genUid2NamePage&last_count=50000"
bench "non-current users" "program=genDeletedUsersPage"
bench "resource usage: all users" "program=genUserDiskUsage&selection=all_u"
bench "resource usage: users over 1000 bytes" "program=genUserDiskUsage&selection=gt_u&ubytes=1000"
bench "resource usage: top 50 users" "program=genUserDiskUsage&selection=top_u&users=50"
bench "resource usage: non-current users" "program=genUserDiskUsage&selection=deleted_u"
bench "one user's summary" "program=genUidResUsage&uid=$owner"
bench "groups: all" "program=genGroupDiskUsage&selection=all_g"
bench "groups: top 50" "program=genGroupDiskUsage&selection=top_g&groups=50"
bench "groups: over 1000 bytes" "program=genGroupDiskUsage&selection=gt_g&gbytes=1000"
bench "groups: name containing 'a'" "program=genGroupDiskUsage&selection=group_name&gname=a"
bench "groups: owned by one user" "program=genGroupDiskUsage&selection=group_owner&selectedOwner=$owner"
bench "group search form" "program=groupResSearchCondPage"
picker=selector/bin/selector.cgi
bench "picker: people, first 50 of all" "" $picker
bench "picker: people, 50 from 50000" "go=Next+50&start=49950" $picker
bench "picker: people whose name contains 'an'" "go=Search&q=an" $picker
bench "picker: groups, first 50 of all" "go=Groups" $picker
bench "log view: all, $loglines lines" "program=genViewLogFilePage&sub_program=show&msg_type=All"
bench "log view: errors of the last 3 days" "program=genViewLogFilePage&sub_program=show&msg_type=ZA_ERROR&days=3"
