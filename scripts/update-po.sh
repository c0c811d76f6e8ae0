#!/bin/sh
# Regenerates po/plenwise.pot from the English sources (the modules' texts and function names,
# the CLI's marked messages, the launcher entry, the metainfo and the manual pages' summaries) and merges it into every
# po/<language>.po, so that translators find new and changed texts marked as such. Run after changing an English text:
#   scripts/update-po.sh [build directory, default build]
set -eu
cd "$(dirname "$0")/.."
datc=${1:-build}/tools/datc/datc
if [ ! -x "$datc" ]; then
    echo "update-po: $datc is not built; run scripts/build.sh first" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$datc" --kind hub --template --out "$work/selhub.pot" resources/selhub/hub.txt
"$datc" --kind util --template --out "$work/util.pot" resources/util/util.txt
"$datc" --kind util --template --out "$work/altutil.pot" resources/altutil/altutil.txt
"$datc" --kind texts --template --out "$work/fwload.pot" resources/fwload/fwload.txt
"$datc" --kind texts --template --out "$work/upkeep.pot" resources/upkeep/upkeep.txt
# The CLI marks its messages with Tr(), TrPlural() and TR_NOOP() (cli/translation.h), the dialog
# templates the captions they carry themselves with TR_NOOP(), the launcher's command line and
# the settings file check theirs with sys::TranslatedMessage() and TR_NOOP().
xgettext --from-code=UTF-8 --language=C++ --keyword=Tr --keyword=TrPlural:1,2 --keyword=TR_NOOP \
    --keyword=TranslatedMessage --add-comments=TRANSLATORS: --package-name=Plenwise --omit-header \
    --no-wrap -o "$work/cli.pot" cli/*.cpp cli/*.h resources/*/templates.cpp \
    launcher/command_line.cpp util/settings/setting_save.cpp
# The launcher entry and the software-centre metadata.
xgettext --from-code=UTF-8 --language=Desktop --omit-header --no-wrap -o "$work/desktop.pot" \
    resources/launcher/plenwise.desktop.in
xgettext --from-code=UTF-8 --its=/usr/share/gettext/its/metainfo.its --omit-header --no-wrap \
    -o "$work/metainfo.pot" resources/launcher/plenwise.metainfo.xml.in
# The manual pages' summary lines (NAME).
"$datc" --kind manual --template --out "$work/manual-plenwise.pot" resources/launcher/plenwise.1.scd
"$datc" --kind manual --template --out "$work/manual-cli.pot" resources/cli/plenwise-cli.1.scd

{
    printf 'msgid ""\nmsgstr ""\n"Project-Id-Version: Plenwise\\n"\n'
    printf '"MIME-Version: 1.0\\n"\n"Content-Type: text/plain; charset=UTF-8\\n"\n'
    printf '"Content-Transfer-Encoding: 8bit\\n"\n'
} > "$work/header.pot"
parts="$work/header.pot"
for part in selhub util altutil fwload upkeep cli desktop metainfo manual-plenwise manual-cli; do
    [ -s "$work/$part.pot" ] && parts="$parts $work/$part.pot"
done
# A text that two sources share (the program's name) stands once, with both places.
msgcat --no-wrap -o po/plenwise.pot $parts
for po in po/*.po; do
    msgmerge --quiet --no-wrap --update --backup=none "$po" po/plenwise.pot
done
