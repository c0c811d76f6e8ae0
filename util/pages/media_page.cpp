#include "util/pages/media_page.h"

#include <algorithm>
#include <string>

#include "platform/ui/controls.h"
#include "resources/util/templates.h"
#include "util/pages/sample_settings_dialog.h"
#include "util/settings/edit_value.h"
#include "util/wizard_host.h"

namespace util {

namespace {

constexpr int kMediaList = 2007;
constexpr int kThickness = 2030;
constexpr int kSamplePrint = 2012;
constexpr int kPane = 2006;
// Paper thickness in 0.1 mm.
constexpr int kThinnest = 0;
constexpr int kThickest = 15;
// The standard print mode's records are the base of a media type.
constexpr int32_t kStandardModeFlag = 1;

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

MediaPage::MediaPage(WizardHost& host)
    : SettingPage(host, MediaTemplate(host.GetVariant().sampleImageChoice), Header::SettingOnly),
      imageChoice_(*this, host, "SampleMediaR", "SampleMedia") {
    Bind(kMediaList, ui::Notify::SelectionChanged, [this]() { OnMediaChanged(); });
    Bind(kThickness, ui::Notify::Changed, [this]() { OnThicknessChanged(); });
    Bind(kThickness, ui::Notify::FocusLost, [this]() { OnThicknessLeft(); });
    Bind(kSamplePrint, ui::Notify::Clicked, [this]() { OnSamplePrint(); });
}

bool MediaPage::OnInitDialog() {
    SetCommonTexts(2028, 120, kPane, {{1250, 1260}});
    SetTexts({{2029, 121}, {2093, 123}, {kSamplePrint, 125}});
    imageChoice_.Create();
    ui::ComboBox list(Item(kMediaList));
    for (const DriverMedia& media : host_.KnownDriverMedia()) {
        const int index = list.AddString(media.name);
        list.SetItemData(index, media.id);
    }
    list.SetCurSel(0);
    OnMediaChanged();
    ui::Edit(Item(kThickness)).SetLimit(2);
    return true;
}

void MediaPage::OnMediaChanged() {
    ui::ComboBox list(Item(kMediaList));
    host_.driverMediaName = list.GetText();
    UserSettings& settings = host_.Settings();
    const int selected = list.GetCurSel();
    host_.Store().LoadBase(static_cast<uint32_t>(list.GetItemData(selected)), kStandardModeFlag);
    if (host_.noSettings) {
        // A new setting starts from the driver's own values for the media.
        settings.working.TakeFrom(settings.record);
    }
    host_.SetPrintMode(PrintModeIndexOfFlag(settings.PrintModeFlag()));
    ShowThickness(settings.working.Paperthick());
}

void MediaPage::OnShown() {
    ui::ComboBox list(Item(kMediaList));
    for (int i = 0; i < list.Count(); ++i) {
        if (SameTextIgnoringCase(list.GetItemText(i), host_.driverMediaName)) {
            list.SetCurSel(i);
            break;
        }
    }
    const int thickness = host_.Settings().working.Paperthick();
    ShowThickness(thickness);
    lastThickness_ = thickness;
    imageChoice_.Shown();
}

void MediaPage::ShowThickness(int value) {
    SetItemText(kThickness, std::to_string(value));
}

void MediaPage::OnThicknessChanged() {
    const std::string text = GetItemText(kThickness);
    if (text.empty()) {
        return;
    }
    const int value = EditValue(text);
    const int corrected = std::clamp(value, kThinnest, kThickest);
    if (corrected != value) {
        ShowThickness(corrected);  // arrives here again with the corrected value
        return;
    }
    lastThickness_ = value;
}

void MediaPage::OnThicknessLeft() {
    const std::string text = GetItemText(kThickness);
    if (text.empty()) {
        ShowThickness(lastThickness_);
        return;
    }
    const int value = EditValue(text);
    if (std::clamp(value, kThinnest, kThickest) != value) {
        ShowThickness(std::clamp(value, kThinnest, kThickest));
    }
}

void MediaPage::BeforeLeaving(Leaving how) {
    if (how == Leaving::Exit) {
        return;
    }
    ui::ComboBox list(Item(kMediaList));
    host_.driverMediaName = list.GetText();
    const int selected = list.GetCurSel();
    if (selected >= 0) {
        UserSettings& settings = host_.Settings();
        settings.record.SetMediaId(static_cast<uint32_t>(list.GetItemData(selected)));
        settings.working.SetPaperthick(static_cast<uint8_t>(EditValue(GetItemText(kThickness))));
    }
}

void MediaPage::OnSamplePrint() {
    std::string image;
    if (!imageChoice_.Choose(image)) {
        return;
    }
    SampleSettingsDialog dialog(host_, image);
    dialog.DoModal(Handle());
}

}  // namespace util
