#include "util/pages/cut_page.h"

#include "platform/ui/controls.h"
#include "resources/util/templates.h"
#include "util/wizard_host.h"

namespace util {

namespace {
constexpr int kTitle = 2042;
constexpr int kCutList = 2023;
constexpr int kPane = 2071;
// The entries' texts; an entry's index is the PaperCut value.
constexpr int32_t kCutTexts[] = {161, 162, 163};
constexpr uint8_t kLastCut = 2;
}  // namespace

CutPage::CutPage(WizardHost& host) : SettingPage(host, CutTemplate(), Header::SettingAndMedia) {}

bool CutPage::OnInitDialog() {
    SetCommonTexts(kTitle, 160, kPane, {{1500, 1504}});
    ui::ComboBox list(Item(kCutList));
    for (int32_t text : kCutTexts) {
        list.AddString(host_.GetText(text));
    }
    return true;
}

void CutPage::OnShown() {
    const uint8_t cut = host_.Settings().working.PaperCut();
    ui::ComboBox(Item(kCutList)).SetCurSel(cut <= kLastCut ? cut : -1);
}

void CutPage::BeforeLeaving(Leaving how) {
    if (how != Leaving::Exit) {
        // No entry selected is stored as 255, which no page shows as a cut.
        const int selected = ui::ComboBox(Item(kCutList)).GetCurSel();
        host_.Settings().working.SetPaperCut(static_cast<uint8_t>(selected));
    }
}

}  // namespace util
