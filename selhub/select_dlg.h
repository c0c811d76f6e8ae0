// The selection page: a printer of a known model, one of its family's functions, Next and Exit.
// It starts the chosen plug-in and takes control back when the plug-in posts the notify message.
#pragma once

#include <cstdint>
#include <string>

#include "common/ui_text_table.h"
#include "platform/system/module.h"
#include "platform/ui/dialog.h"
#include "selhub/selection_memory.h"

namespace selhub {

class SelectDlg : public ui::Dialog {
  public:
    // modulePath: the hub library's own path; the data file and the plug-ins lie beside it.
    SelectDlg(ui::Dialog& mainWindow, std::string modulePath, SelectionMemory& memory);
    ~SelectDlg() override;

    void SetNotifyMessage(uint32_t message) { notifyMessage_ = message; }
    const HubTables& Tables() const { return tables_; }
    bool PluginLoaded() const { return plugin_ != nullptr; }

  protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    bool PreTranslateKey(const ui::KeyInput& key) override;

  private:
    // True when a listing failed because no scheduler could be reached.
    bool FillPrinterList(const std::string& rememberedPrinter);
    void BuildFunctionList();
    std::string PluginPath(uint32_t functionKey) const;
    void OnNext();
    void StartChosenPlugin();
    void OnExit();
    void OnNotify(intptr_t lParam);
    void FreePlugin();

    ui::Dialog& mainWindow_;
    SelectionMemory& memory_;
    uint32_t notifyMessage_ = 0;
    HubTables tables_;
    sys::LibraryHandle plugin_ = nullptr;
    std::string modulePath_;
    std::string basePath_;
    ui::WindowHandle pluginPage_ = nullptr;
    bool starting_ = false;  // inside Next
};

}  // namespace selhub
