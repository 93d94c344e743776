#!/usr/bin/env bash
# Runs the scanner test that leaves the source's dialog every way and then scans, RUNS times (300),
# JOBS at a time (6), and counts the runs that hung (not over within LIMIT seconds, 60) and those
# that crashed (ended by a signal). A hung run's stacks, and its helper's, go beside its log. A
# measurement, not a test: point it at any build folder.
#   bench/sane-cancel-stress.sh [BUILD_FOLDER]        (default: build)
set -uo pipefail
build=${1:-build}
runs=${RUNS:-300} jobs=${JOBS:-6} limit=${LIMIT:-60}
program=$(realpath "$build/tests/sane_tests")
filter=SaneScanTest.EveryWayOutWithoutAPictureShowsNoBoxAndTheNextScanWorks
logs=$(mktemp -d)
export QT_QPA_PLATFORM=offscreen program filter limit logs

run_one() {
  local log=$logs/$1 pid code
  "$program" --gtest_filter="$filter" >"$log.log" 2>&1 &
  pid=$!
  for ((t = 0; t < limit * 10; t++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    for p in "$pid" $(pgrep -P "$pid"); do
      gdb -p "$p" -batch -ex "thread apply all bt" >>"$log.stacks" 2>&1
    done
    kill -KILL "$pid"
    wait "$pid"
    echo hung >"$log.rc"
  else
    wait "$pid"
    echo $? >"$log.rc"
  fi
}
export -f run_one

start=$(date +%s)
seq "$runs" | xargs -P "$jobs" -I{} bash -c 'run_one {}'
hung=0 crashed=0 failed=0 passed=0
for rc in "$logs"/*.rc; do
  code=$(cat "$rc")
  if [ "$code" = hung ]; then hung=$((hung + 1))
  elif [ "$code" -gt 128 ]; then crashed=$((crashed + 1))
  elif [ "$code" != 0 ]; then failed=$((failed + 1))
  else passed=$((passed + 1)); fi
done
echo "$program: $runs runs, $jobs at a time, $(( $(date +%s) - start )) s:" \
  "passed $passed, hung $hung, crashed $crashed, failed otherwise $failed (logs in $logs)"
