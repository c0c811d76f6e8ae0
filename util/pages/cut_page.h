// The cut page (2006): how the paper is cut, one of three entries.
#pragma once

#include "util/pages/setting_page.h"

namespace util {

class CutPage : public SettingPage {
  public:
    explicit CutPage(WizardHost& host);

  protected:
    bool OnInitDialog() override;
    void OnShown() override;
    void BeforeLeaving(Leaving how) override;
};

}  // namespace util
