#!/usr/bin/env bash
# Installs the dependencies, builds, and runs every test.
# Under CI (CI=true) compiler warnings are errors.
# Run it as yourself: only install-deps.sh may need root, and it asks sudo itself, only when a
# package is missing. The Debian package test (label "package") installs and removes the
# package, so it runs as root only and is reported skipped otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${BUILD:-build}
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_WERROR=$werror
cmake --build "$BUILD" -j2
ctest --test-dir "$BUILD" --output-on-failure --no-tests=error -j2
