#!/bin/sh
# Builds and runs the log benchmark: writing a log through a buffered log and
# reading it back into records. Usage: scripts/bench-log.sh [lines] [work directory]
# BUILD_DIR chooses the build folder (default: build).
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target bench_log >/dev/null
"$build/bin/bench_log" "${1:-100000}" "${2:-${TMPDIR:-/tmp}}"
