#!/usr/bin/env bash
# Installs the dependencies, builds, and runs every test.
# Under CI (CI=true) compiler warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${BUILD:-build}
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_WERROR=$werror
cmake --build "$BUILD" -j2
ctest --test-dir "$BUILD" --output-on-failure --no-tests=error -j2
