#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: once in the
# normal build (build/) and once under AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/). Ends with "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh || exit 1
jobs=${JOBS:-2}
passed=0; failed=0

run_tree() { # dir, extra cmake args...
  local dir=$1; shift
  echo "== building $dir"
  if ! { cmake -S . -B "$dir" "$@" >"$dir.log" 2>&1 || { cat "$dir.log"; false; }; } ||
     ! cmake --build "$dir" -j"$jobs" >>"$dir.log" 2>&1; then
    tail -n 60 "$dir.log"; echo "build of $dir failed"; failed=$((failed + 1)); return
  fi
  echo "== testing $dir"
  local out; out=$(cd "$dir" && ctest --output-on-failure -j"$jobs" 2>&1); echo "$out" | tail -n 40
  local total bad
  total=$(echo "$out" | sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' | tail -n1)
  bad=$(echo "$out" | sed -n 's/.* \([0-9]*\) tests failed out of.*/\1/p' | tail -n1)
  passed=$((passed + ${total:-0} - ${bad:-0})); failed=$((failed + ${bad:-0}))
}

mkdir -p build build-asan
run_tree build
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_tree build-asan -DZA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
for extra in scripts/test-*.sh; do
  [ -x "$extra" ] || continue
  echo "== $extra"
  if "$extra"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
