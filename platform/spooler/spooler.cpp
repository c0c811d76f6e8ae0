#include <mutex>

#include "platform/spooler/spooler.h"

namespace spooler {

namespace {

std::mutex backendMutex;
std::unique_ptr<Spooler> backend;
thread_local Spooler* threadBackend = nullptr;

}  // namespace

Spooler& Current() {
    if (threadBackend != nullptr) {
        return *threadBackend;
    }
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

ThreadSpooler::ThreadSpooler(Spooler& backend) : before_(threadBackend) {
    threadBackend = &backend;
    SetThreadServer(backend.Server());
}

ThreadSpooler::~ThreadSpooler() {
    threadBackend = before_;
    SetThreadServer(before_ != nullptr ? before_->Server() : std::string());
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
