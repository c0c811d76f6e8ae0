// The summary and save page (2009): the setting's seven values, its name, and the save that
// registers it with the printer driver and exports it into a settings file of the operator's.
#pragma once

#include <string>

#include "util/pages/setting_page.h"

namespace util {

class SummaryPage : public SettingPage {
  public:
    explicit SummaryPage(WizardHost& host);

  protected:
    bool OnInitDialog() override;
    void OnShown() override;

  private:
    void OnSave();
    // Registers the setting in the driver's user configuration; the operator may decline a
    // replacement or give up a failing save, and the export is offered either way.
    void Register(const std::string& name);
    // The export file the operator chooses, starting where the last export went; "" when
    // cancelled.
    std::string ChooseExportFile();
    void Export(const std::string& path, const std::string& name);
};

}  // namespace util
