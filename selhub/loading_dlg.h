// The small notice shown while a plug-in loads.
#pragma once

#include <string>

#include "platform/ui/dialog.h"

namespace selhub {

class LoadingDlg : public ui::Dialog {
  public:
    explicit LoadingDlg(std::string text);

  protected:
    bool OnInitDialog() override;

  private:
    std::string text_;
};

}  // namespace selhub
