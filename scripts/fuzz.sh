#!/usr/bin/env bash
# Builds the fuzz targets of the portable core with clang and runs each for the
# given number of seconds (default 20), starting from the seed corpora in
# tests/fuzz/corpus. Inputs found to be new go to the build directory's own
# corpus, which later runs continue from; a failing input is kept under
# findings/ there and fails the script.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${DRAVLIN_BUILD_DIR:-$top/build}/fuzz
seconds=${1:-20}
targets=(wire_decoder ini_document menu_definition)

cmake -S "$top" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DDRAVLIN_FUZZ=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/%/_fuzz}"

for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  log=$build/$target.log
  mkdir -p "$corpus" "$findings"
  status=0
  "$build/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$top/tests/fuzz/corpus/$target" \
      >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if [ "$status" -ne 0 ]; then
    grep -E '^(property failed|==[0-9]+==ERROR|SUMMARY)' "$log" || tail -n 20 "$log"
    echo "$target: failed after ${runs:-?} executions; the input is in $findings" >&2
    exit 1
  fi
  echo "$target: ${runs:-?} executions in ${seconds} s, nothing found ($(ls "$corpus" | wc -l) inputs in the corpus)"
done
