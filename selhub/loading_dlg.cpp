#include "selhub/loading_dlg.h"

#include <utility>

#include "resources/selhub/templates.h"

namespace selhub {

LoadingDlg::LoadingDlg(std::string text) : ui::Dialog(LoadingTemplate()), text_(std::move(text)) {}

bool LoadingDlg::OnInitDialog() {
    SetItemText(1011, text_);
    return true;
}

}  // namespace selhub
