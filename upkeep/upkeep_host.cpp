#include "upkeep/upkeep_host.h"

#include <memory>

#include "platform/ui/message_box.h"
#include "upkeep/power_clean_dlg.h"
#include "upkeep/power_cleaning.h"

namespace upkeep {

namespace {
constexpr size_t kSlots = 16;
constexpr size_t kPageSlot = 1;
}  // namespace

UpkeepHost::UpkeepHost(std::string modulePath)
    : modulePath_(std::move(modulePath)), link_(LinkVariant::Other), frame_(kSlots, link_) {}

UpkeepHost::~UpkeepHost() {
    link_.Unbind();
    frame_.DestroyPages();
}

ui::WindowHandle UpkeepHost::StartWizard(const char* printerName, ui::WindowHandle notifyWindow,
                                         uint32_t notifyMessage) {
    frame_.Start(printerName != nullptr ? printerName : "", notifyWindow, notifyMessage);
    if (!frame_.LoadDataFile(*this, modulePath_)) {
        return nullptr;
    }
    const std::string& printer = frame_.PrinterName();
    link_.RememberDriverName(printer);
    link_.StartUp(printer);  // the channel is chosen again at every check
    frame_.CreatePage(kPageSlot, std::make_unique<PowerCleanDlg>());
    if (CleaningPrinterReady(link_, printer, 3)) {
        frame_.ShowFirst(kPageSlot);
    } else {
        ShowFailure(ui::kMbIconStop);
        frame_.ShowFirst(kPageSlot);
        frame_.Back();
    }
    return frame_.FirstPageWindow();
}

void UpkeepHost::ShowFailure(uint32_t icon) {
    ui::AppMessageBox(GetText(kFailureText), icon);
}

}  // namespace upkeep
