// The module's entry. The host is made when the library is loaded and deleted when it is freed.
#include <memory>

#include "common/plugin_entry.h"
#include "platform/system/module.h"
#include "upkeep/upkeep_host.h"

namespace upkeep {

namespace {
int anchor;
std::unique_ptr<UpkeepHost> host = std::make_unique<UpkeepHost>(sys::ModulePath(&anchor));
}  // namespace

UpkeepHost& Host() {
    return *host;
}

}  // namespace upkeep

PLENWISE_EXPORT ui::WindowHandle StartWizard(const char* printerName, ui::WindowHandle notifyWindow,
                                             uint32_t notifyMessage) {
    return upkeep::Host().StartWizard(printerName, notifyWindow, notifyMessage);
}
