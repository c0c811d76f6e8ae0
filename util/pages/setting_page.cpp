#include "util/pages/setting_page.h"

#include "platform/ui/paint.h"
#include "util/wizard_host.h"

namespace util {

namespace {
constexpr int kSettingLabel = 2018;
constexpr int kSettingName = 2019;
constexpr int kMediaLabel = 2020;
constexpr int kMediaName = 2021;
}  // namespace

SettingPage::SettingPage(WizardHost& host, const ui::DialogTemplate& pageTemplate, Header header)
    : WizardPage(host, pageTemplate), header_(header) {}

void SettingPage::SetCommonTexts(int titleId, int32_t titleText, int paneId,
                                 const TextRanges& pane) {
    SetButtonTexts();
    if (header_ != Header::None) {
        SetTexts({{kSettingLabel, 105}});
    }
    if (header_ == Header::SettingAndMedia) {
        SetTexts({{kMediaLabel, 106}});
    }
    SetTexts({{titleId, titleText}});
    SetPane(paneId, pane);
}

void SettingPage::OnShowWindow(bool shown) {
    if (!shown) {
        return;
    }
    if (header_ != Header::None) {
        SetItemText(kSettingName, host_.selectedSettingName);
    }
    if (header_ == Header::SettingAndMedia) {
        SetItemText(kMediaName, host_.driverMediaName);
    }
    OnShown();
}

void SettingPage::OnPaint(ui::Painter& painter) {
    if (header_ == Header::None) {
        return;
    }
    const ui::Colour grey = ui::SystemColour(ui::kColourGrayText);
    auto draw = [&](int id) { painter.Text(ItemRect(id), GetItemText(id), grey); };
    if (header_ == Header::SettingAndMedia) {
        draw(kSettingName);
        draw(kMediaName);
        draw(kSettingLabel);
        draw(kMediaLabel);
    } else {
        draw(kSettingName);
        draw(kSettingLabel);
    }
}

}  // namespace util
