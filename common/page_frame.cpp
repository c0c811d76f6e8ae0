#include "common/page_frame.h"

#include "common/plugin_entry.h"
#include "platform/ui/message_box.h"

PageFrame::PageFrame(size_t slotCount, PrinterLink& link)
    : link_(link), pages_(slotCount), enabled_(slotCount, 1) {}

PageFrame::~PageFrame() {
    DestroyPages();
}

void PageFrame::Start(const std::string& printerName, ui::WindowHandle notifyWindow,
                      uint32_t notifyMessage) {
    printerName_ = printerName;
    notifyWindow_ = notifyWindow;
    notifyMessage_ = notifyMessage;
}

bool PageFrame::CreatePage(size_t slot, std::unique_ptr<ui::Dialog> page) {
    if (slot == 0 || slot >= pages_.size() || !page) {
        return false;
    }
    // Siblings of the hub's selection page, so they follow it in z-order.
    bool created = page->Create(ui::GetParent(notifyWindow_));
    pages_[slot] = std::move(page);
    return created;
}

ui::Dialog* PageFrame::Page(size_t slot) const {
    return slot < pages_.size() ? pages_[slot].get() : nullptr;
}

void PageFrame::SetEnabled(size_t slot, bool enabled) {
    if (slot < enabled_.size()) {
        enabled_[slot] = enabled ? 1 : 0;
    }
}

bool PageFrame::IsEnabled(size_t slot) const {
    return slot < enabled_.size() && enabled_[slot] == 1;
}

void PageFrame::ShowFirst(size_t slot) {
    current_ = slot;
    if (ui::Dialog* page = Page(slot)) {
        ui::ShowWindow(page->Handle(), ui::kShow);
    }
}

void PageFrame::Step(int direction) {
    if (ui::Dialog* page = Page(current_)) {
        ui::ShowWindow(page->Handle(), ui::kHide);
    }
    // Disabled slots are passed over; slot 0 and the slots past the end hold no page.
    do {
        if (direction < 0 && current_ == 0) {
            break;
        }
        current_ = direction < 0 ? current_ - 1 : current_ + 1;
    } while (current_ < pages_.size() && current_ != 0 && !IsEnabled(current_));
    if (ui::Dialog* page = Page(current_)) {
        ui::ShowWindow(page->Handle(), ui::kShowNoActivate);
        return;
    }
    HandBack(kNotifyBackToSelection);
}

void PageFrame::Next() {
    Step(+1);
}
void PageFrame::Back() {
    Step(-1);
}
void PageFrame::Exit() {
    HandBack(kNotifyEndProgram);
}

void PageFrame::HandBack(intptr_t lParam) {
    link_.Unbind();
    // Posted, never sent: the hub acts once the page's handler has returned.
    ui::PostMessage(notifyWindow_, notifyMessage_, 0, lParam);
}

bool PageFrame::LoadDataFile(UiTextTable& tables, const std::string& modulePath) {
    tables.Load(LocalizedDataFilePath(modulePath));
    if (tables.Complete()) {
        return true;
    }
    ui::AppMessageBox(kNotInstalledText, ui::kMbIconStop);
    HandBack(kNotifyBackToSelection);
    return false;
}

ui::WindowHandle PageFrame::FirstPageWindow() const {
    for (const auto& page : pages_) {
        if (page) {
            return page->Handle();
        }
    }
    return nullptr;
}

void PageFrame::DestroyPages() {
    for (auto& page : pages_) {
        if (page) {
            page->DestroyWindow();
        }
    }
    for (auto& page : pages_) {
        page.reset();
    }
}
