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

}  // namespace spooler
