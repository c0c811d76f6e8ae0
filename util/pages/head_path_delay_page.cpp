#include "util/pages/head_path_delay_page.h"

#include "resources/util/templates.h"
#include "util/wizard_host.h"

namespace util {

namespace {
constexpr int kTitle = 2032;
constexpr int kSlider = 2054;
constexpr int kEdit = 2031;
constexpr int kUnit = 2077;
constexpr int kPane = 2017;
}  // namespace

HeadPathDelayPage::HeadPathDelayPage(WizardHost& host)
    : SettingPage(host, HeadPathDelayTemplate(), Header::SettingAndMedia),
      delay_(*this, kSlider, kEdit,
             {.minimum = 0, .maximum = 50, .checkCharacters = false, .editFollowsRelease = true}) {}

bool HeadPathDelayPage::OnInitDialog() {
    SetCommonTexts(kTitle, 130, kPane, {{1350, 1354}});
    SetTexts({{kUnit, 131}});
    delay_.Create();
    return true;
}

void HeadPathDelayPage::OnShown() {
    delay_.Show(host_.Settings().working.Drytime());
}

void HeadPathDelayPage::BeforeLeaving(Leaving how) {
    if (how != Leaving::Exit) {
        host_.Settings().working.SetDrytime(static_cast<uint8_t>(delay_.Value()));
    }
}

}  // namespace util
