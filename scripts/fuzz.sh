#!/usr/bin/env bash
# Builds the libFuzzer programs (clang, ASan, UBSan) in build-fuzz/ and runs
# each for SECONDS (default 60), one after the other, starting from its seed
# folder under the owning library's fuzz/. New inputs that the fuzzer finds
# interesting go to build-fuzz/corpus/NAME (the committed seeds stay as they
# are); a crashing input is left in build-fuzz/crashes/. Ends with
# "fuzz targets: N passed, N failed" and exits non-zero when any failed.
# Usage: scripts/fuzz.sh [SECONDS] [NAME...]   (NAME: e.g. query, multipart)
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}; shift || true
scripts/install-deps.sh >/dev/null || exit 1
export CCACHE_DIR=${CCACHE_DIR:-/work/.ccache} CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
launcher=(); command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
dir=${FUZZ_BUILD:-build-fuzz}
mkdir -p "$dir"
if ! { cmake -S . -B "$dir" -DZA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
         -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >"$dir/build.log" 2>&1 &&
       cmake --build "$dir" -j"${JOBS:-2}" --target fuzzers >>"$dir/build.log" 2>&1; }; then
  tail -n 40 "$dir/build.log"; echo "fuzz build failed"; exit 1
fi

# Uploads of the multipart decoder land in a private folder.
export TMPDIR=$PWD/$dir/tmp
mkdir -p "$TMPDIR" "$dir/crashes"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in "$dir"/bin/fuzz/*; do names+=("$(basename "$f")"); done
fi
passed=0 failed=0
for name in "${names[@]}"; do
  seeds=$(ls -d ./*/fuzz/"$name" 2>/dev/null | head -n1)
  corpus=$dir/corpus/$name
  mkdir -p "$corpus"
  log=$dir/$name.log
  if "$dir/bin/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
       -max_len=65536 -artifact_prefix="$dir/crashes/$name-" -print_final_stats=1 \
       "$corpus" ${seeds:+"$seeds"} >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    printf '%-12s ok    %10s runs  %7s/s\n' "$name" "$runs" "$rate"
    passed=$((passed + 1))
  else
    printf '%-12s FAILED (see %s)\n' "$name" "$log"; grep -m5 -E 'ERROR|runtime error|SUMMARY' "$log"
    failed=$((failed + 1))
  fi
done
echo "fuzz targets: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
