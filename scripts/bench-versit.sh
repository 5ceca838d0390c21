#!/bin/sh
# Builds and runs the versit benchmark: indexing and searching a generated
# vCard file. Usage: scripts/bench-versit.sh [cards] [work directory]
# BUILD_DIR chooses the build folder (default: build).
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target bench_versit
"$build/bin/bench_versit" "${1:-100000}" "${2:-${TMPDIR:-/tmp}}"
