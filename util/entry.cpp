// The module's entry and its host, built for the first printer family.
#include <memory>

#include "common/plugin_entry.h"
#include "platform/system/module.h"
#include "util/variant.h"
#include "util/wizard_host.h"

PLENWISE_PLUGIN_ENTRY(util, WizardHost, util::UtilVariant())
