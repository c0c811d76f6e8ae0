#!/bin/bash
# Builds the fuzz targets of tests/fuzz with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# into build-fuzz/ (or $PLENWISE_FUZZ_BUILD) and runs each for SECONDS seconds (default 20) on its
# seed corpus, with its dictionary where it has one. Fails when any target crashes, leaks, runs
# into a time-out or finds a check broken; the input that did it is kept in build-fuzz/artifacts/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     e.g. scripts/fuzz.sh 60 hive profile
#
# Inputs that reach new code are kept in build-fuzz/corpus/<target>/ for the next run. With
# PLENWISE_FUZZ_RUNS set, a target also stops after that many runs (the long runs before a
# release: PLENWISE_FUZZ_RUNS=10000000 nice -n 19 scripts/fuzz.sh 1800).
set -euo pipefail
readonly SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly BUILD_DIR=${PLENWISE_FUZZ_BUILD:-$SOURCE_DIR/build-fuzz}
readonly FUZZ_DIR=$SOURCE_DIR/tests/fuzz
seconds=${1:-20}
shift || true
if [[ ! $seconds =~ ^[0-9]+$ ]] || [[ $seconds -eq 0 ]]; then
    echo "usage: scripts/fuzz.sh [SECONDS] [TARGET...]" >&2
    exit 2
fi
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    for source in "$FUZZ_DIR"/*_fuzz.cpp; do
        name=$(basename "$source" _fuzz.cpp)
        targets+=("$name")
    done
fi

"$SOURCE_DIR/scripts/deps.sh"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$SOURCE_DIR" -B "$BUILD_DIR" -DPLENWISE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
cmake --build "$BUILD_DIR" --target plenwise_fuzzers -j"$(nproc)" >"$BUILD_DIR/fuzz-build.log" 2>&1 ||
    { tail -n 40 "$BUILD_DIR/fuzz-build.log" >&2; exit 1; }

mkdir -p "$BUILD_DIR/artifacts" "$BUILD_DIR/logs"
passed=0
failed=0
for target in "${targets[@]}"; do
    program=$BUILD_DIR/fuzz/${target}_fuzz
    if [[ ! -x $program ]]; then
        echo "fuzz: no target named $target" >&2
        failed=$((failed + 1))
        continue
    fi
    corpus=$BUILD_DIR/corpus/$target
    mkdir -p "$corpus"
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$BUILD_DIR/artifacts/$target-")
    [[ -n ${PLENWISE_FUZZ_RUNS:-} ]] && options+=(-runs="$PLENWISE_FUZZ_RUNS")
    [[ -f $FUZZ_DIR/dict/$target.dict ]] && options+=(-dict="$FUZZ_DIR/dict/$target.dict")
    log=$BUILD_DIR/logs/$target.log
    if "$program" "${options[@]}" "$corpus" "$FUZZ_DIR/corpus/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz: $target passed (${runs:-?} runs in at most ${seconds} s)"
        passed=$((passed + 1))
    else
        echo "fuzz: $target FAILED; its log, $log, ends:" >&2
        grep -v '^#[0-9]' "$log" | tail -n 30 >&2
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
