#!/usr/bin/env bash
# Installs what is missing, builds the program (no tests, no benchmarks) and starts Vantorel.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh program
exec ./build/bin/vantorel "$@"
