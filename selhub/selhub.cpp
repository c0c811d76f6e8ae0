// The hub's entry: one instance of the program runs its main window for the whole run.
#include <iostream>

#include "common/plugin_entry.h"
#include "common/ui_text_table.h"
#include "platform/system/module.h"
#include "platform/ui/message_box.h"
#include "platform/ui/single_instance.h"
#include "selhub/main_frame_dlg.h"
#include "selhub/registry_selection_memory.h"

namespace {
constexpr int32_t kCannotLockText = 157;
}  // namespace

PLENWISE_EXPORT int StartWizard() {
    std::string modulePath = sys::ModulePath(reinterpret_cast<const void*>(&StartWizard));
    ui::SingleInstance instance(selhub::kInstanceName);
    const ui::SingleInstance::Lock lock = instance.Acquire();
    // Another instance runs: bring its window (and its open pop-up) forward instead.
    if (lock == ui::SingleInstance::Lock::Held && instance.AskFirstToRaise()) {
        return 0;
    }
    if (lock != ui::SingleInstance::Lock::Taken) {
        UiTextTable texts;
        texts.Load(LocalizedDataFilePath(modulePath));
        std::cerr << "plenwise: " << instance.Problem() << "\n";
        ui::AppMessageBox(texts.GetText(kCannotLockText) + "\n" + instance.Problem(),
                          ui::kMbIconStop);
        return kHubCannotStart;
    }
    selhub::RegistrySelectionMemory memory;
    selhub::MainFrameDlg main(modulePath, memory);
    main.DoModal(nullptr);
    return 1;
}
