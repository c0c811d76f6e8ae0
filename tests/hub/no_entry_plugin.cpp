// A library that looks like a plug-in by name but offers no StartWizard.
#include "common/plugin_entry.h"

PLENWISE_EXPORT int NotTheEntry() {
    return 0;
}
