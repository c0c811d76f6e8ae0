// The service menu (3001): the operator chooses the head adjustment, the paper settings, or both.
#pragma once

#include "util/wizard_page.h"

namespace util {

class ServiceMenuPage : public WizardPage {
  public:
    explicit ServiceMenuPage(WizardHost& host);

    void ShowChoices(const PageFrame& frame) override;
    void TakeChoices(PageFrame& frame) override;

  protected:
    bool OnInitDialog() override;
    void OnDestroy() override;

  private:
    void OnChoiceClicked();
};

}  // namespace util
