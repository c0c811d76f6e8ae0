// The vacuum page (2005): the paper suction, standard or one of four weaker steps, stored as the
// driver's raw value of that step.
#pragma once

#include "util/pages/setting_page.h"

namespace util {

class VacuumPage : public SettingPage {
  public:
    explicit VacuumPage(WizardHost& host);

  protected:
    bool OnInitDialog() override;
    void OnShown() override;
    void BeforeLeaving(Leaving how) override;
};

}  // namespace util
