// Saving a custom media setting, as the summary page and plenwise-cli do it: registered under a
// name in the driver's user configuration, and exported into a settings file. Each save that
// succeeds is recorded in the service log.
#pragma once

#include <string>
#include <string_view>

#include "util/settings/media_settings_store.h"
#include "util/settings/user_settings.h"

namespace util {

// What an export into the file would do: add the setting (also into an empty file, which holds
// nothing to lose), replace the section of that name, or nothing, the file being another model's
// or no file at all (a folder, a device, a FIFO, a socket).
enum class ExportTarget { NewSetting, ReplacesSetting, OtherModel, NotAFile };
ExportTarget CheckExportFile(const UserSettings& settings, const std::string& path,
                             std::string_view name);
// For a NotAFile target: "<path> is a folder, not a settings file." (or a device, a FIFO, a
// socket), the text the GUI and plenwise-cli show.
std::string NotAFileText(const std::string& path);

// The record being edited, registered in the store under the name; false when it cannot be.
bool RegisterSetting(MediaSettingsStore& store, const UserSettings& settings,
                     const std::string& queue, const std::string& name);
// The setting exported under the name into the file (UserSettings::ExportSetting); false when
// it cannot be written.
bool ExportSettingFile(const UserSettings& settings, const std::string& queue,
                       const std::string& path, const std::string& name);

}  // namespace util
