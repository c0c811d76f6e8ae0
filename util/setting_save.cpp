#include "util/setting_save.h"

#include <filesystem>
#include <system_error>

#include "common/service_log.h"

namespace util {

ExportTarget CheckExportFile(const UserSettings& settings, const std::string& path,
                             std::string_view name) {
    std::error_code ignored;
    if (std::filesystem::exists(path, ignored) && !settings.ExportModelMatches(path)) {
        return ExportTarget::OtherModel;
    }
    return settings.ExportFind(path, name) != 0 ? ExportTarget::ReplacesSetting
                                                : ExportTarget::NewSetting;
}

bool RegisterSetting(MediaSettingsStore& store, const UserSettings& settings,
                     const std::string& queue, const std::string& name) {
    if (store.SaveUser(name) != 0) {
        return false;
    }
    LogServiceAction(queue, settings.Host().DriverName(), kActionSettingRegistration,
                     {{"name", name}, {"file", store.UcfPath()}}, kResultDone);
    return true;
}

bool ExportSettingFile(const UserSettings& settings, const std::string& queue,
                       const std::string& path, const std::string& name) {
    if (!settings.ExportSetting(path, name)) {
        return false;
    }
    LogServiceAction(queue, settings.Host().DriverName(), kActionSettingExport,
                     {{"name", name}, {"file", path}}, kResultDone);
    return true;
}

}  // namespace util
