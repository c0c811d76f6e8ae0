// The print mode page (2007): the setting's print mode, among those its media type allows, with a
// sample print in the chosen mode.
#pragma once

#include "util/pages/sample_image_choice.h"
#include "util/pages/setting_page.h"

namespace util {

class PrintModePage : public SettingPage {
  public:
    explicit PrintModePage(WizardHost& host);

  protected:
    bool OnInitDialog() override;
    void OnShown() override;
    void BeforeLeaving(Leaving how) override;

  private:
    // The print-mode flag (1, 2, 4 or 8) of the selected entry; 0 when none.
    int32_t SelectedFlag() const;
    void TakeSelectedMode();
    void OnSamplePrint();

    SampleImageChoice imageChoice_;
};

}  // namespace util
