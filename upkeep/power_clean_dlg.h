// The power-cleaning page: a start button and the common buttons.
#pragma once

#include "platform/ui/dialog.h"

namespace upkeep {

class PowerCleanDlg : public ui::Dialog {
  public:
    PowerCleanDlg();

  protected:
    bool OnInitDialog() override;
    void OnDestroy() override;

  private:
    void OnStart();
};

}  // namespace upkeep
