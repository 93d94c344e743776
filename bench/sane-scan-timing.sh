#!/usr/bin/env bash
# Times a colour scan of an A4 page's pixels at 300 dpi through two source managers, A and B (each
# a folder holding TWAIN_32.DLL and what it needs), in ROUNDS interleaved runs of three scans
# each, so that a machine shared with other work weighs on both alike. Prints the median and range
# of each, and the median and quartiles of B over A taken round by round.
#   bench/sane-scan-timing.sh FOLDER_A FOLDER_B [BUILD_FOLDER]   (default: build)
set -euo pipefail
a=$1 b=$2 build=${3:-build} rounds=${ROUNDS:-10}
bench="$build/bench/sane_scan_bench"
times_a=() times_b=() ratios=()
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
quartiles() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "%.3f..%.3f", v[int((NR+3)/4)], v[int((3*NR+1)/4)]}'; }
for ((i = 0; i < rounds; i++)); do
  round_a=() round_b=()
  while read -r ms _; do round_a+=("$ms"); done < <("$bench" "$a" 3)
  while read -r ms _; do round_b+=("$ms"); done < <("$bench" "$b" 3)
  times_a+=("${round_a[@]}") times_b+=("${round_b[@]}")
  ratios+=("$(awk -v a="$(median "${round_a[@]}")" -v b="$(median "${round_b[@]}")" 'BEGIN {print b / a}')")
done
spread() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "%s..%s", v[1], v[NR]}'; }
echo "A $a: median $(median "${times_a[@]}") ms, range $(spread "${times_a[@]}") ms over ${#times_a[@]} scans"
echo "B $b: median $(median "${times_b[@]}") ms, range $(spread "${times_b[@]}") ms over ${#times_b[@]} scans"
echo "B / A by round: median $(median "${ratios[@]}"), quartiles $(quartiles "${ratios[@]}") over $rounds rounds"
