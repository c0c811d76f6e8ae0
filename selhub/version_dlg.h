// The about box: two lines of text and the file version of every plug-in the hub's function
// table names.
#pragma once

#include <string>

#include "common/ui_text_table.h"
#include "platform/ui/dialog.h"

namespace selhub {

// One "name : major.minor" line per plug-in file that carries version information, each file
// once, in function-table order. Plain names are found as libraries are: beside the program.
std::string BuildVersionListing(const HubTables& tables);

class VersionDlg : public ui::Dialog {
  public:
    VersionDlg();

    std::string title;
    std::string secondText;
    std::string listing;

  protected:
    bool OnInitDialog() override;
};

}  // namespace selhub
