#!/usr/bin/env bash
# Installs the dependencies, builds, and starts the program against the local demo rig
# (detection page, mail server and FTP server on 127.0.0.1). Shares build/ with scripts/test.sh.
# Options go to the rig, e.g. --dir FOLDER for another demo folder than demo/.
# Run it as yourself: only install-deps.sh may need root, and it asks sudo itself, only when a
# package is missing (as root, without sudo, it installs directly).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${BUILD:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug ${CORVANE_CMAKE_ARGS:-}
cmake --build "$BUILD" -j2 --target corvane
exec /usr/bin/python3 scripts/demo.py start --binary "$BUILD/corvane" "$@"
