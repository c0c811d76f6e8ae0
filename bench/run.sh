#!/bin/bash
# Measures Plenwise against baselines taken in the same run, on the same machine, and prints a
# table of medians and ratios. Builds what it needs, brings up four private worlds (the default
# one, and one each with 5, 500 and 5000 queues of served models) and takes them down again.
#
#   bench/run.sh              every case, BENCH_ROUNDS rounds each (default 10)
#
# Settings (environment):
#   BENCH_ROUNDS=N            rounds of each case (default 10); case and baseline alternate
#   BENCH_FIRMWARE_MB=N       size of the firmware file (default 128)
#   BENCH_SKIP_WAITS=1        leave out the two long waits (a minute and 85 s) of the idle checks
#   BENCH_ONLY_FIRMWARE=1     only the firmware download and its baseline, in the default world
#   BENCH_ONLY_START=1        only the starts with 13, 5 and 500 queues and their baselines
#
# Nothing here is a test: it asserts nothing, and its figures depend on the machine and its load
# (shown at the start and the end). Measure on an otherwise quiet machine.
set -euo pipefail

readonly SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly BUILD_DIR=${PLENWISE_BUILD:-$SOURCE_DIR/build}
readonly OUT=$BUILD_DIR/out
readonly ROUNDS=${BENCH_ROUNDS:-10}
readonly FIRMWARE_MB=${BENCH_FIRMWARE_MB:-128}
readonly WORK=$(mktemp -d /tmp/plenwise-bench.XXXXXX)
# A desktop session's runtime folder is a tmpfs: the program's single-instance lock, which is
# synced to its file system at every start, costs there what it costs a user.
if [[ $(stat -f -c %T /dev/shm 2>/dev/null) == tmpfs ]]; then
    readonly RUNTIME=$(mktemp -d /dev/shm/plenwise-bench-runtime.XXXXXX)
else
    readonly RUNTIME=$WORK/runtime
fi
# As root the scheduler runs the backend as user lp, which must reach into the worlds.
chmod 755 "$WORK"
readonly MEASURE=$OUT/plenwise-bench-measure
if [[ -n ${BENCH_ONLY_FIRMWARE:-} ]]; then
    readonly WORLDS=(default)
elif [[ -n ${BENCH_ONLY_START:-} ]]; then
    readonly WORLDS=(default served5 served500)
else
    readonly WORLDS=(default served5 served500 served5000)
fi

say() { echo "bench: $*" >&2; }

cleanup() {
    local world
    for world in "${WORLDS[@]}"; do
        if [[ -d $WORK/$world ]]; then
            PLENWISE_WORLD=$WORK/$world "$SOURCE_DIR/scripts/world.sh" down >/dev/null 2>&1 || true
        fi
    done
    rm -rf "$WORK" "$RUNTIME"
}
trap cleanup EXIT

# --- building -----------------------------------------------------------------------------------
say "building (niced) into $BUILD_DIR"
nice "$SOURCE_DIR/scripts/build.sh" >"$WORK/build.log" 2>&1 || { cat "$WORK/build.log" >&2; exit 1; }
nice cmake --build "$BUILD_DIR" --target bench -j"$(nproc)" >>"$WORK/build.log" 2>&1 ||
    { cat "$WORK/build.log" >&2; exit 1; }

# --- the worlds ---------------------------------------------------------------------------------
# Printers print, clean and take firmware at once: the figures are the program's and the
# spooler's, not a simulated printer's.
up_world() {
    local name=$1 queues=${2:-}
    PLENWISE_WORLD=$WORK/$name PLENWISE_WORLD_QUEUES=$queues PLENWISE_SIM_PRINT_MS=0 \
        PLENWISE_SIM_BUSY_MS=0 nice "$SOURCE_DIR/scripts/world.sh" up >"$WORK/$name.up.log" 2>&1 ||
        { cat "$WORK/$name.up.log" >&2; exit 1; }
}
say "bringing up the worlds (the ones with 500 and 5000 queues take minutes)"
up_world default
if [[ -z ${BENCH_ONLY_FIRMWARE:-} ]]; then
    up_world served5 5
    up_world served500 500
fi
if [[ -z ${BENCH_ONLY_FIRMWARE:-}${BENCH_ONLY_START:-} ]]; then
    up_world served5000 5000
fi

# Runs a command in a world's environment (its scheduler, machine folder and simulator).
in_world() {
    local world=$1
    shift
    (
        set -a
        . "$WORK/$world/env"
        set +a
        "$@"
    )
}

export QT_QPA_PLATFORM=offscreen
export HOME=$WORK/home
export XDG_CONFIG_HOME=$HOME/.config
export XDG_RUNTIME_DIR=$RUNTIME
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 0700 "$XDG_RUNTIME_DIR"

# --- step files and inputs ----------------------------------------------------------------------
cat >"$WORK/start.steps" <<'EOF'
wait 1000
click 1000
EOF

readonly IMAGE=$OUT/Sample.bmp
readonly FIRMWARE=$WORK/firmware.upg
readonly FIRMWARE_JOB=$WORK/firmware.job
readonly RELEASE=$WORK/release
# A firmware file of the WL4000's model class, a version above the world's, zeros after it;
# and the job the program makes of it (lead-in, class-1 header, file) for the baseline. The
# start cases alone need neither.
if [[ -z ${BENCH_ONLY_START:-} ]]; then
    {
        printf '%016d' 0
        printf 'BN0106'
        head -c $((FIRMWARE_MB * 1024 * 1024 - 22)) /dev/zero
    } >"$FIRMWARE"
    {
        head -c 16384 /dev/zero | tr '\0' '\021'
        printf '\033\175\001\005\000\043\003\160\217\070'
        cat "$FIRMWARE"
    } >"$FIRMWARE_JOB"
fi

firmware_steps() {
    local wait_for_box=$1
    cat <<EOF
timeout 120000
wait 1000
select 1003 WL4000
select 1004 "Firmware download"
click 1001
wait 1003
answer-file $FIRMWARE
click 1007
answer-box 1
say download
click 1019
wait 1004
EOF
    if [[ $wait_for_box == full ]]; then
        printf 'wait-gone 1004\nsay box-closed\n'
    else
        printf 'wait-file %s go\nclick 2\nwait-gone 1004\n' "$RELEASE"
    fi
    cat <<'EOF'
wait 1003
answer-box 1
click 1000
EOF
}
firmware_steps short >"$WORK/firmware.steps"
firmware_steps full >"$WORK/firmware-full.steps"

readonly SIM_LOG_DEFAULT=$WORK/default/printers/journal/journal.log
# Firmware jobs are large: the journals keep only their records.
drop_job_files() {
    find "$WORK/default/printers/journal" "$WORK/default/journal" -type f \
        \( -name '*.bin' -o -name '*.data' \) -size +1M -delete 2>/dev/null || true
}
# A firmware job is filed by the printer before its backend and the scheduler are done with it:
# the next case starts once the world's queues are idle again (at most 30 s), not beside them.
settle_world() {
    local tries
    for ((tries = 0; tries < 300; tries++)); do
        [[ -z $(in_world default lpstat -o 2>/dev/null) ]] && return
        sleep 0.1
    done
    say "the world's queues are still busy; measuring anyway"
}

# --- the cases ----------------------------------------------------------------------------------
# Each case appends one line of figures per round to $WORK/results/<case>. Anything else a
# command writes to standard output would be taken for figures: such a round counts as failed.
mkdir -p "$WORK/results"
record() {
    local name=$1
    shift
    local line
    if line=$("$@" 2>>"$WORK/results/$name.err") && [[ $line =~ ^[0-9.\ -]+$ ]]; then
        echo "$line" >>"$WORK/results/$name"
    else
        say "case $name failed this round (see below)"
        tail -n 20 "$WORK/results/$name.err" >&2
    fi
}

plenwise_start() { "$MEASURE" run -- "$OUT/plenwise" --steps "$WORK/start.steps"; }
dialog_start() { "$MEASURE" run -- "$OUT/plenwise-bench-dialog"; }
dialog_cups_start() { "$MEASURE" run -- "$OUT/plenwise-bench-dialog-cups"; }
# The listing baseline of the start: the bare dialog filled from one cupsGetDests2 listing.
dialog_dests_start() { "$MEASURE" run -- "$OUT/plenwise-bench-dialog-dests"; }
# Without a scheduler no printer qualifies: the message saying so appears before the first step
# can prepare its answer, and the step run ends there (status 2), at the moment it is shown.
no_scheduler_start() {
    CUPS_SERVER=/nonexistent/plenwise-no-scheduler \
        "$MEASURE" run --status 2 -- "$OUT/plenwise" --steps "$WORK/start.steps"
}
lpstat_all() { "$MEASURE" run --quiet -- lpstat -e; }
sample_page() {
    local figures
    figures=$("$MEASURE" run -- "$OUT/plenwise-bench-sample" page WL4000 "$IMAGE" \
        2>/dev/null | tr '\n' ' ')
    [[ -n $figures ]] && echo "$figures"
}
sample_idle() { "$MEASURE" run -- "$OUT/plenwise-bench-sample" idle WL4000; }
gzip_image() { "$MEASURE" run -- sh -c "gzip -1 -c '$IMAGE' >'$WORK/image.gz'"; }
firmware_plenwise() {
    rm -f "$RELEASE"
    "$MEASURE" filed "$SIM_LOG_DEFAULT" "firmware accepted" --from download --release "$RELEASE" \
        -- "$OUT/plenwise" --steps "$WORK/firmware.steps"
}
firmware_lp() {
    "$MEASURE" filed "$SIM_LOG_DEFAULT" "firmware accepted" \
        -- lp -s -d WL4000 -o raw -t "ARSU Command" "$FIRMWARE_JOB"
}

say "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
say "warming up"
in_world default plenwise_start >/dev/null 2>&1 || true
in_world default dialog_start >/dev/null 2>&1 || true
in_world default sample_page >/dev/null 2>&1 || true
if [[ -z ${BENCH_ONLY_START:-} ]]; then
    cat "$FIRMWARE_JOB" "$IMAGE" >/dev/null
fi

for ((round = 1; round <= ROUNDS; round++)); do
    say "round $round of $ROUNDS"
    if [[ -n ${BENCH_ONLY_FIRMWARE:-} ]]; then
        record firmware in_world default firmware_plenwise
        drop_job_files
        settle_world
        record lp in_world default firmware_lp
        drop_job_files
        settle_world
        continue
    fi
    record start13 in_world default plenwise_start
    record dialog in_world default dialog_start
    record dialog_dests in_world default dialog_dests_start
    record dialog_cups in_world default dialog_cups_start
    record start_none in_world default no_scheduler_start
    record start5 in_world served5 plenwise_start
    record start500 in_world served500 plenwise_start
    record lpstat500 in_world served500 lpstat_all
    if [[ -n ${BENCH_ONLY_START:-} ]]; then
        continue
    fi
    record start5000 in_world served5000 plenwise_start
    record dialog5000 in_world served5000 dialog_cups_start
    record page in_world default sample_page
    record idle in_world default sample_idle
    record gzip in_world default gzip_image
    record firmware in_world default firmware_plenwise
    drop_job_files
    settle_world
    record lp in_world default firmware_lp
    drop_job_files
    settle_world
done

if [[ -z ${BENCH_SKIP_WAITS:-}${BENCH_ONLY_START:-} ]]; then
    say "the idle checks: a queue wait of a minute, a firmware progress box of 85 s"
    record queue_wait in_world default "$MEASURE" run -- "$OUT/plenwise-bench-sample" wait WL2000
    record box_wait in_world default "$MEASURE" filed "$SIM_LOG_DEFAULT" "firmware accepted" \
        --from download --cpu-until box-closed -- "$OUT/plenwise" --steps "$WORK/firmware-full.steps"
    drop_job_files
fi
say "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

# --- the table ----------------------------------------------------------------------------------
# The median of field F of a case's lines; "-" when the case has none.
median() {
    local name=$1 field=$2 file=$WORK/results/$1
    [[ -s $file ]] || { echo "-"; return; }
    awk -v f="$field" '{print $f}' "$file" | sort -g |
        awk '{v[NR] = $1} END {if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
calc() { awk "BEGIN {print $*}" 2>/dev/null || echo "-"; }
verdict() { awk "BEGIN {print ($*) ? \"met\" : \"NOT met\"}" 2>/dev/null || echo "-"; }

image_bytes=$(stat -c %s "$IMAGE")
deflated=$("$OUT/plenwise-bench-sample" deflate "$IMAGE")
start13=$(median start13 1) dialog=$(median dialog 1) none=$(median start_none 1)
dests=$(median dialog_dests 1)
start5=$(median start5 1) start500=$(median start500 1) lpstat=$(median lpstat500 1)
page_ms=$(median page 1) pdf=$(median page 2) gzip_ms=$(median gzip 1)
page_rss=$(median page 5) idle_rss=$(median idle 3)
firmware=$(median firmware 1) lp=$(median lp 1)
above_idle_mb=$(calc "($page_rss - $idle_rss) / 1024")
allowed_mb=$(calc "$image_bytes / 1048576 + 60")

printf '\nPlenwise benchmark, %s, %s cores, %s rounds, medians; load %s at the end\n\n' \
    "$(date -u +%Y-%m-%dT%H:%MZ)" "$(nproc)" "$ROUNDS" "$(cut -d' ' -f1-3 /proc/loadavg)"
row() { printf '| %-44s | %-18s | %-30s | %-9s | %-8s |\n' "$@"; }
row "Case" "Plenwise" "Baseline" "Ratio" "Goal"
row "--------------------------------------------" "------------------" \
    "------------------------------" "---------" "--------"
row "P1 start to selection and exit, 13 queues" "$start13 ms" "bare Qt dialog $dialog ms" \
    "$(calc "$start13 / $dialog" | cut -c1-4)x" "$(verdict "$start13 <= 1.3 * $dialog")"
row "   the same against the listing baseline" "$start13 ms" "dialog + cupsGetDests2 $dests ms" \
    "$(calc "$start13 / $dests" | cut -c1-4)x" "$(verdict "$start13 <= 1.1 * $dests")"
row "   processor time, 13 queues" "$(median start13 2) ms" \
    "bare $(median dialog 2), listing $(median dialog_dests 2) ms" "-" "-"
row "   the same, no scheduler reachable" "$none ms" "bare Qt dialog $dialog ms" \
    "$(calc "$none / $dialog" | cut -c1-4)x" "-"
row "   (not Plenwise: the dialog listing by CUPS)" "$(median dialog_cups 1) ms" \
    "bare Qt dialog $dialog ms" "$(calc "$(median dialog_cups 1) / $dialog" | cut -c1-4)x" "-"
row "   peak memory, 13 queues" "$(calc "$(median start13 3) / 1024" | cut -c1-5) MiB" \
    "bare Qt dialog $(calc "$(median dialog 3) / 1024" | cut -c1-5) MiB" "-" "-"
row "P2 start with 500 queues" "$start500 ms" "the same with 5: $start5 ms" \
    "+$(calc "$start500 - $start5") ms" "$(verdict "$start500 - $start5 <= 100")"
row "   processor time, 500 queues" "$(median start500 2) ms" "lpstat -e, 500: $lpstat ms" "-" "-"
row "   500 queues against 13" "$start500 ms" "13 queues: $start13 ms" \
    "+$(calc "$start500 - $start13") ms" "$(verdict "$start500 - $start13 <= 100")"
if [[ -n ${BENCH_ONLY_START:-} ]]; then
    exit 0
fi
start5000=$(median start5000 1) dialog5000=$(median dialog5000 1)
row "P2 start with 5000 queues" "$start5000 ms" "Qt dialog, same request $dialog5000 ms" \
    "$(calc "$start5000 / $dialog5000" | cut -c1-4)x" "$(verdict "$start5000 <= 1.2 * $dialog5000")"
row "   processor time, 5000 queues" "$(median start5000 2) ms" \
    "Qt dialog, same request $(median dialog5000 2) ms" "-" "-"
row "P3 sample page, start to job in queue" "$page_ms ms" "gzip -1 of the bitmap $gzip_ms ms" \
    "$(calc "$page_ms / $gzip_ms" | cut -c1-4)x" "$(verdict "$page_ms <= 1.5 * $gzip_ms")"
row "   PDF size" "$pdf bytes" "pixels deflated $deflated bytes" \
    "$(calc "$pdf / $deflated" | cut -c1-4)x" "$(verdict "$pdf <= 1.1 * $deflated")"
row "   peak memory above the idle program" "$above_idle_mb MiB" \
    "bitmap + 60 MiB = $allowed_mb MiB" "-" "$(verdict "$above_idle_mb <= $allowed_mb")"
row "P4 firmware ${FIRMWARE_MB} MB, Download to filed" "$firmware ms" "lp -o raw $lp ms" \
    "$(calc "$firmware / $lp" | cut -c1-4)x" "$(verdict "$firmware <= 1.2 * $lp")"
if [[ -z ${BENCH_SKIP_WAITS:-} ]]; then
    wait_cpu=$(calc "$(median queue_wait 2) * 100 / $(median queue_wait 1)" | cut -c1-5)
    box_cpu=$(median box_wait 2)
    row "P5 queue wait (a minute), processor use" "$wait_cpu % of a core" "1 % of a core" "-" \
        "$(verdict "$wait_cpu <= 1")"
    row "   firmware progress box (85 s)" "$box_cpu % of a core" "1 % of a core" "-" \
        "$(verdict "$box_cpu <= 1")"
fi
printf '\nBitmap %s bytes (%s); firmware job %s bytes.\n' "$image_bytes" "$IMAGE" \
    "$(stat -c %s "$FIRMWARE_JOB")"
