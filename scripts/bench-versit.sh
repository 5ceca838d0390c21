#!/bin/sh
# Builds and runs the versit benchmark: indexing and searching a generated
# vCard file. Usage: scripts/bench-versit.sh [cards] [work directory]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" >/dev/null
cmake --build "$root/build" -j2 --target bench_versit
"$root/build/bin/bench_versit" "${1:-100000}" "${2:-${TMPDIR:-/tmp}}"
