// altutil: the media-settings and head-gap module of the second printer family, built from util's
// host and pages with these differences.
#include <memory>

#include "altutil/second_family.h"
#include "altutil/second_media_config.h"
#include "altutil/variant.h"
#include "resources/util/templates.h"

namespace altutil {

namespace {

// The setting pages exist for every model of this family.
bool AllModels(int32_t) {
    return true;
}

std::unique_ptr<MediaSettingsStore> MakeSecondStore(UserSettings& settings) {
    return std::make_unique<SecondMediaConfig>(settings);
}

// The A_FCF pair where Windows NT 5 has it; otherwise the first pair, whose driver file must be
// there except on Windows 95/98/Me (which keeps it in the registry).
MediaSettingsStore* ActiveStore(OsKind kind, MediaSettingsStore& first,
                                MediaSettingsStore* second) {
    if (kind == OsKind::Nt5OrLater && second != nullptr && second->DriverFilePresent()) {
        return second;
    }
    if (kind != OsKind::Windows9x && !first.DriverFilePresent()) {
        return nullptr;
    }
    return &first;
}

// Seven values, sent with magenta and light cyan the other way round.
ByteBlock GapBlock(HeadGapBlockKind kind, int patternCode, int platenGap,
                   const util::GapValues& values) {
    return AltUtilHeadGapBlock(
        kind, patternCode, platenGap,
        {values[0], values[1], values[2], values[4], values[3], values[5], values[6]});
}

}  // namespace

const util::Variant& AltUtilVariant() {
    static const util::Variant variant{
        .modelClassOf = ModelCodeOf,
        .hasSettingPages = AllModels,
        .link = LinkVariant::AltUtil,
        .printerInkSets = InkSetTable::AltUtil,
        .driverInkSetOf = DriverInkSetOf,
        .configFileNamesOf = ConfigFileNamesOf,
        .inkModeTextOf = InkModeTextOf,
        .secondStoreOf = MakeSecondStore,
        .activeStoreOf = ActiveStore,
        .sampleImageChoice = false,
        .seriesCommandByModelClass = true,
        .feedingPane = {{520, 524}, {620, 628}},
        .feedingRangeOnTrackbars = true,
        .gapTemplate = util::SevenValueGapTemplate,
        .offersThirdGapMode = true,
        .platenGapTexts = {241, 242, 243, 244},
        .firstPlatenGap = 2,
        .blackRowControls = {3005, 3012},
        .unidirectionalGapPane = {{1515, 1524}, {1615, 1615}},
        .bidirectionalGapPane = {{1525, 1534}, {1625, 1625}},
        .headGapBlock = GapBlock,
    };
    return variant;
}

}  // namespace altutil
