// The module's entry and its host.
#include <memory>

#include "common/plugin_entry.h"
#include "platform/system/module.h"
#include "upkeep/upkeep_host.h"

PLENWISE_PLUGIN_ENTRY(upkeep, UpkeepHost)
