#include "util/wizard_page.h"

#include "resources/util/templates.h"
#include "util/wizard_host.h"

namespace util {

WizardPage::WizardPage(WizardHost& host, const ui::DialogTemplate& pageTemplate)
    : ui::Dialog(pageTemplate), host_(host) {
    auto leave = [this](Leaving how, void (WizardHost::*step)()) {
        return [this, how, step]() {
            BeforeLeaving(how);
            // Through a plain reference: GCC's vptr check of `(host_.*step)()` in this nested
            // lambda takes the closure for the page, and the sanitized build stops there.
            WizardHost& owner = host_;
            (owner.*step)();
        };
    };
    Bind(kPageBackButton, ui::Notify::Clicked, leave(Leaving::Back, &WizardHost::Back));
    Bind(kPageNextButton, ui::Notify::Clicked, leave(Leaving::Next, &WizardHost::Next));
    Bind(kPageExitButton, ui::Notify::Clicked, leave(Leaving::Exit, &WizardHost::Exit));
}

void WizardPage::SetButtonTexts() {
    SetTexts({{kPageNextButton, 100}, {kPageBackButton, 101}, {kPageExitButton, 102}});
}

void WizardPage::SetPane(int paneId, const TextRanges& texts) {
    SetItemText(paneId, host_.PaneText(texts));
}

void WizardPage::SetTexts(std::initializer_list<std::pair<int, int32_t>> controlTexts) {
    for (const auto& [control, text] : controlTexts) {
        SetItemText(control, host_.GetText(text));
    }
}

}  // namespace util
