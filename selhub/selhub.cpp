// The hub's entry: runs the main window for the whole program.
#include "common/plugin_entry.h"
#include "platform/system/module.h"
#include "selhub/main_frame_dlg.h"

namespace {

// Keeps nothing between runs yet: the printer and function start unchosen every time.
class TransientSelectionMemory : public selhub::SelectionMemory {
  public:
    std::string RememberedPrinter() override { return printer_; }
    uint32_t RememberedFunction() override { return function_; }
    void RememberPrinter(const std::string& printerName) override { printer_ = printerName; }
    void RememberFunction(uint32_t functionNumber) override { function_ = functionNumber; }

  private:
    std::string printer_;
    uint32_t function_ = 0;
};

}  // namespace

PLENWISE_EXPORT int StartWizard() {
    TransientSelectionMemory memory;
    std::string modulePath = sys::ModulePath(reinterpret_cast<const void*>(&StartWizard));
    selhub::MainFrameDlg main(modulePath, memory);
    main.DoModal(nullptr);
    return 1;
}
