#!/usr/bin/env bash
# Runs the scanner test programs (sane_tests, then sane_app_tests) ROUNDS times (25) in each of
# JOBS workers at once (6), beside LOAD busy loops (6; stress-ng when installed, else `yes`), and
# counts the programs that failed, crashed, or hung (not over within LIMIT seconds, 45: below the
# tests' own limits, so a stall is caught while it lasts). A hung program's stacks, and those of
# every process under it (the helper, scanimage, the built program), go beside its log. A
# measurement, not a test: point it at any build folder.
#   bench/sane-load-stress.sh [BUILD_FOLDER]        (default: build)
set -uo pipefail
build=${1:-build}
rounds=${ROUNDS:-25} jobs=${JOBS:-6} load=${LOAD:-6} limit=${LIMIT:-45}
programs="$(realpath "$build/tests/sane_tests") $(realpath "$build/tests/sane_app_tests")"
logs=$(mktemp -d)
export QT_QPA_PLATFORM=offscreen programs limit logs

descendants() {
  local child
  for child in $(pgrep -P "$1"); do
    echo "$child"
    descendants "$child"
  done
}

# One program, watched; its result goes to $log.rc.
run_program() {
  local program=$1 log=$2 pid p
  "$program" >"$log.log" 2>&1 &
  pid=$!
  for ((t = 0; t < limit * 10; t++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    for p in "$pid" $(descendants "$pid"); do
      { echo "=== $p: $(tr '\0' ' ' <"/proc/$p/cmdline")"; gdb -p "$p" -batch -ex "thread apply all bt"; } \
        >>"$log.stacks" 2>&1
    done
    for p in $(descendants "$pid") "$pid"; do kill -KILL "$p" 2>/dev/null; done
    wait "$pid"
    echo hung >"$log.rc"
  else
    wait "$pid"
    echo $? >"$log.rc"
  fi
}

run_worker() {
  local round program
  for ((round = 1; round <= $2; round++)); do
    for program in $programs; do
      run_program "$program" "$logs/$1.$round.$(basename "$program")"
    done
  done
}
export -f descendants run_program run_worker

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
hung=0 crashed=0 failed=0 passed=0
for rc in "$logs"/*.rc; do
  code=$(cat "$rc")
  if [ "$code" = hung ]; then hung=$((hung + 1))
  elif [ "$code" -gt 128 ]; then crashed=$((crashed + 1))
  elif [ "$code" != 0 ]; then failed=$((failed + 1))
  else passed=$((passed + 1)); fi
done
grep -h -B2 -A3 'Failure$' "$logs"/*.log 2>/dev/null | head -40
echo "$jobs workers x $rounds rounds beside $load busy loops, $(($(date +%s) - start)) s:" \
  "passed $passed, failed $failed, hung $hung, crashed $crashed (logs in $logs)"
