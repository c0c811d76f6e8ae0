#!/bin/bash
# The demo from a fresh machine: installs what is missing, builds, brings up the simulated
# world (a private CUPS scheduler with its queues) and starts Plenwise against it. The world is
# stopped again when Plenwise ends.
#
# Without a display, Plenwise is walked through its pages offscreen by a step file instead, and
# the screenshots are written to $PLENWISE_SCREENSHOTS (default: /tmp/plenwise-demo).
set -euo pipefail
readonly SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly BUILD_DIR=${PLENWISE_BUILD:-$SOURCE_DIR/build}
export PLENWISE_WORLD=${PLENWISE_WORLD:-$SOURCE_DIR/.world}

"$SOURCE_DIR/scripts/deps.sh"
"$SOURCE_DIR/scripts/build.sh"

# Down again at the end, and also when bringing it up stops half-way.
trap '"$SOURCE_DIR/scripts/world.sh" down' EXIT
"$SOURCE_DIR/scripts/world.sh" up
# shellcheck source=/dev/null
set -a
source "$PLENWISE_WORLD/env"
set +a

# A few firmware files in the home folder, where the firmware page looks first: a newer and an
# older one for the WL-4000 (version BN0105) and one of the other model class. The version
# stands at offset 16; the rest is filler.
firmware_file() {
    local file=$HOME/$1 version=$2
    [[ -e $file ]] && return 0
    { printf 'PLENWISE-FW-1.0\n%s' "$version"; head -c 4096 /dev/zero | tr '\0' 'F'; } >"$file"
}
firmware_file WL4000_BN0106.upg BN0106
firmware_file WL4000_BN0101.upg BN0101
firmware_file WL2000_BB0300.upg BB0300

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    "$BUILD_DIR/out/plenwise"
    exit 0
fi

shots=${PLENWISE_SCREENSHOTS:-/tmp/plenwise-demo}
mkdir -p "$shots"
echo "demo.sh: no display here; walking Plenwise through its pages offscreen." >&2
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/plenwise-runtime.XXXXXX)}
chmod 0700 "$XDG_RUNTIME_DIR"
# The walkthrough picks a firmware file from the home folder.
steps=$(mktemp /tmp/plenwise-demo-steps.XXXXXX)
trap 'rm -f -- "$steps"; "$SOURCE_DIR/scripts/world.sh" down' EXIT
# The message boxes the walkthrough expects are written in English: in another language the
# walk answers them as prepared without checking which boxes came.
english_only=()
case ${LANGUAGE:-${LC_ALL:-${LC_MESSAGES:-${LANG:-C}}}} in
    C | C.* | POSIX | en*) ;;
    *) english_only=(-e '/^expect-box /d' -e '/^expect-no-box/d') ;;
esac
sed -e "s|@HOME@|$HOME|g" -e "s|@SHOTS@|$shots|g" -e "s|@JOURNAL@|$PLENWISE_SIM_JOURNAL|g" \
    "${english_only[@]}" "$SOURCE_DIR/scripts/demo-walkthrough.steps" >"$steps"
# The walkthrough ends once the printer's journal holds its last job. Jobs that an interrupted
# run left in the private scheduler's queues are dropped, and the journal's log (not its
# entries) starts afresh, so that nothing of an earlier run is taken for this one's.
cancel -h "$CUPS_SERVER" -a -x 2>/dev/null || true
: >"$PLENWISE_SIM_JOURNAL/journal.log"
# The walkthrough makes its custom settings anew each time: the WL4000's and the WL3000's
# drivers start without user settings (the driver's installation makes the WL3000's empty user
# file again), and the settings files exported go beside the screenshots.
rm -f "$PLENWISE_MACHINE/Program Files/ARVEN/ARVEN WL-4000/"*.UCF \
    "$PLENWISE_MACHINE/Program Files/ARVEN/ARVEN WL-3000/"*.UCF "$shots/"demo-*.ASU
"$BUILD_DIR/out/make-driver-cfg" --install "$PLENWISE_MACHINE" >/dev/null
(cd "$shots" && QT_QPA_PLATFORM=offscreen "$BUILD_DIR/out/plenwise" --steps "$steps")
echo "demo.sh: screenshots of the pages shown and the exported settings file are in $shots; what the WL4000 received (gap patterns, sample pages, the power-cleaning block) is in $PLENWISE_WORLD/printers/journal; firmware files to try are in $HOME" >&2
