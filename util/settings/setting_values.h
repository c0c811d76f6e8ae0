// The seven values of a custom media setting as the selection and summary pages show them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/ui_text_table.h"
#include "util/settings/user_media_record.h"

// Media and thickness, head path delay, feeding, vacuum, cut, print mode, density.
using SettingValueTexts = std::array<std::string, 7>;

// Where the two pages differ: a cut value beyond the three entries shows nothing on the
// selection page and ":" on the summary page.
enum class SettingValuesPage { Selection, Summary };

SettingValueTexts FormatSettingValues(const MediaWorkingCopy& working, int32_t printMode,
                                      const std::string& driverMediaName, const UiTextTable& texts,
                                      SettingValuesPage page);
