// The modeless box that shows how far the printer's time to take new firmware has run. Cancel
// only marks the box: whoever runs the wait closes it.
#pragma once

#include "platform/ui/dialog.h"

namespace fwload {

class ProgressBox : public ui::Dialog {
  public:
    ProgressBox();

    void SetRange(int minimum, int maximum);
    void SetPos(int position);
    bool Cancelled() const { return cancelled_; }

  protected:
    bool OnInitDialog() override;
    void OnCancel() override;

  private:
    bool cancelled_ = false;
};

}  // namespace fwload
