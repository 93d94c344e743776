# What the scanner stress runs share; sourced by them, not run.

# Every process under $1, children first.
descendants() {
  local child
  for child in $(pgrep -P "$1"); do
    echo "$child"
    descendants "$child"
  done
}

# watch_run LOG PROGRAM [ARGUMENT...]: runs the program with its output in LOG.log. One not over
# within $limit seconds has its stacks, and those of every process under it (the helper,
# scanimage, the built program), put in LOG.stacks, and is killed. LOG.rc gets its exit status, or
# "hung".
watch_run() {
  local log=$1 pid p
  shift
  "$@" >"$log.log" 2>&1 &
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
export -f descendants watch_run

# tally FOLDER: how the runs whose .rc files are in the folder ended.
tally() {
  local rc code hung=0 crashed=0 failed=0 passed=0
  for rc in "$1"/*.rc; do
    code=$(cat "$rc")
    if [ "$code" = hung ]; then hung=$((hung + 1))
    elif [ "$code" -gt 128 ]; then crashed=$((crashed + 1))
    elif [ "$code" != 0 ]; then failed=$((failed + 1))
    else passed=$((passed + 1)); fi
  done
  echo "passed $passed, hung $hung, crashed $crashed, failed otherwise $failed"
}
