// The hub's entry: one instance of the program runs its main window for the whole run.
#include "common/plugin_entry.h"
#include "platform/system/module.h"
#include "platform/ui/single_instance.h"
#include "selhub/main_frame_dlg.h"
#include "selhub/registry_selection_memory.h"

PLENWISE_EXPORT int StartWizard() {
    ui::SingleInstance instance(selhub::kInstanceName);
    if (!instance.Acquire()) {
        // Another instance runs: bring its window (and its open pop-up) forward instead.
        instance.AskFirstToRaise();
        return 0;
    }
    selhub::RegistrySelectionMemory memory;
    std::string modulePath = sys::ModulePath(reinterpret_cast<const void*>(&StartWizard));
    selhub::MainFrameDlg main(modulePath, memory);
    main.DoModal(nullptr);
    return 1;
}
