// The density page (2008): the ink amount, -50 to 50 percent, on a slider with its number edit,
// and a sample printed with the value the slider shows.
#pragma once

#include "util/pages/sample_image_choice.h"
#include "util/pages/setting_page.h"
#include "util/pages/slider_edit.h"

namespace util {

class DensityPage : public SettingPage {
  public:
    explicit DensityPage(WizardHost& host);

  protected:
    bool OnInitDialog() override;
    void OnShown() override;
    void BeforeLeaving(Leaving how) override;

  private:
    void OnSamplePrint();

    SliderEdit density_;
    SampleImageChoice imageChoice_;
};

}  // namespace util
