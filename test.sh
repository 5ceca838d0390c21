#!/usr/bin/env bash
# Installs what is missing, builds, and runs every check: the test programs
# in the normal build (build/) and again under AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/, at -O1), then each step script
# scripts/test-*.sh. Prints one line per step with its time; a failing step's
# output follows in full (passing test programs one line each). Ends with the
# counts of each unit and then "N passed, N failed" over all of them.
#
# A step is one `step` line below, or a script scripts/test-NAME.sh, which is
# found by itself and run once build/ is built and tested, beside the
# sanitizer build and its tests (the scripts one after another). A step reports
# what it checked in a line "UNIT: N passed, N failed" (its last such line
# counts, e.g. "browser checks: 17 passed, 0 failed"); a step without one
# counts once, under its own name. Exit codes are trusted: a step that exits
# non-zero without counting a failure counts one.
#
# JOBS (default 2) sets the parallel jobs; ccache is used (and installed)
# with the caller's CCACHE_DIR when set.
set -uo pipefail
cd "$(dirname "$0")"
export JOBS=${JOBS:-2}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
logs=$(mktemp -d /tmp/za-test.XXXXXX) || exit 1
trap 'rm -rf "$logs"' EXIT
declare -A passed failed
units=()
began=$SECONDS

count() { # unit passed failed
  if [ -z "${passed[$1]+set}" ]; then units+=("$1"); passed[$1]=0; failed[$1]=0; fi
  passed[$1]=$(( passed[$1] + $2 )); failed[$1]=$(( failed[$1] + $3 ))
}
clock() { printf '%d:%02d' $(( $1 / 60 )) $(( $1 % 60 )); }

# run_step LOG COMMAND...: runs COMMAND with its output in LOG, its exit
# status in LOG.status and its time in seconds in LOG.time.
run_step() {
  local log=$1 start=$SECONDS status; shift
  "$@" >"$log" 2>&1; status=$?
  echo "$status" >"$log.status"; echo $(( SECONDS - start )) >"$log.time"
  return "$status"
}

# report NAME LOG: counts what the step in LOG checked and prints the rest
# of its line: ok or FAILED, its time and its count; then, for a failure,
# the step's whole output.
report() {
  local name=$1 log=$2 status line unit good bad
  status=$(cat "$log.status")
  line=$(grep -E '^[a-z][a-z -]*: [0-9]+ passed, [0-9]+ failed$' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    unit=${line%%:*}; good=$(sed -E 's/.*: ([0-9]+) passed.*/\1/' <<<"$line")
    bad=$(sed -E 's/.* ([0-9]+) failed$/\1/' <<<"$line")
  else
    unit=$name; good=$(( status == 0 )); bad=$(( status != 0 ))
  fi
  [ "$status" -ne 0 ] && [ "$bad" -eq 0 ] && bad=1
  count "$unit" "$good" "$bad"
  printf '%-6s %6s' "$([ "$bad" -eq 0 ] && echo ok || echo FAILED)" "$(clock "$(cat "$log.time")")"
  [ -n "$line" ] && printf '   %s' "$line"
  echo
  if [ "$bad" -ne 0 ]; then
    sed 's/^/    /' "$log"; echo
  fi
  return $(( bad != 0 ))
}

# step NAME COMMAND...: runs a step and prints its line.
step() {
  local name=$1; shift
  printf '%-34s ' "$name"
  run_step "$logs/step.log" "$@"
  report "$name" "$logs/step.log"
}

# Configures and builds a tree; the make progress lines are left out of the log.
build_tree() { # dir, cmake args...
  local dir=$1; shift
  local launcher=()
  command -v ccache >/dev/null &&
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$dir" "${launcher[@]}" "$@" >/dev/null &&
    cmake --build "$dir" -j"$JOBS" 2>&1 | grep -vE '^\[ *[0-9]+%\] |^Consolidate compiler'
  local status=${PIPESTATUS[0]}
  echo "builds: $(( status == 0 )) passed, $(( status != 0 )) failed"
  return "$status"
}

# Runs a tree's test programs; ctest prints each passing one as one line and
# a failing one's whole output.
test_tree() { # dir
  local out=$logs/ctest.out status total bad
  ctest --test-dir "$1" --output-on-failure --test-output-size-failed 1048576 \
    --no-tests=error -j"$JOBS" >"$out" 2>&1; status=$?
  grep -vE '^(Test project |Start +[0-9]+: |Constructing a list|Updating test list|Checking test dependency)' "$out" | sed '/^$/d'
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$out" | tail -n 1)
  bad=$(sed -n 's/.* \([0-9]*\) tests failed out of.*/\1/p' "$out" | tail -n 1)
  echo "test programs: $(( ${total:-0} - ${bad:-0} )) passed, ${bad:-0} failed"
  return "$status"
}

printf '%-34s ' "dependencies"
if ! scripts/install-deps.sh >"$logs/deps.log" 2>&1; then
  echo FAILED; cat "$logs/deps.log"; echo "0 passed, 1 failed"; exit 1
fi
printf '%-6s %6s   %s\n' ok "$(clock $(( SECONDS - began )))" \
  "($JOBS jobs, $(command -v ccache >/dev/null && echo ccache || echo 'no ccache'))"
step "build (normal)" build_tree build && normal=1 || normal=0
[ "$normal" = 1 ] && step "test programs (normal)" test_tree build

# The step scripts use build/ only, so they run one after another beside the
# sanitizer steps; their lines come after those.
scripts=()
for script in scripts/test-*.sh; do [ -x "$script" ] && scripts+=("$script"); done
run_scripts() { # stopping it stops the script that runs, which cleans up after itself
  local i log start child=
  trap '[ -n "$child" ] && kill "$child" 2>/dev/null; exit 1' TERM
  for i in "${!scripts[@]}"; do
    log=$logs/script.$i.log start=$SECONDS
    "${scripts[$i]}" >"$log" 2>&1 &
    child=$!
    wait "$child"
    echo $? >"$log.status"; echo $(( SECONDS - start )) >"$log.time"
  done
}
beside=
if [ "$normal" = 1 ]; then
  run_scripts &
  beside=$!
  trap 'kill "$beside" 2>/dev/null; exit 130' INT TERM
fi

export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
if step "build (sanitizers, -O1)" build_tree build-asan -DZA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug; then
  step "test programs (sanitizers)" test_tree build-asan
fi
unset ASAN_OPTIONS UBSAN_OPTIONS

[ -n "$beside" ] && wait "$beside"
for i in "${!scripts[@]}"; do
  printf '%-34s ' "${scripts[$i]}"
  if [ "$normal" = 1 ]; then
    report "${scripts[$i]}" "$logs/script.$i.log"
  else
    echo "not run (build/ failed)"; count "${scripts[$i]}" 0 1
  fi
done

echo "== $(clock $(( SECONDS - began ))) in all"
all_passed=0 all_failed=0
for unit in "${units[@]}"; do
  echo "$unit: ${passed[$unit]} passed, ${failed[$unit]} failed" | sed 's/^/   /'
  all_passed=$(( all_passed + passed[$unit] )); all_failed=$(( all_failed + failed[$unit] ))
done
echo "$all_passed passed, $all_failed failed"
[ "$all_failed" -eq 0 ]
