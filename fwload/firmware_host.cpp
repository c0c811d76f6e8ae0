#include "fwload/firmware_host.h"

#include <memory>

#include "fwload/download_page.h"

namespace fwload {

namespace {
constexpr size_t kSlots = 16;
constexpr size_t kDownloadSlot = 3;
}  // namespace

FirmwareHost::FirmwareHost(std::string modulePath)
    : modulePath_(std::move(modulePath)), link_(LinkVariant::Other), frame_(kSlots, link_) {}

FirmwareHost::~FirmwareHost() {
    link_.Unbind();
    frame_.DestroyPages();
}

ui::WindowHandle FirmwareHost::StartWizard(const char* printerName, ui::WindowHandle notifyWindow,
                                           uint32_t notifyMessage) {
    frame_.Start(printerName != nullptr ? printerName : "", notifyWindow, notifyMessage);
    if (!frame_.LoadDataFile(*this, modulePath_)) {
        return nullptr;
    }
    const std::string& printer = frame_.PrinterName();
    link_.RememberDriverName(printer);
    channel_ = link_.StartUp(printer);
    // Making the page checks the printer, and may already hand back.
    if (!frame_.CreatePage(kDownloadSlot, std::make_unique<DownloadPage>())) {
        return nullptr;
    }
    frame_.ShowFirst(kDownloadSlot);
    return frame_.Page(kDownloadSlot)->Handle();
}

PrinterQueries FirmwareHost::Queries() {
    return PrinterQueries(link_, frame_.PrinterName(), channel_, link_.DriverName);
}

}  // namespace fwload
