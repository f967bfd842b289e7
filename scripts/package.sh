#!/usr/bin/env bash
# Builds the Debian package: a Release build in build-deb/ (or $BUILD), then CPack, leaving
# corvane_<version>_<arch>.deb in the folder given (default: the build folder).
# Install it with `sudo apt-get install ./corvane_*.deb`, remove it with `sudo apt-get remove corvane`.
# Usage: bash scripts/package.sh [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${BUILD:-build-deb}
OUT=$(realpath -m "${1:-$BUILD}")
# shellcheck disable=SC2086 # extra arguments are meant to split
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF ${CORVANE_CMAKE_ARGS:-}
cmake --build "$BUILD" -j2 --target corvane
mkdir -p "$OUT"
cpack -G DEB -B "$OUT" --config "$BUILD/CPackConfig.cmake"
rm -rf "$OUT/_CPack_Packages"
echo "package: $(ls "$OUT"/corvane_*.deb)"
