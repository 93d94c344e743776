#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan and runs
# every test there. Run scripts/install-deps.sh (or scripts/test.sh) first.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_SANITIZE=ON -DVANTOREL_BUILD_BENCH=OFF
cmake --build build-asan -j"$(nproc)"
cd build-asan
# The sanitized code is slower: fewer tests at a time keep the time-bound tests honest.
ctest -j"$(( $(nproc) > 2 ? $(nproc) / 2 : 1 ))" --output-on-failure --timeout 600
