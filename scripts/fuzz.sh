#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) and runs each for the given number of
# seconds, several at a time, then prints executions and time per target.
#
#   scripts/fuzz.sh <seconds> [target...]      (all targets when none is named)
#
# Each input is bounded: 1 GB of memory and 5 s. Inputs that crash or break a bound are kept in
# build-fuzz/fuzz-crashes/<target>/ (the log shows each in Base64 too); what a run found new stays
# in build-fuzz/fuzz-corpus/<target>/ for the next run.
#
# FUZZ_JOBS: targets at a time, half the cores by default (the 5 s bound is wall-clock time, which
# a crowded machine stretches). FUZZ_BUILD: the build folder. FUZZ_FLAGS: more libFuzzer flags,
# for example "-fork=2 -ignore_timeouts=1".
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=${1:-}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh <seconds> [target...]" >&2
  exit 2
fi
shift

build=${FUZZ_BUILD:-$root/build-fuzz}
jobs=${FUZZ_JOBS:-$(( $(nproc) > 1 ? $(nproc) / 2 : 1 ))}
all_targets=(
  fuzz_logo_index fuzz_options fuzz_app_state fuzz_phone_list fuzz_parameters
  fuzz_jpeg fuzz_png fuzz_gif fuzz_bmp fuzz_tga
  fuzz_service_reply fuzz_download_name fuzz_dib fuzz_sane_frames
)
targets=("${all_targets[@]}")
[ $# -gt 0 ] && targets=("$@")
for t in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $t "* ]] || { echo "unknown target: $t" >&2; exit 2; }
done

command -v clang++ >/dev/null || { echo "clang++ is missing: run scripts/install-deps.sh" >&2; exit 1; }
# -O1 keeps the sanitizers' reports readable at a good speed; the libraries are rebuilt here
# with coverage for the fuzzer, apart from the normal build.
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS=-O1 -DCMAKE_CXX_FLAGS=-O1 -DVANTOREL_FUZZ=ON -DVANTOREL_BUILD_TESTS=OFF \
  -DVANTOREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null

# Every target's own files go to a folder removed afterwards, even after a crash.
scratch=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/vantorel-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
logs=$build/fuzz-logs
mkdir -p "$logs"

run_target() {
  local t=$1 corpus=$build/fuzz-corpus/$1 crashes=$build/fuzz-crashes/$1 dict=() extra=()
  read -r -a extra <<<"${FUZZ_FLAGS:-}"
  mkdir -p "$corpus" "$crashes" "$scratch/$t"
  case $t in
  fuzz_logo_index | fuzz_options | fuzz_app_state | fuzz_phone_list | fuzz_parameters)
    dict=(-dict="$root/tests/fuzz/xml.dict") ;;
  esac
  local start end rc=0
  start=$(date +%s.%N)
  TMPDIR=$scratch/$t QT_LOGGING_RULES='*.debug=false;*.info=false;*.warning=false' \
    UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=1024 -timeout=5 -print_final_stats=1 \
    -artifact_prefix="$crashes/" "${dict[@]}" "${extra[@]}" "$corpus" "$root/tests/fuzz/corpus/$t" >"$logs/$t.log" 2>&1 || rc=$?
  end=$(date +%s.%N)
  echo "$rc $start $end" >"$logs/$t.result"
}

echo "Fuzzing ${#targets[@]} targets for ${seconds} s each, $jobs at a time (logs in $logs)"
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
    wait -n || true
  done
  run_target "$t" &
done
wait

failed=0
notes=()
printf '%-20s %12s %9s %9s  %s\n' target executions seconds exec/s result
for t in "${targets[@]}"; do
  read -r rc start end <"$logs/$t.result"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$t.log" | tail -1)
  # Fork mode reports its total on its progress lines, with what it let pass.
  forked=$(grep -E '^#[0-9]+: ' "$logs/$t.log" | tail -1 || true)
  [ -z "$runs" ] && runs=$(sed -E -n 's/^#([0-9]+): .*/\1/p' <<<"$forked")
  runs=${runs:-0}
  result=ok
  found=$(sed -E -n 's|.*oom/timeout/crash: ([0-9/]+).*|\1|p' <<<"$forked")
  if [ -n "$found" ] && [ "$found" != 0/0/0 ]; then
    failed=1
    result="FAILED: oom/timeout/crash $found"
  elif [ "$rc" -ne 0 ]; then
    failed=1
    result="FAILED (exit $rc): $(grep -m1 -E '^SUMMARY|fuzz check failed|runtime error|^==[0-9]+== ?ERROR' "$logs/$t.log" || echo "see $logs/$t.log")"
  fi
  [ "$result" = ok ] || notes+=("$t: $(grep -m1 '^Base64: ' "$logs/$t.log" || echo "no input shown (see $logs/$t.log)")")
  awk -v t="$t" -v n="$runs" -v s="$start" -v e="$end" -v r="$result" \
    'BEGIN { d = e - s; printf "%-20s %12d %9.1f %9d  %s\n", t, n, d, (d > 0 ? n / d : 0), r }'
done
if [ "$failed" -ne 0 ]; then
  printf '%s\n' "${notes[@]}"
  echo "The inputs are in $build/fuzz-crashes/<target>/; a target reruns one with: $build/fuzz/<target> <file>"
  exit 1
fi
