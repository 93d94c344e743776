#!/usr/bin/env bash
# Installs what is missing and builds Vantorel into build/ (the program folder is build/bin):
# everything, or only the targets named, e.g. ./scripts/build.sh program
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" ${CMAKE_ARGS:-}
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
cmake --build build -j"$(nproc)" "${targets[@]}"
