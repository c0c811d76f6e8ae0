#include "util/pages/density_page.h"

#include <string>

#include "platform/ui/window.h"
#include "resources/util/templates.h"
#include "util/pages/setting_sample.h"
#include "util/wizard_host.h"

namespace util {

namespace {
constexpr int kTitle = 2049;
constexpr int kSlider = 2016;
constexpr int kEdit = 2031;
constexpr int kSampleLabel = 2075;
constexpr int kSamplePrint = 2012;
constexpr int kPane = 2073;
constexpr int32_t kTitleText = 180;
}  // namespace

DensityPage::DensityPage(WizardHost& host)
    : SettingPage(host, DensityTemplate(host.GetVariant().sampleImageChoice),
                  Header::SettingAndMedia),
      density_(
          *this, kSlider, kEdit,
          {.minimum = -50, .maximum = 50, .checkCharacters = true, .editFollowsRelease = false}),
      imageChoice_(*this, host, "SampleCardinalityR", "SampleCardinality") {
    Bind(kSamplePrint, ui::Notify::Clicked, [this]() { OnSamplePrint(); });
}

bool DensityPage::OnInitDialog() {
    SetCommonTexts(kTitle, kTitleText, kPane, {{1600, 1614}});
    SetTexts({{kSampleLabel, 122}, {kSamplePrint, 107}});
    imageChoice_.Create();
    density_.Create();
    return true;
}

void DensityPage::OnShown() {
    density_.Show(host_.Settings().working.Density());
    imageChoice_.Shown();
}

void DensityPage::OnSamplePrint() {
    const int paperWidth = host_.SamplePaperWidthInches();
    std::string image;
    if (!imageChoice_.Choose(image)) {
        return;
    }
    // The slider follows every number typed, so it holds the value to try.
    const ui::WaitCursor waiting;
    host_.PrintSamples(
        {SettingSample(host_, image, paperWidth, kTitleText, kSampleDensity, density_.Value())},
        SampleCaller::DensityPage);
}

void DensityPage::BeforeLeaving(Leaving how) {
    if (how != Leaving::Exit) {
        host_.Settings().working.SetDensity(static_cast<int8_t>(density_.Value()));
    }
}

}  // namespace util
