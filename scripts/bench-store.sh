#!/usr/bin/env bash
# Times the console's big directory-store listings, and the per-user look-ups
# its all-users pages make for every account holder, over a generated
# directory, through the program's store loader and the flat-file plug-in.
# Usage: scripts/bench-store.sh [PEOPLE [GROUPS]]   (default 100000 and 20000)
# Builds into build/ (BUILD_DIR to change) and keeps the directory in
# build/bench-store/ (BENCH_TOP to change) for the next run of the same size.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh time >/dev/null  # GNU time measures the seed
people=${1:-100000}
groups=${2:-20000}
build=${BUILD_DIR:-build}
top=${BENCH_TOP:-$build/bench-store}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target zastore zafiledblib_cgi za-store-bench >/dev/null
top=$(mkdir -p "$top" && cd "$top" && pwd)
stamp="$people people, $groups groups"
if [ "$(cat "$top/seeded" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "${top:?}"/*
  "$build/bin/zastore" init --top "$top" >/dev/null
  echo "== seeding $stamp"
  /usr/bin/env time -f "seed: %e s, %M KB peak" "$build/bin/zastore" seed --people "$people" \
    --groups "$groups" --noncurrent $((people / 20)) --top "$top"
  echo "$stamp" >"$top/seeded"
fi
mkdir -p "$top/lib" "$top/web/admin/bin"
ln -sf "$(cd "$build/lib" && pwd)/zafiledblib_cgi.so" "$top/lib/zafiledblib_cgi.so"
bench=$(cd "$build/bin" && pwd)/za-store-bench
echo "== $stamp: one process per operation (time of the call; peak memory of the process)"
cd "$top/web/admin/bin"
for op in GetCurrentUserNames GetAccountNames GetCurrentUsers GetAllDiskUsage GetAllGroupsDiskUsage \
  PerUserLookups; do
  "$bench" "$op"
done
