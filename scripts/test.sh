#!/usr/bin/env bash
# Installs the dependencies, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${BUILD:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug ${CORVANE_CMAKE_ARGS:-}
cmake --build "$BUILD" -j2
ctest --test-dir "$BUILD" --output-on-failure --no-tests=error -j2
