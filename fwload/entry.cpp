// The module's entry and its host.
#include <memory>

#include "common/plugin_entry.h"
#include "fwload/firmware_host.h"
#include "platform/system/module.h"

PLENWISE_PLUGIN_ENTRY(fwload, FirmwareHost)
