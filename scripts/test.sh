#!/bin/bash
# The whole test suite from a fresh machine: installs what is missing, builds with warnings as
# errors and runs every test; then builds a second time, unoptimised with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test again there, where the first leak, bad access
# or undefined operation fails the run. Tests that need the simulated world start and stop their
# own. Arguments go to both ctest runs.
set -euo pipefail
readonly SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly BUILD_DIR=${PLENWISE_BUILD:-$SOURCE_DIR/build}
readonly SANITIZE_DIR=${PLENWISE_SANITIZE_BUILD:-$SOURCE_DIR/build-sanitize}

"$SOURCE_DIR/scripts/deps.sh"
"$SOURCE_DIR/scripts/build.sh" -DPLENWISE_WERROR=ON

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/plenwise-runtime.XXXXXX)}
chmod 0700 "$XDG_RUNTIME_DIR"
(cd "$BUILD_DIR" && ctest --output-on-failure -j2 "$@")

PLENWISE_BUILD=$SANITIZE_DIR "$SOURCE_DIR/scripts/build.sh" -DPLENWISE_WERROR=ON \
    -DPLENWISE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
# Every program of the run inherits these, the program under test and the simulators included.
# Allocation stacks are unwound in full (the system's libraries keep no frame pointers), so that a
# suppression in tests/lsan.supp can name the library function that allocated.
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0:detect_stack_use_after_return=0:fast_unwind_on_malloc=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# What the system's libraries keep until the process ends is theirs, not a leak of ours.
export LSAN_OPTIONS=suppressions=$SOURCE_DIR/tests/lsan.supp:print_suppressions=0
(cd "$SANITIZE_DIR" && ctest --output-on-failure -j2 "$@")
