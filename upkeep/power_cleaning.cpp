#include "upkeep/power_cleaning.h"

#include "common/raw_job.h"
#include "common/remote_commands.h"
#include "common/service_log.h"

namespace upkeep {

bool CleaningPrinterReady(PrinterLink& link, const std::string& printerName, int rounds) {
    PrinterQueries queries(link, printerName, link.SelectChannel(printerName), link.DriverName);
    return queries.PrinterReady(rounds);
}

CleaningStart StartPowerCleaning(PrinterLink& link, const std::string& printerName) {
    if (!CleaningPrinterReady(link, printerName, 1)) {
        return CleaningStart::NotReady;
    }
    const ByteBlock block = PowerCleaningBlock();
    if (!SendRawCommandJob(printerName, block.data(), static_cast<uint32_t>(block.size()))) {
        return CleaningStart::NotSent;
    }
    LogServiceAction(printerName, link.DriverName, kActionPowerCleaning, {}, kResultSent);
    return CleaningStart::Sent;
}

}  // namespace upkeep
