#include "cli/settings_host.h"

#include <optional>
#include <utility>

#include "util/queue_driver.h"

namespace cli {

SettingsHost::SettingsHost(const util::Variant& variant, std::string printerName)
    : printerName_(std::move(printerName)), session_(variant, data_) {
    // Until a setting is loaded, the first print mode.
    session_.SetPrintMode(1);
}

SettingsHost::Start SettingsHost::StartUp(const std::string& dataFilePath) {
    data_.Load(dataFilePath);
    if (!data_.Complete()) {
        return Start::DataFileDamaged;
    }
    session_.FindQueue(printerName_);
    if (!session_.HasSettingPages()) {
        return Start::NoSettings;
    }
    session_.BindLibrary();
    if (!session_.ChooseStore()) {
        return Start::NoMediaConfiguration;
    }
    if (std::optional<util::DriverFileFault> fault = util::CheckDriverFiles(session_.Store())) {
        fault_ = std::move(*fault);
        return Start::Faulty;
    }
    return Start::Ready;
}

bool SettingsHost::LoadSetting(const std::string& name) {
    if (!session_.Store().LoadUser(name)) {
        return false;
    }
    session_.SetPrintMode(PrintModeIndexOfFlag(session_.Settings().PrintModeFlag()));
    return true;
}

std::string SettingsHost::MediaNameOfRecord() {
    return util::DriverMediaName(session_.Library(), printerName_, session_.PortName(),
                                 session_.Settings().record.MediaId())
        .value_or("");
}

}  // namespace cli
