// The power cleaning as plain steps, the same for the page and plenwise-cli: the readiness check
// (the channel chosen anew before every check) and the start, which checks once more, sends the
// cleaning block and records it in the service log.
#pragma once

#include <string>

#include "common/printer_link.h"

namespace upkeep {

// The text of every failure, in the module's data file.
inline constexpr int32_t kFailureText = 200;

// The queue reaches a printer of its model (the link's DriverName) that reports ready within the
// rounds of status reads (3 rounds wait 5 s after each read that is not ready).
bool CleaningPrinterReady(PrinterLink& link, const std::string& printerName, int rounds);

enum class CleaningStart {
    NotReady,  // nothing sent
    NotSent,   // the queue did not take the job
    Sent,      // the block is on its way; the cleaning itself is not followed
};

// What the page's start button does: one status read, then the power-cleaning block as a raw
// job; a sent block is logged.
CleaningStart StartPowerCleaning(PrinterLink& link, const std::string& printerName);

}  // namespace upkeep
