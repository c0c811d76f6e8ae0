#!/bin/bash
# Refreshes docs/screenshots/, the pictures that the README and the software-centre metadata
# show: the selection page and the first page of each function. They are generated, not drawn
# by hand: this runs the demo's headless walkthrough (scripts/demo-walkthrough.steps) in a world,
# home and settings of its own, so that nothing of an earlier run or of your own choices shows,
# and copies the chosen screenshots. They are committed only because the README shows them: run
# this after changing a page they show, and commit what it wrote.
set -euo pipefail
readonly SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly TARGET=$SOURCE_DIR/docs/screenshots
# The selection page; media settings' and head gap's service menu, then the first page of a
# custom media setting; the firmware page with a file chosen; the power-cleaning page.
readonly CHOSEN=(01-selection.png 05-service-menu.png 08-setting-selection.png 04-firmware.png
    16-power-cleaning.png)

work=$(mktemp -d /tmp/plenwise-screenshots.XXXXXX)
# The world comes down even when the demo stopped half-way through bringing it up.
trap 'PLENWISE_WORLD="$work/world" "$SOURCE_DIR/scripts/world.sh" down >/dev/null 2>&1 || true
      rm -rf -- "$work"' EXIT
# As root the scheduler runs backends as lp, which must reach the world inside.
chmod 0755 "$work"
mkdir -p "$work/home" "$work/shots"
env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_CONFIG_HOME -u XDG_DATA_HOME \
    HOME="$work/home" PLENWISE_WORLD="$work/world" PLENWISE_SCREENSHOTS="$work/shots" \
    "$SOURCE_DIR/scripts/demo.sh"

mkdir -p "$TARGET"
for shot in "${CHOSEN[@]}"; do
    [[ -s $work/shots/$shot ]] || { echo "screenshots.sh: the demo made no $shot" >&2; exit 1; }
    cp "$work/shots/$shot" "$TARGET/$shot"
done
echo "screenshots.sh: ${CHOSEN[*]} refreshed in $TARGET" >&2
