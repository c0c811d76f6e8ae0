// The head path delay page (2003): the pause between passes, 0 to 50 tenths of a second, on a
// slider with its number edit.
#pragma once

#include "util/pages/setting_page.h"
#include "util/pages/slider_edit.h"

namespace util {

class HeadPathDelayPage : public SettingPage {
  public:
    explicit HeadPathDelayPage(WizardHost& host);

  protected:
    bool OnInitDialog() override;
    void OnShown() override;
    void BeforeLeaving(Leaving how) override;

  private:
    SliderEdit delay_;
};

}  // namespace util
