// What tells the two media-settings modules apart. One wizard host and one set of pages serve
// both; each module builds its host with its own Variant, and a page asks the variant, never
// which module it is in. Differences are data where they can be, otherwise one named function
// with one implementation per module.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/printer_link.h"
#include "common/remote_commands.h"
#include "platform/ui/dialog.h"
#include "util/settings/driver_settings_library.h"
#include "util/settings/media_settings_store.h"
#include "util/settings/model_class.h"
#include "util/settings/user_settings.h"

namespace util {

// A gap page's seven value edits, in the order 3012, 3014, 3015, 3016, 3017, 3018, 3019.
inline constexpr std::array<int, 7> kGapValueEdits{3012, 3014, 3015, 3016, 3017, 3018, 3019};
using GapValues = std::array<int, kGapValueEdits.size()>;

// Text numbers joined into a message pane: inclusive ranges, in order.
using TextRanges = std::vector<std::pair<int32_t, int32_t>>;

struct Variant {
    // The model class of a driver name, compared exactly.
    int32_t (*modelClassOf)(std::string_view driverName);
    // Whether the model gets the custom media setting pages.
    bool (*hasSettingPages)(int32_t modelClass);
    // How the printer link keeps its library and which channel it prefers.
    LinkVariant link;
    // The table a printer's "INK:" status is read against.
    InkSetTable printerInkSets;
    // The driver ink set from the driver's answer to item 217.
    int32_t (*driverInkSetOf)(const driverlib::InkSetQuery& answer);
    // The names of the model's driver configuration files, and the export file's "InkMode".
    ConfigFileNames (*configFileNamesOf)(int32_t modelClass);
    std::string (*inkModeTextOf)(int32_t driverInkSet);

    // The stores of the driver's media configuration: a second one when the module has it (else
    // nullptr), and the one the pages work on, chosen at start-up; nullptr when the driver's files
    // needed are missing, which ends the start-up.
    std::unique_ptr<MediaSettingsStore> (*secondStoreOf)(UserSettings& settings);
    MediaSettingsStore* (*activeStoreOf)(OsKind kind, MediaSettingsStore& first,
                                         MediaSettingsStore* second);

    // Sample prints: whether the operator may print a bitmap of his own, and whether the
    // sample-series switch carries the model class's key byte.
    bool sampleImageChoice;
    bool seriesCommandByModelClass;

    // The feeding page's message pane, and whether its range is set on two trackbars rather than
    // on the range slider the page draws.
    TextRanges feedingPane;
    bool feedingRangeOnTrackbars;

    // Head-gap pages.
    const ui::DialogTemplate& (*gapTemplate)();
    // The direction and mode page offers the third mode (check box 3032).
    bool offersThirdGapMode;
    // The platen gap list's entries, in list order, and the entry selected at first.
    std::vector<int32_t> platenGapTexts;
    int firstPlatenGap;
    // Controls the unidirectional gap pages hide: the black row's.
    std::vector<int> blackRowControls;
    TextRanges unidirectionalGapPane;
    TextRanges bidirectionalGapPane;
    // The test or store block of a gap page's values.
    ByteBlock (*headGapBlock)(HeadGapBlockKind kind, int patternCode, int platenGap,
                              const GapValues& values);
};

// The first printer family's media-settings module.
const Variant& UtilVariant();

}  // namespace util
