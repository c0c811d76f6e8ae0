#!/bin/bash
# The accessibility walk (walk_pages.py) in a world, a D-Bus session and an X server of its own,
# once as the screen is, once with large fonts and once on a screen scaled by 2.
# Arguments: the source folder and the folder of the built programs.
set -euo pipefail
readonly SOURCE_DIR=$1 OUT_DIR=$2
scratch=$(mktemp -d /tmp/plenwise-a11y.XXXXXX)
# As root the scheduler runs backends as lp, which must reach the world inside.
chmod 0755 "$scratch"
trap 'PLENWISE_WORLD="$scratch/world" "$SOURCE_DIR/scripts/world.sh" down >/dev/null 2>&1 || true
      rm -rf -- "$scratch"' EXIT
PLENWISE_WORLD=$scratch/world PLENWISE_SIM_PRINT_MS=50 PLENWISE_SIM_BUSY_MS=0 \
    "$SOURCE_DIR/scripts/world.sh" up >"$scratch/world.log" 2>&1 || { cat "$scratch/world.log"; exit 1; }
set -a
# shellcheck source=/dev/null
source "$scratch/world/env"
set +a
export XDG_RUNTIME_DIR=$scratch/runtime XDG_CONFIG_HOME=$scratch/config XDG_STATE_HOME=$scratch/state
mkdir -m 0700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
# As it is, with large fonts, and on a screen scaled by 2.
for screen in "" QT_FONT_DPI=144 QT_SCALE_FACTOR=2; do
    # shellcheck disable=SC2086
    dbus-run-session -- xvfb-run -a -s "-screen 0 1600x1200x24" /usr/bin/python3 \
        "$SOURCE_DIR/tests/accessibility/walk_pages.py" "$OUT_DIR/plenwise" "$scratch" $screen
done
