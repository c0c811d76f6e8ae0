// The module's entry and its host, built for the second printer family.
#include <memory>

#include "altutil/variant.h"
#include "common/plugin_entry.h"
#include "platform/system/module.h"
#include "util/wizard_host.h"

PLENWISE_PLUGIN_ENTRY(util, WizardHost, altutil::AltUtilVariant())
