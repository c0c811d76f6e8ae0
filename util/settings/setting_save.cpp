#include "util/settings/setting_save.h"

#include <filesystem>
#include <system_error>

#include "common/service_log.h"

namespace util {

namespace {

// What stands at the path when it is no regular file; "" for a file or nothing.
const char* KindOfNonFile(const std::string& path) {
    std::error_code ignored;
    switch (std::filesystem::status(path, ignored).type()) {
        case std::filesystem::file_type::directory:
            return "a folder";
        case std::filesystem::file_type::block:
        case std::filesystem::file_type::character:
            return "a device";
        case std::filesystem::file_type::fifo:
            return "a FIFO (named pipe)";
        case std::filesystem::file_type::socket:
            return "a socket";
        default:
            return "";
    }
}

}  // namespace

ExportTarget CheckExportFile(const UserSettings& settings, const std::string& path,
                             std::string_view name) {
    if (*KindOfNonFile(path) != '\0') {
        return ExportTarget::NotAFile;
    }
    std::error_code ignored;
    const bool holdsSomething =
        std::filesystem::exists(path, ignored) && std::filesystem::file_size(path, ignored) != 0;
    if (holdsSomething && !settings.ExportModelMatches(path)) {
        return ExportTarget::OtherModel;
    }
    return settings.ExportFind(path, name) != 0 ? ExportTarget::ReplacesSetting
                                                : ExportTarget::NewSetting;
}

std::string NotAFileText(const std::string& path) {
    return path + " is " + KindOfNonFile(path) + ", not a settings file.";
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
