#include "fwload/download_page.h"

#include <algorithm>

#include "common/page_frame.h"
#include "common/plugin_entry.h"
#include "common/raw_job.h"
#include "common/remote_commands.h"
#include "fwload/firmware_host.h"
#include "fwload/progress_box.h"
#include "fwload/version_box.h"
#include "platform/system/clock.h"
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

constexpr int32_t kVersionTimeoutMs = 10000;
// The printer's time to take new firmware; its progress is not observed.
constexpr uint32_t kUpdateMs = 85000;
// Between two passes of the progress loop: the box stays responsive without a busy core.
constexpr uint32_t kProgressPollMs = 50;

void ShowTexts(int32_t first, int32_t second, uint32_t icon) {
    FirmwareHost& host = Host();
    ui::AppMessageBox(host.GetText(first) + host.GetText(second), icon);
}

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

    if (!host.Queries().PrinterReady(3)) {
        ui::AppMessageBox(host.GetText(202), ui::kMbIconStop);
        host.Frame().HandBack(kNotifyBackToSelection);
        return true;
    }
    printerVersion_.fill(0);
    fileVersion_.fill(0);
    ReadPrinterVersion(printerVersion_);
    return true;
}

void DownloadPage::OnDestroy() {
    Host().Link().Unbind();
}

bool DownloadPage::ReadPrinterVersion(FirmwareVersion& version) {
    std::array<char, kFirmwareVersionLength> reply{};
    if (!Host().Queries().PrinterFirmwareVersion(reply, kVersionTimeoutMs)) {
        return false;
    }
    std::copy(reply.begin(), reply.end(), version.begin());
    return true;
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
    if (!host.Queries().PrinterReady(3)) {
        ui::AppMessageBox(host.GetText(202), ui::kMbIconStop);
        return;
    }
    switch (CheckFirmwareFit(printerVersion_, fileVersion_)) {
        case FirmwareFit::OtherModel:
            ui::AppMessageBox(host.GetText(203), ui::kMbIconStop);
            return;
        case FirmwareFit::Older:
            ShowTexts(204, 205, ui::kMbIconStop);
            return;
        case FirmwareFit::Fits:
            break;
    }
    const std::string& printer = host.Frame().PrinterName();
    const ByteBlock preDownload = FirmwarePreDownloadBlock();
    SendRawCommandJob(printer, preDownload.data(), static_cast<uint32_t>(preDownload.size()));
    if (!SendFirmwareJob(printer, firmwarePath_, printerVersion_)) {
        ShowTexts(201, 211, ui::kMbIconInformation);
        return;
    }
    WaitWhileThePrinterUpdates();

    FirmwareVersion now{};
    ReadPrinterVersion(now);
    if (std::equal(now.begin(), now.begin() + kFirmwareVersionLength, fileVersion_.begin())) {
        std::copy_n(now.begin(), kFirmwareVersionLength, printerVersion_.begin());
        ui::AppMessageBox(host.GetText(200), ui::kMbIconInformation);
    } else {
        ShowTexts(201, 211, ui::kMbIconExclamation);
    }
}

void DownloadPage::WaitWhileThePrinterUpdates() {
    sys::Clock& clock = sys::CurrentClock();
    const uint32_t start = clock.TickCount();
    ProgressBox box;
    box.Create(Handle());
    box.SetRange(0, 100);
    ui::CenterWindow(box.Handle(), Handle());
    ui::ShowWindow(box.Handle(), ui::kShow);
    const ui::WindowHandle mainWindow = ui::GetParent(Handle());
    ui::EnableWindow(mainWindow, false);
    // Elapsed time rather than an end tick, so that a tick count wrapping meanwhile does not
    // end the wait early.
    uint32_t elapsed = 0;
    while (elapsed < kUpdateMs) {
        box.SetPos(static_cast<int>(elapsed * 100 / kUpdateMs));
        ui::PumpWaitingMessages();
        if (box.Cancelled()) {
            break;
        }
        clock.Sleep(kProgressPollMs);
        elapsed = clock.TickCount() - start;
    }
    ui::EnableWindow(mainWindow, true);
    box.DestroyWindow();
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
