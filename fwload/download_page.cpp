#include "fwload/download_page.h"

#include "common/page_frame.h"
#include "common/plugin_entry.h"
#include "fwload/firmware_download.h"
#include "fwload/firmware_host.h"
#include "fwload/progress_box.h"
#include "fwload/version_box.h"
#include "platform/system/file.h"
#include "platform/ui/message_box.h"
#include "resources/fwload/templates.h"

namespace fwload {

namespace {

constexpr int kRefer = 1007;
constexpr int kCheckVersion = 1008;
constexpr int kFileName = 1010;
constexpr int kLabel = 1018;
constexpr int kDownload = 1019;
constexpr int kPane = 1022;

void ShowMessage(DownloadMessage message, uint32_t icon) {
    FirmwareHost& host = Host();
    ui::AppMessageBox(host.GetText(message.first) + host.GetText(message.second), icon);
}

// The progress box over the page for the printer's time to take the firmware, the hub's main
// window disabled meanwhile; Cancel shortens the wait.
class ProgressBoxWait : public UpdateWait {
  public:
    explicit ProgressBoxWait(ui::WindowHandle page)
        : page_(page), mainWindow_(ui::GetParent(page)) {}

    void Begin() override {
        box_.Create(page_);
        box_.SetRange(0, 100);
        ui::CenterWindow(box_.Handle(), page_);
        ui::ShowWindow(box_.Handle(), ui::kShow);
        ui::EnableWindow(mainWindow_, false);
    }
    bool Progress(uint32_t elapsedMs, uint32_t totalMs) override {
        box_.SetPos(static_cast<int>(uint64_t{elapsedMs} * 100 / totalMs));
        ui::PumpWaitingMessages();
        return !box_.Cancelled();
    }
    void End() override {
        ui::EnableWindow(mainWindow_, true);
        box_.DestroyWindow();
    }

  private:
    ui::WindowHandle page_;
    ui::WindowHandle mainWindow_;
    ProgressBox box_;
};

}  // namespace

DownloadPage::DownloadPage() : ui::Dialog(DownloadTemplate()) {
    Bind(kRefer, ui::Notify::Clicked, [this]() { OnRefer(); });
    Bind(kCheckVersion, ui::Notify::Clicked, [this]() { OnCheckVersion(); });
    Bind(kDownload, ui::Notify::Clicked, [this]() { OnDownload(); });
    Bind(kNextButton, ui::Notify::Clicked, [this]() { OnNext(); });
    Bind(kBackButton, ui::Notify::Clicked,
         []() { Host().Frame().HandBack(kNotifyBackToSelection); });
    Bind(kExitButton, ui::Notify::Clicked, [this]() { OnExit(); });
}

bool DownloadPage::OnInitDialog() {
    FirmwareHost& host = Host();
    SetItemText(kNextButton, host.GetText(99));
    SetItemText(kBackButton, host.GetText(101));
    SetItemText(kExitButton, host.GetText(102));
    SetItemText(kLabel, host.GetText(110));
    SetItemText(kRefer, host.GetText(111));
    SetItemText(kCheckVersion, host.GetText(112));
    SetItemText(kDownload, host.GetText(113));
    ui::EnableWindow(Item(kDownload), false);
    std::string pane;
    for (int32_t number = 500; number <= 504; ++number) {
        pane += host.GetText(number);
    }
    SetItemText(kPane, ToCrLf(pane));

    PrinterQueries queries = host.Queries();
    if (!queries.PrinterReady(3)) {
        ShowMessage(MessageOf(DownloadResult::NotReady), ui::kMbIconStop);
        host.Frame().HandBack(kNotifyBackToSelection);
        return true;
    }
    fileVersion_.fill(0);
    ReadPrinterVersion(queries, printerVersion_);
    return true;
}

void DownloadPage::OnDestroy() {
    Host().Link().Unbind();
}

void DownloadPage::OnRefer() {
    FirmwareHost& host = Host();
    ui::FileDialogRequest request;
    request.owner = Handle();
    request.filter = host.GetText(105);
    request.defaultExtension = "UPG";
    // The home folder stands for the "C:\" root of the system the page was made for.
    request.initialDirectory = sys::HomeDirectory();
    std::string path;
    if (!ui::GetOpenFileName(request, path)) {
        return;
    }
    firmwarePath_ = path;
    SetItemText(kFileName, path.substr(path.find_last_of('/') + 1));
    // A file that cannot be read has no version; the one chosen before must not stand for it.
    if (!ReadFileVersion(firmwarePath_, fileVersion_)) {
        fileVersion_.fill(0);
    }
    ui::EnableWindow(Item(kDownload), true);
    host.SetBusy();
}

void DownloadPage::OnCheckVersion() {
    VersionBox box(FirmwareVersionText(printerVersion_), FirmwareVersionText(fileVersion_));
    box.DoModal(Handle());
}

void DownloadPage::OnDownload() {
    FirmwareHost& host = Host();
    PrinterQueries queries = host.Queries();
    ProgressBoxWait wait(Handle());
    const DownloadOutcome outcome = DownloadFirmware(queries, firmwarePath_, printerVersion_,
                                                     fileVersion_, kFirmwareUpdateMs, wait);
    const DownloadMessage message = MessageOf(outcome.result);
    switch (outcome.result) {
        case DownloadResult::NotReady:
        case DownloadResult::TooLarge:
        case DownloadResult::OtherModel:
        case DownloadResult::Older:
        case DownloadResult::Changed:
            ShowMessage(message, ui::kMbIconStop);
            break;
        case DownloadResult::NotSent:
            ShowMessage(message, ui::kMbIconInformation);
            break;
        case DownloadResult::Unconfirmed:
        case DownloadResult::NotConfirmed:
            ShowMessage(message, ui::kMbIconExclamation);
            break;
        case DownloadResult::Done:
            printerVersion_ = outcome.versionAfter;
            ShowMessage(message, ui::kMbIconInformation);
            break;
    }
}

void DownloadPage::OnNext() {
    FirmwareHost& host = Host();
    if (host.Busy() &&
        ui::AppMessageBox(host.GetText(301), ui::kMbOkCancel | ui::kMbIconInformation) !=
            ui::kIdOkResult) {
        return;
    }
    host.Frame().HandBack(kNotifyBackToSelection);
}

void DownloadPage::OnExit() {
    FirmwareHost& host = Host();
    if (host.Busy() &&
        ui::AppMessageBox(host.GetText(300), ui::kMbOkCancel | ui::kMbIconInformation) !=
            ui::kIdOkResult) {
        return;
    }
    host.Frame().HandBack(kNotifyEndProgram);
}

}  // namespace fwload
