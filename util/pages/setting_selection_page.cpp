#include "util/pages/setting_selection_page.h"

#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/message_box.h"
#include "resources/util/templates.h"
#include "util/settings/setting_values.h"
#include "util/wizard_host.h"

namespace util {

namespace {

constexpr int kSettingList = 2015;
constexpr int kMediaBox = 2003;
constexpr int kPrintModeBox = 2009;
// The tick boxes of the seven values, in slot order from slot 10, and their value statics.
constexpr std::array<int, 7> kValueBoxes{2003, 2004, 2005, 2007, 2008, 2009, 2010};
constexpr int kFirstValueStatic = 2058;
constexpr int kPane = 2067;
constexpr int32_t kMostUserSettings = 100;

}  // namespace

SettingSelectionPage::SettingSelectionPage(WizardHost& host)
    : SettingPage(host, SettingSelectionTemplate(), Header::None) {
    Bind(kSettingList, ui::Notify::SelectionChanged, [this]() { OnSelectionChanged(); });
}

bool SettingSelectionPage::OnInitDialog() {
    SetCommonTexts(2024, 110, kPane, {{1200, 1204}});
    SetTexts({{2025, 111}});
    for (size_t i = 0; i < kValueBoxes.size(); ++i) {
        SetTexts({{kValueBoxes[i], 120 + 10 * static_cast<int32_t>(i)}});
    }
    ui::ComboBox list(Item(kSettingList));
    list.AddString(host_.GetText(112));
    std::vector<std::string> names;
    host_.Store().ListUserNames(kMostUserSettings, names);
    for (const std::string& name : names) {
        list.AddString(name);
    }
    list.SetCurSel(0);
    OnSelectionChanged();
    return true;
}

void SettingSelectionPage::ShowChoices(const PageFrame& frame) {
    for (size_t i = 0; i < kValueBoxes.size(); ++i) {
        ui::Button(Item(kValueBoxes[i])).SetChecked(frame.IsEnabled(kFirstSettingValueSlot + i));
    }
}

void SettingSelectionPage::TakeChoices(PageFrame& frame) {
    for (size_t i = 0; i < kValueBoxes.size(); ++i) {
        frame.SetEnabled(kFirstSettingValueSlot + i, ui::Button(Item(kValueBoxes[i])).IsChecked());
    }
}

void SettingSelectionPage::OnShown() {
    // The values the setting pages have changed since. The new-setting flag cannot tell a stored
    // setting from a new one here: it stays set from the start, when entry 0 is selected.
    if (ui::ComboBox(Item(kSettingList)).GetCurSel() > 0) {
        ShowCurrentValues();
    }
}

void SettingSelectionPage::OnSelectionChanged() {
    ui::ComboBox list(Item(kSettingList));
    host_.selectedSettingName = list.GetText();
    const int selected = list.GetCurSel();
    ui::Button media(Item(kMediaBox));
    ui::Button printMode(Item(kPrintModeBox));
    if (selected <= 0) {
        // A new setting starts from a media type and takes its print mode.
        media.SetChecked(true);
        ui::EnableWindow(media.Handle(), false);
        printMode.SetChecked(true);
        ui::EnableWindow(printMode.Handle(), true);
        ShowNoValues();
        host_.noSettings = true;
        return;
    }
    MediaSettingsStore& store = host_.Store();
    const std::string name = host_.selectedSettingName;
    if (host_.MediaTypes().OrderOf(store.UserMediaId(name)) == -1) {
        ui::AppMessageBox(host_.GetText(350) + host_.GetText(351), ui::kMbIconExclamation);
        list.SetCurSel(0);
        OnSelectionChanged();
        return;
    }
    store.LoadUser(name);
    host_.SetPrintMode(PrintModeIndexOfFlag(host_.Settings().PrintModeFlag()));
    if (auto mediaName = host_.DriverMediaNameOf(host_.Settings().record.MediaId())) {
        host_.driverMediaName = *mediaName;
    }
    ShowCurrentValues();
    media.SetChecked(false);
    ui::EnableWindow(media.Handle(), false);
    printMode.SetChecked(false);
    ui::EnableWindow(printMode.Handle(), false);
}

void SettingSelectionPage::ShowCurrentValues() {
    const SettingValueTexts values =
        FormatSettingValues(host_.Settings().working, host_.PrintMode(), host_.driverMediaName,
                            host_, SettingValuesPage::Selection);
    for (size_t i = 0; i < values.size(); ++i) {
        SetItemText(kFirstValueStatic + static_cast<int>(i), values[i]);
    }
}

void SettingSelectionPage::ShowNoValues() {
    for (int i = 0; i < 7; ++i) {
        SetItemText(kFirstValueStatic + i, ":");
    }
}

}  // namespace util
