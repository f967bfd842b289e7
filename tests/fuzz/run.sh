#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (20 unless given) from a
# copy of its seed corpus, so that nothing the fuzzer finds is written into the repository.
# A crash, a broken property, a leak or a hang fails the run; the input is kept under
# build-fuzz/artifacts/<target>/.
set -euo pipefail
SECONDS_PER_TARGET=${1:-20}
cd "$(dirname "$0")/../.."
ROOT=$PWD
BUILD=${BUILD:-$ROOT/build-fuzz}
TARGETS=(ini smtp_reponse detection)

CC=clang-14 CXX=clang++-14 cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF
cmake --build "$BUILD" -j2 --target "${TARGETS[@]/#/fuzz_}"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"
export QT_QPA_PLATFORM=offscreen

status=0
for t in "${TARGETS[@]}"; do
    mkdir -p "$WORK/$t" "$BUILD/artifacts/$t"
    cp -r "$ROOT/tests/fuzz/corpus/$t/." "$WORK/$t/"
    echo "== fuzz_$t for ${SECONDS_PER_TARGET}s"
    if ! "$BUILD/tests/fuzz/fuzz_$t" "$WORK/$t" -max_total_time="$SECONDS_PER_TARGET" -max_len=4096 \
        -timeout=15 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$BUILD/artifacts/$t/" 2>"$WORK/$t.log"; then
        tail -n 60 "$WORK/$t.log"
        echo "fuzz_$t FAILED; reproduce with: $BUILD/tests/fuzz/fuzz_$t $BUILD/artifacts/$t/<file>"
        status=1
    else
        grep -E '^stat::(number_of_executed_units|new_units_added)' "$WORK/$t.log" || true
    fi
done
exit $status
