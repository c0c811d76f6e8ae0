// The firmware plug-in's one object: its texts, the printer link and the channel chosen at
// start-up, the page frame and the busy flag. It lives as long as the library.
#pragma once

#include <cstdint>
#include <string>

#include "common/page_frame.h"
#include "common/printer_link.h"
#include "common/remote_commands.h"
#include "common/ui_text_table.h"
#include "platform/ui/window.h"

namespace fwload {

class FirmwareHost : public UiTextTable {
  public:
    explicit FirmwareHost(std::string modulePath);
    ~FirmwareHost() override;

    ui::WindowHandle StartWizard(const char* printerName, ui::WindowHandle notifyWindow,
                                 uint32_t notifyMessage);

    // The queries on the channel chosen at start-up.
    PrinterQueries Queries();

    // Set once a firmware file has been chosen, and never cleared: from then on Next and Exit
    // ask before they leave.
    bool Busy() const { return busy_; }
    void SetBusy() { busy_ = true; }

    PageFrame& Frame() { return frame_; }
    PrinterLink& Link() { return link_; }

  private:
    std::string modulePath_;
    bool busy_ = false;
    int32_t channel_ = 0;
    PrinterLink link_;
    PageFrame frame_;
};

// The host of the loaded module, reached by the page.
FirmwareHost& Host();

}  // namespace fwload
