#!/usr/bin/env bash
# Runs the scanner test programs (sane_tests, then sane_app_tests) ROUNDS times (25) in each of
# JOBS workers at once (6), beside LOAD busy loops (6; stress-ng when installed, else `yes`), and
# counts the programs that failed, crashed, or hung (not over within LIMIT seconds, 45: below the
# tests' own limits, so a stall is caught while it lasts). A hung program's stacks, and those of
# every process under it, go beside its log. A measurement, not a test: point it at any build
# folder.
#   bench/sane-load-stress.sh [BUILD_FOLDER]        (default: build)
set -uo pipefail
source "$(dirname "$0")/sane-stress-common.sh"
build=${1:-build}
rounds=${ROUNDS:-25} jobs=${JOBS:-6} load=${LOAD:-6} limit=${LIMIT:-45}
programs="$(realpath "$build/tests/sane_tests") $(realpath "$build/tests/sane_app_tests")"
logs=$(mktemp -d)
export QT_QPA_PLATFORM=offscreen programs limit logs

run_worker() {
  local round program
  for ((round = 1; round <= $2; round++)); do
    for program in $programs; do
      watch_run "$logs/$1.$round.$(basename "$program")" "$program"
    done
  done
}
export -f run_worker

busy=()
for ((i = 0; i < load; i++)); do
  if command -v stress-ng >/dev/null; then
    stress-ng --quiet --cpu 1 --timeout 3600 &
  else
    yes >/dev/null &
  fi
  busy+=($!)
done
trap 'kill "${busy[@]}" 2>/dev/null' EXIT

start=$(date +%s)
seq "$jobs" | xargs -P "$jobs" -I{} bash -c "run_worker {} $rounds"
kill "${busy[@]}" 2>/dev/null
grep -h -B2 -A3 'Failure$' "$logs"/*.log 2>/dev/null | head -40
echo "$jobs workers x $rounds rounds beside $load busy loops, $(($(date +%s) - start)) s:" \
  "$(tally "$logs") (logs in $logs)"
