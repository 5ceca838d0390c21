#!/usr/bin/env bash
# Tests of the SQL directory store against a real PostgreSQL: installs the
# server and libpq when missing, builds the plug-in and its tests, starts a
# private cluster under a temporary folder (Unix socket only), runs every
# SQL store test binary against it and stops the cluster by its own pid.
#
#   scripts/test-sql.sh [--build DIR] [--keep]
#
# --keep leaves the cluster's folder in place (stopped) and prints where it is.
set -uo pipefail
cd "$(dirname "$0")/.."
build=build keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=${2:?--build needs a folder}; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "test-sql.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
fail() { echo "test-sql.sh: $*"; exit 1; }

scripts/install-deps.sh postgresql postgresql-client libpq-dev >/dev/null || fail "cannot install PostgreSQL"
cmake -S . -B "$build" >/dev/null || fail "cmake failed"
mapfile -t tests < <(cd stores/sqldb/tests && ls *_test.cc | sed 's/\.cc$//')
cmake --build "$build" -j"${JOBS:-2}" --target zasqldblib_cgi zastore operadmin.cgi suite.cgi zafiledblib_cgi "${tests[@]}" \
  >"$build/test-sql.log" 2>&1 || { tail -n 40 "$build/test-sql.log"; fail "build failed"; }

cluster=$(mktemp -d /tmp/za-sqltest.XXXXXX) || fail "no temporary folder"
cleanup() {
  scripts/pg-cluster.sh stop "$cluster"
  if [ "$keep" = 1 ]; then echo "cluster kept in $cluster"; else rm -rf "$cluster"; fi
}
trap cleanup EXIT
scripts/pg-cluster.sh start "$cluster" >/dev/null || fail "the cluster did not start"

good=0 bad=0
for t in "${tests[@]}"; do
  echo "== $t"
  ZA_TEST_PGDIR=$cluster "$build/tests/$t" --gtest_brief=1 >"$cluster/$t.log" 2>&1
  status=$?
  tail -n 40 "$cluster/$t.log"
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$cluster/$t.log" | tail -n 1)
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?, listed below.*/\1/p' "$cluster/$t.log" | tail -n 1)
  f=${f:-0}
  [ "$status" -ne 0 ] && [ "$f" -eq 0 ] && f=1  # a crash counts as a failure
  good=$(( good + ${p:-0} )) bad=$(( bad + f ))
done
echo "sql store tests: $good passed, $bad failed"
[ "$bad" -eq 0 ]
