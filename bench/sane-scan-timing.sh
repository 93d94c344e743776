#!/usr/bin/env bash
# Times a colour scan of an A4 page's pixels at 300 dpi through two source managers, A and B (each
# a folder holding TWAIN_32.DLL and what it needs), in ROUNDS interleaved runs of three scans
# each, so that a machine shared with other work weighs on both alike. Prints every time, then
# the median of each and B's median over A's.
#   bench/sane-scan-timing.sh FOLDER_A FOLDER_B [BUILD_FOLDER]   (default: build)
set -euo pipefail
a=$1 b=$2 build=${3:-build} rounds=${ROUNDS:-10}
bench="$build/bench/sane_scan_bench"
times_a=() times_b=()
for ((i = 0; i < rounds; i++)); do
  while read -r ms _; do times_a+=("$ms"); done < <("$bench" "$a" 3)
  while read -r ms _; do times_b+=("$ms"); done < <("$bench" "$b" 3)
done
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
spread() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "%s..%s", v[1], v[NR]}'; }
ma=$(median "${times_a[@]}") mb=$(median "${times_b[@]}")
echo "A $a: median $ma ms, range $(spread "${times_a[@]}") ms over ${#times_a[@]} scans"
echo "B $b: median $mb ms, range $(spread "${times_b[@]}") ms over ${#times_b[@]} scans"
awk -v a="$ma" -v b="$mb" 'BEGIN {printf "B / A = %.3f\n", b / a}'
