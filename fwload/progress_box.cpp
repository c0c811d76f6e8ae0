#include "fwload/progress_box.h"

#include "fwload/firmware_host.h"
#include "platform/ui/controls.h"
#include "resources/fwload/templates.h"

namespace fwload {

namespace {
constexpr int kLabel = 1021;
constexpr int kBar = 1012;
}  // namespace

ProgressBox::ProgressBox() : ui::Dialog(ProgressTemplate()) {}

bool ProgressBox::OnInitDialog() {
    SetItemText(kLabel, Host().GetText(118));
    return true;
}

void ProgressBox::OnCancel() {
    cancelled_ = true;
}

void ProgressBox::SetRange(int minimum, int maximum) {
    ui::ProgressBar(Item(kBar)).SetRange(minimum, maximum);
}

void ProgressBox::SetPos(int position) {
    ui::ProgressBar(Item(kBar)).SetPos(position);
}

}  // namespace fwload
