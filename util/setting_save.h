// Saving a custom media setting, as the summary page and plenwise-cli do it: registered under a
// name in the driver's user configuration, and exported into a settings file. Each save that
// succeeds is recorded in the service log.
#pragma once

#include <string>
#include <string_view>

#include "util/media_settings_store.h"
#include "util/user_settings.h"

namespace util {

// What an export into the file would do: add the setting, replace the section of that name, or
// nothing, the file being another model's.
enum class ExportTarget { NewSetting, ReplacesSetting, OtherModel };
ExportTarget CheckExportFile(const UserSettings& settings, const std::string& path,
                             std::string_view name);

// The record being edited, registered in the store under the name; false when it cannot be.
bool RegisterSetting(MediaSettingsStore& store, const UserSettings& settings,
                     const std::string& queue, const std::string& name);
// The setting exported under the name into the file (UserSettings::ExportSetting); false when
// it cannot be written.
bool ExportSettingFile(const UserSettings& settings, const std::string& queue,
                       const std::string& path, const std::string& name);

}  // namespace util
