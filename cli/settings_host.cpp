#include "cli/settings_host.h"

#include <utility>

#include "util/queue_driver.h"

namespace cli {

SettingsHost::SettingsHost(const util::Variant& variant, std::string printerName)
    : variant_(variant),
      printerName_(std::move(printerName)),
      settings_(*this),
      firstStore_(settings_),
      secondStore_(variant.secondStoreOf != nullptr ? variant.secondStoreOf(settings_) : nullptr) {}

SettingsHost::~SettingsHost() {
    library_.Release();
}

SettingsHost::Start SettingsHost::StartUp(const std::string& dataFilePath) {
    data_.Load(dataFilePath);
    if (!data_.Complete()) {
        return Start::DataFileDamaged;
    }
    osKind_ = CurrentOsKind();
    util::QueueDriver queue = util::FindQueueDriver(printerName_);
    driverName_ = std::move(queue.driverName);
    portName_ = std::move(queue.portName);
    modelClass_ = variant_.modelClassOf(driverName_);
    if (!variant_.hasSettingPages(modelClass_)) {
        return Start::NoSettings;
    }
    library_.Bind(printerName_);
    driverInkSet_ = util::ReadDriverInkSet(library_, printerName_, portName_, variant_);
    store_ = variant_.activeStoreOf(osKind_, firstStore_, secondStore_.get());
    if (store_ == nullptr) {
        store_ = &firstStore_;
        return Start::NoMediaConfiguration;
    }
    if (std::optional<util::DriverFileFault> fault = util::CheckDriverFiles(*store_)) {
        fault_ = std::move(*fault);
        return Start::Faulty;
    }
    return Start::Ready;
}

bool SettingsHost::LoadSetting(const std::string& name) {
    if (!store_->LoadUser(name)) {
        return false;
    }
    printMode_ = PrintModeIndexOfFlag(settings_.PrintModeFlag());
    return true;
}

std::string SettingsHost::MediaNameOfRecord() {
    return util::DriverMediaName(library_, printerName_, portName_, settings_.record.MediaId())
        .value_or("");
}

}  // namespace cli
