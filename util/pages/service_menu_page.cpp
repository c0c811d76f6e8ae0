#include "util/pages/service_menu_page.h"

#include "platform/ui/controls.h"
#include "resources/util/templates.h"
#include "util/settings/head_gap.h"
#include "util/wizard_host.h"

namespace util {

namespace {
constexpr int kHeadAdjustment = 3005;
constexpr int kPaperSettings = 3001;
constexpr int kPane = 3034;
}  // namespace

ServiceMenuPage::ServiceMenuPage(WizardHost& host) : WizardPage(host, ServiceMenuTemplate()) {
    Bind(kHeadAdjustment, ui::Notify::Clicked, [this]() { OnChoiceClicked(); });
    Bind(kPaperSettings, ui::Notify::Clicked, [this]() { OnChoiceClicked(); });
}

bool ServiceMenuPage::OnInitDialog() {
    SetButtonTexts();
    SetTexts({{kHeadAdjustment, 210}, {kPaperSettings, 201}});
    SetPane(kPane, {{1000, 1004}});
    return true;
}

void ServiceMenuPage::OnDestroy() {
    host_.ReleaseOnMenuDestroyed();
}

void ServiceMenuPage::OnChoiceClicked() {
    const bool chosen = ui::Button(Item(kHeadAdjustment)).IsChecked() ||
                        ui::Button(Item(kPaperSettings)).IsChecked();
    ui::EnableWindow(Item(kPageNextButton), chosen);
}

void ServiceMenuPage::ShowChoices(const PageFrame&) {
    ui::Button(Item(kHeadAdjustment)).SetChecked(false);
    ui::Button(Item(kPaperSettings)).SetChecked(false);
    OnChoiceClicked();
}

void ServiceMenuPage::TakeChoices(PageFrame& frame) {
    // The head adjustment's pages come first, the paper settings' after them.
    const bool head = ui::Button(Item(kHeadAdjustment)).IsChecked();
    const bool paper = ui::Button(Item(kPaperSettings)).IsChecked();
    for (size_t slot = kDirectionModeSlot; slot < kSettingSelectionSlot; ++slot) {
        frame.SetEnabled(slot, head);
    }
    for (size_t slot = kSettingSelectionSlot; slot <= kSummarySlot; ++slot) {
        frame.SetEnabled(slot, paper);
    }
}

}  // namespace util
