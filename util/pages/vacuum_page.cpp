#include "util/pages/vacuum_page.h"

#include <array>

#include "platform/ui/controls.h"
#include "resources/util/templates.h"
#include "util/wizard_host.h"

namespace util {

namespace {
constexpr int kTitle = 2040;
constexpr int kSlider = 2056;
constexpr int kStandardLabel = 2041;
constexpr int kPane = 2070;
// The raw value written for each slider position: standard, then -1 to -4.
constexpr std::array<uint8_t, 5> kPaperdrawOfPosition{100, 50, 30, 10, 6};
}  // namespace

VacuumPage::VacuumPage(WizardHost& host)
    : SettingPage(host, VacuumTemplate(), Header::SettingAndMedia) {}

bool VacuumPage::OnInitDialog() {
    SetCommonTexts(kTitle, 150, kPane, {{1450, 1454}});
    SetTexts({{kStandardLabel, 151}});
    ui::Trackbar slider(Item(kSlider));
    slider.SetRange(0, static_cast<int>(kPaperdrawOfPosition.size()) - 1);
    slider.SetTicFrequency(1);
    return true;
}

void VacuumPage::OnShown() {
    // Every raw value has its place: the step of its band of values.
    ui::Trackbar(Item(kSlider)).SetPos(-PaperdrawStep(host_.Settings().working.Paperdraw()));
}

void VacuumPage::BeforeLeaving(Leaving how) {
    const int position = ui::Trackbar(Item(kSlider)).GetPos();
    if (how != Leaving::Exit && position >= 0 &&
        position < static_cast<int>(kPaperdrawOfPosition.size())) {
        host_.Settings().working.SetPaperdraw(kPaperdrawOfPosition[static_cast<size_t>(position)]);
    }
}

}  // namespace util
