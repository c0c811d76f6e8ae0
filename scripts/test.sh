#!/bin/bash
# The whole test suite from a fresh machine: installs what is missing, builds with warnings as
# errors, and runs every test. Tests that need the simulated world start and stop their own.
set -euo pipefail
readonly SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly BUILD_DIR=${PLENWISE_BUILD:-$SOURCE_DIR/build}

"$SOURCE_DIR/scripts/deps.sh"
"$SOURCE_DIR/scripts/build.sh" -DPLENWISE_WERROR=ON

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/plenwise-runtime.XXXXXX)}
chmod 0700 "$XDG_RUNTIME_DIR"
cd "$BUILD_DIR"
ctest --output-on-failure -j2 "$@"
