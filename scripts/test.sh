#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
cd build
# A test that fails is run once more before the run fails: one SANE cancel test hangs now and then
# under load (a cancel racing the test backend's reader thread); a fault that repeats still fails.
ctest -j"$(nproc)" --output-on-failure --timeout 300 --repeat until-pass:2
