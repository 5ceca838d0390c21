#!/usr/bin/env bash
# Times the console over the SQL store: a private PostgreSQL cluster, an
# installed tree pointed at it and seeded with zastore, then the console's
# requests run as a web server runs them (median wall time of RUNS runs),
# beside the floor: psql reading every person's key and name.
# Usage: scripts/bench-sql.sh [PEOPLE [GROUPS [NONCURRENT]]]
#        (default 100000 20000 1000; RUNS=5)
# Builds into build/ (BUILD_DIR to change); the cluster and the tree live in
# a temporary folder that is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh time postgresql postgresql-client libpq-dev >/dev/null
people=${1:-100000}
groups=${2:-20000}
leavers=${3:-1000}
runs=${RUNS:-5}
build=${BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target operadmin.cgi suite.cgi zastore zafiledblib_cgi zasqldblib_cgi >/dev/null
work=$(mktemp -d /tmp/za-bench-sql.XXXXXX)
chmod 0711 "$work"  # the cluster runs as the postgres account
cluster=$work/pg top=$work/top
trap 'scripts/pg-cluster.sh stop "$cluster"; rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$top" >/dev/null
scripts/pg-cluster.sh start "$cluster" >/dev/null
scripts/pg-cluster.sh configure "$cluster" "$top" >/dev/null
zastore() { "$top/bin/zastore" "$@" --top "$top"; }
echo "== seeding $people people, $groups groups, $leavers non-current"
/usr/bin/env time -f "seed: %e s, %M KB peak" "$top/bin/zastore" seed --people "$people" --groups "$groups" \
  --noncurrent "$leavers" --seed 1 --top "$top"
zastore person add benchop --name "Bench Operator" >/dev/null
echo benchpw | zastore account add benchop benchop --admin >/dev/null
for ((i = 0; i < runs; i++)); do zastore person add "benchnew$i" --name "Bench Newcomer $i" >/dev/null; done

floor() {
  local times=() t
  for ((i = 0; i < runs; i++)); do
    t=$( { /usr/bin/time -f "%e" scripts/pg-cluster.sh psql "$cluster" -At \
      -c "SELECT emp_id, full_name FROM zarvo.za_demo_employees" >/dev/null; } 2>&1 | tail -n1)
    times+=("$t")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
printf '%-46s %10s\n' "floor: psql, every person's key and name" "$(floor)"

owner=$(zastore list groups | awk -F'\t' '$4 == "shared" && !o { o = $3 } END { print o }')
printf '%-46s %10s %12s\n' "request" "median s" "peak KB"
bench() { # label, method, query, body (@RUN@ becomes the run's number)
  local label=$1 method=$2 query=$3 times=() peak=0 t m body
  for ((i = 0; i < runs; i++)); do
    body=${4:-}
    body=${body//@RUN@/$i}
    cookies="ZarvoUidCookie=benchop; ZarvoIsWebmaster=TRUE; ZarvoUserLoginTime=$(($(date +%s) + 600))"
    read -r t m < <(cd "$top/web/admin/bin" && printf '%s' "$body" |
      env -i REQUEST_METHOD="$method" QUERY_STRING="$query" HTTP_COOKIE="$cookies" \
        CONTENT_LENGTH=${#body} CONTENT_TYPE=application/x-www-form-urlencoded \
        SCRIPT_NAME=/admin/bin/operadmin.cgi SERVER_NAME=localhost SERVER_PORT=80 PATH=/usr/bin:/bin \
        /usr/bin/time -f "%e %M" -o /dev/fd/3 ./operadmin.cgi 3>&1 >"$work/bench.out" 2>/dev/null)
    times+=("$t")
    ((m > peak)) && peak=$m
  done
  if grep -q 'Could not connect to database' "$work/bench.out"; then echo "$label: store error page" >&2; exit 1; fi
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
  printf '%-46s %10s %12s\n' "$label" "$median" "$peak"
}
bench "user IDs, first page" GET "program=genUid2NamePage"
bench "user IDs, page at 50000" GET "program=genUid2NamePage&last_count=50000"
bench "non-current users" GET "program=genDeletedUsersPage"
bench "groups: name containing 'team 1'" GET "program=genGroupDiskUsage&selection=group_name&gname=team+1"
bench "groups: all" GET "program=genGroupDiskUsage&selection=all_g"
bench "one user's summary" GET "program=genUidResUsage&uid=$owner"
bench "account creation" POST "program=createNewAccountProcess" \
  "uid=benchnew@RUN@&login=benchnew@RUN@&password1=benchpass&password2=benchpass"
bench "login" POST "" "login=benchop&password=benchpw"
zastore list accounts | grep -q $'^benchnew0\t' || { echo "account creation did not make the account" >&2; exit 1; }
