#!/usr/bin/env bash
# Builds the list-sort benchmark and prints the time of each sort on 100,000 items.
# BUILD_DIR chooses the build folder (default: build).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target bench_sort >/dev/null
"$build/bin/bench_sort"
