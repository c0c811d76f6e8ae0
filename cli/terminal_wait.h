// The printer's time to take new firmware, shown on a terminal as a bar that fills, or, when the
// output is no terminal, as a plain line every tenth of the wait. Ctrl-C ends the wait early;
// the download then reads the version back as it does after a full wait.
//
// From its construction on, a hang-up or termination (an SSH session that drops, a service
// manager stopping it) does not end the program at once: the download sends nothing more, stops
// waiting and records what went out; EndAsSignalled then ends the program by that signal.
// Standard error and output going away meanwhile are failed writes, not an end either.
#pragma once

#include <csignal>
#include <ostream>
#include <string>

#include "fwload/firmware_download.h"

namespace cli {

class TerminalWait : public UpdateWait {
  public:
    // `terminal`: whether out is shown on a terminal, where the bar is redrawn in place.
    TerminalWait(std::ostream& out, bool terminal);
    ~TerminalWait() override;  // the signals' handling as it was before
    TerminalWait(const TerminalWait&) = delete;
    TerminalWait& operator=(const TerminalWait&) = delete;

    void Begin() override;
    bool Progress(uint32_t elapsedMs, uint32_t totalMs) override;
    void End() override;
    bool Abandoned() const override;

    // After a hang-up or termination: restores that signal's handling and raises it again.
    // Returns when none came.
    void EndAsSignalled();

    // The bar for a share of the wait: "[#####...............]  25 %  64 s left".
    static std::string Bar(uint32_t elapsedMs, uint32_t totalMs);

  private:
    std::ostream& out_;
    bool terminal_;
    int shown_ = -1;  // the percentage (on a terminal) or tenth (otherwise) shown last
    bool interrupted_ = false;
    struct sigaction previousInterrupt_ {};
    struct sigaction previousHangUp_ {};
    struct sigaction previousTerminate_ {};
    struct sigaction previousPipe_ {};
};

}  // namespace cli
