#include "util/settings/setting_values.h"

#include "util/settings/user_settings.h"

namespace {

std::string Tenths(int value) {
    return std::to_string(value / 10) + "." + std::to_string(value % 10);
}

}  // namespace

SettingValueTexts FormatSettingValues(const MediaWorkingCopy& working, int32_t printMode,
                                      const std::string& driverMediaName, const UiTextTable& texts,
                                      SettingValuesPage page) {
    SettingValueTexts values;
    values[0] = ": " + driverMediaName + " \n  [" + texts.GetText(121) + " : " +
                Tenths(working.Paperthick()) + texts.GetText(113) + "]";
    values[1] = ": " + Tenths(working.Drytime()) + " " + texts.GetText(114);
    values[2] = ": " + std::to_string(working.Forward()) + " " + texts.GetText(146);
    const int32_t suction = PaperdrawStep(working.Paperdraw());
    values[3] = suction == 0 ? ": " + texts.GetText(151) : ": " + std::to_string(suction);
    const uint8_t cut = working.PaperCut();
    if (cut <= 2) {
        values[4] = ": " + texts.GetText(161 + cut);
    } else {
        values[4] = page == SettingValuesPage::Summary ? ":" : "";
    }
    values[5] = printMode >= 0 && printMode <= 3 ? ": " + texts.GetText(171 + printMode) : ":";
    values[6] = ": " + std::to_string(working.Density()) + " %";
    return values;
}
