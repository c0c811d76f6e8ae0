// The modal box that shows the printer's and the file's firmware versions side by side.
#pragma once

#include <string>

#include "platform/ui/dialog.h"

namespace fwload {

class VersionBox : public ui::Dialog {
  public:
    VersionBox(std::string printerVersion, std::string fileVersion);

  protected:
    bool OnInitDialog() override;

  private:
    std::string printerVersion_;
    std::string fileVersion_;
};

}  // namespace fwload
