// The navigation state of a plug-in: its pages in numbered slots, which slots take part in
// stepping, and the hand-back to the hub by posting the notify message.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/printer_link.h"
#include "common/ui_text_table.h"
#include "platform/ui/dialog.h"
#include "platform/ui/window.h"

// The buttons every page of the hub and the plug-ins has, by control identifier.
inline constexpr int kExitButton = 1000;
inline constexpr int kNextButton = 1001;
inline constexpr int kBackButton = 1002;

class PageFrame {
  public:
    // slotCount: 16 or 32; slot 0 is never filled.
    PageFrame(size_t slotCount, PrinterLink& link);
    ~PageFrame();
    PageFrame(const PageFrame&) = delete;
    PageFrame& operator=(const PageFrame&) = delete;

    void Start(const std::string& printerName, ui::WindowHandle notifyWindow,
               uint32_t notifyMessage);

    // Creates the page hidden, as a child of the notify window's parent, and keeps it in the slot.
    bool CreatePage(size_t slot, std::unique_ptr<ui::Dialog> page);
    ui::Dialog* Page(size_t slot) const;
    void SetEnabled(size_t slot, bool enabled);
    bool IsEnabled(size_t slot) const;

    // Shows the page of the slot (show command 5) and makes it the current one.
    void ShowFirst(size_t slot);
    void Next();
    void Back();
    void Exit();
    // Releases the link and posts the notify message with the given lParam.
    void HandBack(intptr_t lParam);
    // Loads the module's data file into its host's tables. When the file is not complete, tells
    // the operator that a necessary file is missing and hands back to the selection: false.
    bool LoadDataFile(UiTextTable& tables, const std::string& modulePath);

    // The page in the lowest filled slot.
    ui::WindowHandle FirstPageWindow() const;
    // Destroys every page window in slot order, then the page objects.
    void DestroyPages();

    const std::string& PrinterName() const { return printerName_; }
    ui::WindowHandle NotifyWindow() const { return notifyWindow_; }
    uint32_t NotifyMessage() const { return notifyMessage_; }
    size_t Current() const { return current_; }
    // For hosts that step by rules of their own: the slot now shown.
    void SetCurrent(size_t slot) { current_ = slot; }
    size_t SlotCount() const { return pages_.size(); }

  private:
    void Step(int direction);

    PrinterLink& link_;
    std::string printerName_;
    ui::WindowHandle notifyWindow_ = nullptr;
    uint32_t notifyMessage_ = 0;
    size_t current_ = 0;
    std::vector<std::unique_ptr<ui::Dialog>> pages_;
    std::vector<uint32_t> enabled_;
};
