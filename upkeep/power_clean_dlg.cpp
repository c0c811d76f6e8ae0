#include "upkeep/power_clean_dlg.h"

#include "common/page_frame.h"
#include "common/ui_text_table.h"
#include "platform/ui/message_box.h"
#include "resources/upkeep/templates.h"
#include "upkeep/power_cleaning.h"
#include "upkeep/upkeep_host.h"

namespace upkeep {

namespace {
constexpr int kStart = 3002;
constexpr int kTitle = 3003;
constexpr int kPane = 3031;
}  // namespace

PowerCleanDlg::PowerCleanDlg() : ui::Dialog(PowerCleanTemplate()) {
    Bind(kStart, ui::Notify::Clicked, [this]() { OnStart(); });
    Bind(kNextButton, ui::Notify::Clicked, []() { Host().Frame().Next(); });
    Bind(kBackButton, ui::Notify::Clicked, []() { Host().Frame().Back(); });
    Bind(kExitButton, ui::Notify::Clicked, []() { Host().Frame().Exit(); });
}

bool PowerCleanDlg::OnInitDialog() {
    UpkeepHost& host = Host();
    SetItemText(kTitle, host.GetText(120));
    SetItemText(kStart, host.GetText(106));
    SetItemText(kNextButton, host.GetText(99));
    SetItemText(kBackButton, host.GetText(101));
    SetItemText(kExitButton, host.GetText(102));
    std::string pane;
    for (int32_t number = 505; number <= 509; ++number) {
        pane += host.GetText(number);
    }
    SetItemText(kPane, ToCrLf(pane));
    return true;
}

void PowerCleanDlg::OnDestroy() {
    Host().Link().Unbind();
}

void PowerCleanDlg::OnStart() {
    UpkeepHost& host = Host();
    switch (StartPowerCleaning(host.Link(), host.Frame().PrinterName())) {
        case CleaningStart::NotReady:
            host.ShowFailure(ui::kMbIconStop);
            break;
        case CleaningStart::NotSent:
            host.ShowFailure(ui::kMbIconExclamation);
            break;
        case CleaningStart::Sent:
            break;  // nothing is shown: the printer cleans on its own
    }
}

}  // namespace upkeep
