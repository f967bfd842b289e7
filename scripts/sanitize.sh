#!/usr/bin/env bash
# Builds every test with AddressSanitizer and UndefinedBehaviorSanitizer and runs them; any
# sanitizer report fails the run. Usage: scripts/sanitize.sh [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${BUILD:-build-asan}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCORVANE_SANITIZE=ON -DCORVANE_WERROR=ON
cmake --build "$BUILD" -j2

# halt_on_error/abort_on_error: the first report ends the test with a failure, so nothing is
# lost in the middle of a long log. Leaks are checked; the suppressions file names only leaks
# that live inside system libraries we do not build.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"

ctest --test-dir "$BUILD" --output-on-failure --no-tests=error -j2 "$@"
