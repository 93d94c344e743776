#!/usr/bin/env bash
# Runs the scanner test that leaves the source's dialog every way and then scans, RUNS times (300),
# JOBS at a time (6), and counts the runs that hung (not over within LIMIT seconds, 120) and those
# that crashed (ended by a signal). A measurement, not a test: point it at any build folder.
#   bench/sane-cancel-stress.sh [BUILD_FOLDER]        (default: build)
set -uo pipefail
build=${1:-build}
runs=${RUNS:-300} jobs=${JOBS:-6} limit=${LIMIT:-120}
program=$(realpath "$build/tests/sane_tests")
filter=SaneScanTest.EveryWayOutWithoutAPictureShowsNoBoxAndTheNextScanWorks
logs=$(mktemp -d)
export QT_QPA_PLATFORM=offscreen
start=$(date +%s)
seq "$runs" | xargs -P "$jobs" -I{} sh -c \
  'timeout -k 5 "$1" "$2" --gtest_filter="$3" >"$4/{}.log" 2>&1; echo $? >"$4/{}.rc"' \
  _ "$limit" "$program" "$filter" "$logs"
hung=0 crashed=0 failed=0 passed=0
for rc in "$logs"/*.rc; do
  code=$(cat "$rc")
  if [ "$code" = 124 ] || [ "$code" = 137 ]; then hung=$((hung + 1))
  elif [ "$code" -gt 128 ]; then crashed=$((crashed + 1))
  elif [ "$code" != 0 ]; then failed=$((failed + 1))
  else passed=$((passed + 1)); fi
done
echo "$program: $runs runs, $jobs at a time, $(( $(date +%s) - start )) s:" \
  "passed $passed, hung $hung, crashed $crashed, failed otherwise $failed (logs in $logs)"
