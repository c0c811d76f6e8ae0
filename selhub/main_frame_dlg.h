// The program's only top-level window. It holds the selection page and, while a function runs,
// that plug-in's pages, and applies the keyboard rules that keep Enter, Escape and Tab inside
// the page shown.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/dialog.h"
#include "selhub/selection_memory.h"

namespace selhub {

class SelectDlg;

inline constexpr const char* kInstanceName = "ARVEN Plenwise";
inline constexpr uint32_t kAboutCommand = 0x10;

class MainFrameDlg : public ui::Dialog {
  public:
    MainFrameDlg(const std::string& hubModulePath, SelectionMemory& memory);
    ~MainFrameDlg() override;

    SelectDlg* Page() const { return page_.get(); }

  protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    void OnSysCommand(uint32_t commandId) override;
    bool PreTranslateKey(const ui::KeyInput& key) override;

  private:
    void ShowAboutBox();

    std::unique_ptr<SelectDlg> page_;
};

}  // namespace selhub
