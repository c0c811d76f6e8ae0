#include "upkeep/upkeep_host.h"

#include <memory>

#include "common/raw_job.h"
#include "platform/ui/message_box.h"
#include "upkeep/power_clean_dlg.h"

namespace upkeep {

namespace {
constexpr size_t kSlots = 16;
constexpr size_t kPageSlot = 1;
constexpr int32_t kFailureText = 200;
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
    Load(DataFilePath(modulePath_));
    const std::string& printer = frame_.PrinterName();
    link_.RememberDriverName(printer);
    link_.StartUp(printer);  // the channel is chosen again at every check
    frame_.CreatePage(kPageSlot, std::make_unique<PowerCleanDlg>());
    if (PrinterReady(3)) {
        frame_.ShowFirst(kPageSlot);
    } else {
        ShowFailure(ui::kMbIconStop);
        frame_.ShowFirst(kPageSlot);
        frame_.Back();
    }
    return frame_.FirstPageWindow();
}

bool UpkeepHost::PrinterReady(int rounds) {
    const std::string& printer = frame_.PrinterName();
    PrinterQueries queries(link_, printer, link_.SelectChannel(printer), link_.DriverName);
    return queries.PrinterReady(rounds);
}

bool UpkeepHost::SendPowerCleaning() {
    ByteBlock block = PowerCleaningBlock();
    return SendRawCommandJob(frame_.PrinterName(), block.data(),
                             static_cast<uint32_t>(block.size()));
}

void UpkeepHost::ShowFailure(uint32_t icon) {
    ui::AppMessageBox(GetText(kFailureText), icon);
}

}  // namespace upkeep
