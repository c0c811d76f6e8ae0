#include "resources/util/templates.h"
#include "util/settings/model_class.h"
#include "util/variant.h"

namespace util {

namespace {

int32_t UtilDriverInkSet(const driverlib::InkSetQuery& answer) {
    return answer.values[driverlib::InkSetQuery::kInkSetIndex] == 11 ? 2 : 1;
}

// This family's heads have no black/gray row: the six other values are sent.
ByteBlock UtilGapBlock(HeadGapBlockKind kind, int patternCode, int platenGap,
                       const GapValues& values) {
    return UtilHeadGapBlock(kind, patternCode, platenGap,
                            {values[0], values[2], values[3], values[4], values[5], values[6]});
}

// The first family keeps one pair of configuration files.
MediaSettingsStore* FirstStore(OsKind, MediaSettingsStore& first, MediaSettingsStore*) {
    return &first;
}

}  // namespace

const Variant& UtilVariant() {
    static const Variant variant{
        .modelClassOf = ModelClassOf,
        .hasSettingPages = IsUserSettingsFamily,
        .link = LinkVariant::Util,
        .printerInkSets = InkSetTable::Util,
        .driverInkSetOf = UtilDriverInkSet,
        .configFileNamesOf = UtilConfigFileNames,
        .inkModeTextOf = UtilInkModeText,
        .secondStoreOf = nullptr,
        .activeStoreOf = FirstStore,
        .sampleImageChoice = true,
        .seriesCommandByModelClass = false,
        .feedingPane = {{1400, 1424}},
        .feedingRangeOnTrackbars = false,
        .gapTemplate = GapTemplate,
        .offersThirdGapMode = false,
        .platenGapTexts = {243, 242, 241},
        .firstPlatenGap = 0,
        .blackRowControls = {3005, 3012, 3037},
        .unidirectionalGapPane = {{1100, 1113}},
        .bidirectionalGapPane = {{1150, 1163}},
        .headGapBlock = UtilGapBlock,
    };
    return variant;
}

}  // namespace util
