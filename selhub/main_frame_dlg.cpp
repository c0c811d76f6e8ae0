#include "selhub/main_frame_dlg.h"

#include "common/plugin_entry.h"
#include "platform/ui/window.h"
#include "resources/selhub/templates.h"
#include "selhub/select_dlg.h"
#include "selhub/version_dlg.h"

namespace selhub {

namespace {
constexpr int kKeyTab = 9;
constexpr int kKeyEnter = 13;
constexpr int kKeyEscape = 27;
}  // namespace

MainFrameDlg::MainFrameDlg(const std::string& hubModulePath, SelectionMemory& memory)
    : ui::Dialog(MainFrameTemplate()),
      page_(std::make_unique<SelectDlg>(*this, hubModulePath, memory)) {
    BindMessage(kNotifyMessage, [this](uintptr_t, intptr_t) { EndDialog(0); });
}

MainFrameDlg::~MainFrameDlg() {
    DestroyWindow();
}

bool MainFrameDlg::OnInitDialog() {
    if (!page_) {
        return false;
    }
    page_->SetNotifyMessage(kNotifyMessage);
    page_->Create(Handle());  // loads the data file
    const HubTables& texts = page_->Tables();
    ui::SetWindowText(Handle(), texts.GetText(160));
    SetIcon(ProgramIcon());
    std::string aboutEntry = texts.GetText(161);
    if (!aboutEntry.empty()) {
        AppendSystemMenu(kAboutCommand, aboutEntry, true);
    }
    ui::SetProp(Handle(), kInstanceName, 1);
    ui::ShowWindow(page_->Handle(), ui::kShowNoActivate);
    return true;
}

void MainFrameDlg::OnDestroy() {
    if (page_) {
        page_->DestroyWindow();
        page_.reset();
    }
}

void MainFrameDlg::OnSysCommand(uint32_t commandId) {
    if ((commandId & 0xFFF0) == kAboutCommand) {
        ShowAboutBox();
        return;
    }
    ui::Dialog::OnSysCommand(commandId);
}

void MainFrameDlg::ShowAboutBox() {
    VersionDlg about;
    if (page_) {
        about.listing = BuildVersionListing(page_->Tables());
        about.title = page_->Tables().GetText(162);
        about.secondText = page_->Tables().GetText(163);
    }
    about.DoModal(Handle());
}

bool MainFrameDlg::PreTranslateKey(const ui::KeyInput& key) {
    const bool navigation =
        key.virtualKey == kKeyTab || key.virtualKey == kKeyEnter || key.virtualKey == kKeyEscape;
    if (!navigation || !page_ || page_->Handle() == nullptr) {
        return false;
    }
    // The plug-in pages follow the selection page among the main window's children.
    for (ui::WindowHandle next = ui::GetNextWindow(page_->Handle()); next != nullptr;
         next = ui::GetNextWindow(next)) {
        if (!ui::IsWindowVisible(next)) {
            continue;
        }
        ui::WindowHandle focus = ui::GetFocus();
        if (key.virtualKey != kKeyTab) {
            // Enter presses the focused or the default button, Escape the page's Exit button.
            ui::NavigateDialog(next, key);
        } else if (focus != nullptr && ui::IsChild(next, focus)) {
            ui::FocusNextTabStop(next, key.shift);
        } else {
            ui::FocusNextTabStop(next, false);
        }
        return true;
    }
    // Without a page shown, Enter and Escape neither press a button nor close a window.
    return key.virtualKey != kKeyTab;
}

}  // namespace selhub
