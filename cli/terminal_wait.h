// The printer's time to take new firmware, shown on a terminal as a bar that fills, or, when the
// output is no terminal, as a plain line every tenth of the wait. Ctrl-C ends the wait early;
// the download then reads the version back as it does after a full wait.
#pragma once

#include <csignal>
#include <ostream>
#include <string>

#include "fwload/firmware_download.h"

namespace cli {

class TerminalWait : public UpdateWait {
  public:
    // `terminal`: whether out is shown on a terminal, where the bar is redrawn in place.
    TerminalWait(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

    void Begin() override;
    bool Progress(uint32_t elapsedMs, uint32_t totalMs) override;
    void End() override;

    // The bar for a share of the wait: "[#####...............]  25 %  64 s left".
    static std::string Bar(uint32_t elapsedMs, uint32_t totalMs);

  private:
    std::ostream& out_;
    bool terminal_;
    int shown_ = -1;  // the percentage (on a terminal) or tenth (otherwise) shown last
    bool interrupted_ = false;
    struct sigaction previous_ {};
};

}  // namespace cli
