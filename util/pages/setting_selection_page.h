// The setting selection page (2000): an existing user setting of the driver or a new one, and
// which of its seven values to adjust, each shown with its current value.
#pragma once

#include <array>
#include <string>

#include "util/pages/setting_page.h"

namespace util {

class SettingSelectionPage : public SettingPage {
  public:
    explicit SettingSelectionPage(WizardHost& host);

    // The tick boxes stand for slots 10 to 16.
    void ShowChoices(const PageFrame& frame) override;
    void TakeChoices(PageFrame& frame) override;

  protected:
    bool OnInitDialog() override;
    void OnShown() override;

  private:
    void OnSelectionChanged();
    void ShowCurrentValues();
    void ShowNoValues();
};

}  // namespace util
