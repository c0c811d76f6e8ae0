#!/bin/bash
# Configures and builds Plenwise into build/ (or $PLENWISE_BUILD). Extra arguments go to CMake's
# configure step, for example -DPLENWISE_WERROR=ON.
set -euo pipefail
readonly SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly BUILD_DIR=${PLENWISE_BUILD:-$SOURCE_DIR/build}
cmake -S "$SOURCE_DIR" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
