#!/bin/bash
# Refreshes docs/screenshots/, the pictures that the README and the software-centre metadata
# show: the selection page and the first page of each function. They are generated, not drawn
# by hand: this runs the demo's headless walkthrough (scripts/demo-walkthrough.steps) in a world,
# home and settings of its own, so that nothing of an earlier run or of your own choices shows,
# and copies the chosen screenshots. They are committed only because the README shows them: run
# this after changing a page they show, and commit what it wrote. A second set, on a screen
# scaled by 2 (QT_SCALE_FACTOR=2), goes into docs/screenshots/scale-2/: every page must keep its
# controls inside the window and its texts whole there too. Every page the walkthrough shows is
# also taken in each translated language (po/*.po), into docs/screenshots/<language>/: German
# texts run longer, and Japanese needs its font, so look at every page after a change of either.
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
mkdir -p "$work/home" "$work/shots" "$work/shots-2"
# Runs the demo with the screen scale given, its screenshots into the folder given, in the
# language given (English when none).
demo() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u QT_FONT_DPI \
        -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG ${3:+LANGUAGE=$3} \
        QT_SCALE_FACTOR="$1" HOME="$work/home" PLENWISE_WORLD="$work/world" \
        PLENWISE_SCREENSHOTS="$2" "$SOURCE_DIR/scripts/demo.sh"
}
demo 1 "$work/shots"
demo 2 "$work/shots-2"
languages=()
for po in "$SOURCE_DIR"/po/*.po; do
    language=$(basename "$po" .po)
    languages+=("$language")
    mkdir -p "$work/shots-$language"
    demo 1 "$work/shots-$language" "$language"
done

mkdir -p "$TARGET/scale-2"
for shot in "${CHOSEN[@]}"; do
    for set in shots:"$TARGET" shots-2:"$TARGET/scale-2"; do
        [[ -s $work/${set%%:*}/$shot ]] || { echo "screenshots.sh: the demo made no $shot" >&2; exit 1; }
        cp "$work/${set%%:*}/$shot" "${set#*:}/$shot"
    done
done
for language in "${languages[@]}"; do
    ls "$work/shots-$language"/*.png >/dev/null 2>&1 ||
        { echo "screenshots.sh: the demo made no screenshots in $language" >&2; exit 1; }
    rm -rf "$TARGET/$language"
    mkdir -p "$TARGET/$language"
    cp "$work/shots-$language"/*.png "$TARGET/$language/"
done
echo "screenshots.sh: ${CHOSEN[*]} refreshed in $TARGET and $TARGET/scale-2," \
    "every page in ${languages[*]/#/$TARGET/}" >&2
