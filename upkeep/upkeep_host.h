// The power-cleaning plug-in's one object: its texts, the printer link, the page frame and the
// printer checks. It lives as long as the library.
#pragma once

#include <cstdint>
#include <string>

#include "common/page_frame.h"
#include "common/printer_link.h"
#include "common/ui_text_table.h"
#include "platform/ui/window.h"

namespace upkeep {

class UpkeepHost : public UiTextTable {
  public:
    explicit UpkeepHost(std::string modulePath);
    ~UpkeepHost() override;

    ui::WindowHandle StartWizard(const char* printerName, ui::WindowHandle notifyWindow,
                                 uint32_t notifyMessage);

    void ShowFailure(uint32_t icon);

    PageFrame& Frame() { return frame_; }
    PrinterLink& Link() { return link_; }

  private:
    std::string modulePath_;
    PrinterLink link_;
    PageFrame frame_;
};

// The host of the loaded module, reached by the page.
UpkeepHost& Host();

}  // namespace upkeep
