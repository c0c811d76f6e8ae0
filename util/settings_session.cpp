#include "util/settings_session.h"

#include <utility>

#include "util/queue_driver.h"

namespace util {

SettingsSession::SettingsSession(const Variant& variant, const UtilDataFile& data)
    : variant_(variant),
      data_(data),
      settings_(*this),
      mediaConfig_(settings_),
      secondStore_(variant.secondStoreOf != nullptr ? variant.secondStoreOf(settings_) : nullptr) {}

SettingsSession::~SettingsSession() {
    library_.Release();
}

void SettingsSession::FindQueue(const std::string& printerName) {
    printerName_ = printerName;
    osKind_ = CurrentOsKind();
    QueueDriver queue = FindQueueDriver(printerName_);
    driverName_ = std::move(queue.driverName);
    portName_ = std::move(queue.portName);
    modelClass_ = variant_.modelClassOf(driverName_);
}

void SettingsSession::BindLibrary() {
    library_.Bind(printerName_);
}

bool SettingsSession::ChooseStore() {
    driverInkSet_ = ReadDriverInkSet(library_, printerName_, portName_, variant_);
    store_ = variant_.activeStoreOf(osKind_, mediaConfig_, secondStore_.get());
    if (store_ == nullptr) {
        store_ = &mediaConfig_;
        return false;
    }
    return true;
}

}  // namespace util
