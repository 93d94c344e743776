#!/usr/bin/env bash
# Runs the scanner test that leaves the source's dialog every way and then scans, RUNS times (300),
# JOBS at a time (6), and counts the runs that hung (not over within LIMIT seconds, 60) and those
# that crashed (ended by a signal). A hung run's stacks, and those of every process under it, go
# beside its log. A measurement, not a test: point it at any build folder.
#   bench/sane-cancel-stress.sh [BUILD_FOLDER]        (default: build)
set -uo pipefail
source "$(dirname "$0")/sane-stress-common.sh"
build=${1:-build}
runs=${RUNS:-300} jobs=${JOBS:-6} limit=${LIMIT:-60}
program=$(realpath "$build/tests/sane_tests")
filter=SaneScanTest.EveryWayOutWithoutAPictureShowsNoBoxAndTheNextScanWorks
logs=$(mktemp -d)
export QT_QPA_PLATFORM=offscreen program filter limit logs

run_one() {
  watch_run "$logs/$1" "$program" --gtest_filter="$filter"
}
export -f run_one

start=$(date +%s)
seq "$runs" | xargs -P "$jobs" -I{} bash -c 'run_one {}'
echo "$program: $runs runs, $jobs at a time, $(( $(date +%s) - start )) s:" "$(tally "$logs") (logs in $logs)"
