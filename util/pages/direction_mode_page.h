// The print direction and mode page (3003): which of the six gap pages follow.
#pragma once

#include "util/settings/head_gap.h"
#include "util/wizard_page.h"

namespace util {

class DirectionModePage : public WizardPage {
  public:
    explicit DirectionModePage(WizardHost& host);

    void ShowChoices(const PageFrame& frame) override;
    void TakeChoices(PageFrame& frame) override;

  protected:
    bool OnInitDialog() override;
    // Shown or hidden, the page starts over: nothing ticked, Next disabled.
    void OnShowWindow(bool shown) override;

  private:
    GapChoice Choice() const;
    void Clear();
    void OnBoxClicked();
};

}  // namespace util
