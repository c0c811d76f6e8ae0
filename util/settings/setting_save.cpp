#include "util/settings/setting_save.h"

#include <filesystem>
#include <system_error>

#include "common/service_log.h"
#include "platform/system/message_catalogue.h"

namespace util {

namespace {

// The message for what stands at the path when it is no regular file; none for a file or
// nothing. Whole sentences, as each language words them its own way.
const char* NotAFileMessage(const std::string& path) {
    std::error_code ignored;
    switch (std::filesystem::status(path, ignored).type()) {
        case std::filesystem::file_type::directory:
            return TR_NOOP("%1 is a folder, not a settings file.");
        case std::filesystem::file_type::block:
        case std::filesystem::file_type::character:
            return TR_NOOP("%1 is a device, not a settings file.");
        case std::filesystem::file_type::fifo:
            return TR_NOOP("%1 is a FIFO (named pipe), not a settings file.");
        case std::filesystem::file_type::socket:
            return TR_NOOP("%1 is a socket, not a settings file.");
        default:
            return nullptr;
    }
}

}  // namespace

ExportTarget CheckExportFile(const UserSettings& settings, const std::string& path,
                             std::string_view name) {
    if (NotAFileMessage(path) != nullptr) {
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
    const char* message = NotAFileMessage(path);
    return message != nullptr ? sys::TranslatedMessage(message, {path}) : std::string();
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
