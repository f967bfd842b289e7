#!/usr/bin/env bash
# Builds Corvane in Release with its benchmarks (in bench/build), runs them all against local
# peers and prints one table, also written to bench/RESULTS.md.
# Options are passed to bench/measure.py (e.g. --soak-checks 1000 --cpu-seconds 10 for a quick
# look; the defaults are the figures RESULTS.md reports).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="$here/build"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_BENCH=ON \
    -DCORVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target corvane corvane_bench corvane_headless corvane_voyant_seul

export LC_ALL=C.UTF-8 PYTHONDONTWRITEBYTECODE=1
exec /usr/bin/python3 "$here/measure.py" "$build" "$@"
