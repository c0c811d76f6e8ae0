#include "fwload/version_box.h"

#include "fwload/firmware_host.h"
#include "resources/fwload/templates.h"

namespace fwload {

namespace {
constexpr int kPrinterLabel = 1015;
constexpr int kFileLabel = 1016;
constexpr int kPrinterVersion = 1013;
constexpr int kFileVersion = 1014;
}  // namespace

VersionBox::VersionBox(std::string printerVersion, std::string fileVersion)
    : ui::Dialog(VersionTemplate()),
      printerVersion_(std::move(printerVersion)),
      fileVersion_(std::move(fileVersion)) {}

bool VersionBox::OnInitDialog() {
    FirmwareHost& host = Host();
    ui::SetWindowText(Handle(), host.GetText(115));
    SetItemText(kPrinterLabel, host.GetText(116));
    SetItemText(kFileLabel, host.GetText(117));
    SetItemText(ui::kIdOk, host.GetText(104));
    SetItemText(kPrinterVersion, printerVersion_);
    SetItemText(kFileVersion, fileVersion_);
    return true;
}

}  // namespace fwload
