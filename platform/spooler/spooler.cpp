#include <mutex>

#include "platform/spooler/spooler.h"

namespace spooler {

namespace {

std::mutex backendMutex;
std::unique_ptr<Spooler> backend;

}  // namespace

Spooler& Current() {
    std::lock_guard lock(backendMutex);
    if (!backend) {
        backend = MakeCupsSpooler();
    }
    return *backend;
}

void Install(std::unique_ptr<Spooler> replacement) {
    std::lock_guard lock(backendMutex);
    backend = std::move(replacement);
}

bool FindPrinter(const std::string& printerName, PrinterInfo2& found) {
    bool matched = false;
    for (uint32_t pass : {kEnumLocal, kEnumConnections}) {
        std::vector<PrinterInfo2> printers;
        if (!Current().EnumPrinters(pass, printers)) {
            continue;
        }
        for (const PrinterInfo2& printer : printers) {
            if (printer.printerName == printerName) {
                found = printer;
                matched = true;
                break;
            }
        }
    }
    return matched;
}

}  // namespace spooler
