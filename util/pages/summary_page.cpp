#include "util/pages/summary_page.h"

#include "common/registry_key.h"
#include "platform/system/user_file.h"
#include "platform/ui/controls.h"
#include "platform/ui/message_box.h"
#include "resources/util/templates.h"
#include "util/settings/setting_save.h"
#include "util/settings/setting_values.h"
#include "util/wizard_host.h"

namespace util {

namespace {

constexpr int kName = 2066;
constexpr int kSave = 2076;
constexpr int kFirstValueStatic = 2059;
constexpr int kPane = 2074;

constexpr int32_t kReplaceText = 300;
constexpr int32_t kNotSavedText = 302;
constexpr int32_t kNoNameText = 305;
constexpr int32_t kOtherModelText = 306;
constexpr int32_t kOtherModelReasonText = 316;
constexpr int32_t kExportNotWrittenText = 317;

constexpr const char* kSavePathValue = "SavePath";

bool Confirmed(WizardHost& host, int32_t text) {
    return ui::AppMessageBox(host.GetText(text), ui::kMbOkCancel | ui::kMbIconExclamation) ==
           ui::kIdOkResult;
}

bool Retry(WizardHost& host) {
    return ui::AppMessageBox(host.GetText(kNotSavedText),
                             ui::kMbRetryCancel | ui::kMbIconExclamation) == ui::kIdRetryResult;
}

}  // namespace

SummaryPage::SummaryPage(WizardHost& host) : SettingPage(host, SummaryTemplate(), Header::None) {
    Bind(kSave, ui::Notify::Clicked, [this]() { OnSave(); });
}

bool SummaryPage::OnInitDialog() {
    SetCommonTexts(2024, 110, kPane, {{1650, 1654}});
    SetTexts({{2028, 120},
              {2032, 130},
              {2033, 140},
              {2040, 150},
              {2042, 160},
              {2047, 170},
              {2049, 180},
              {kSave, 191},
              {kPageNextButton, 99}});
    ui::Edit(Item(kName)).SetLimit(host_.Store().LongestName());
    return true;
}

void SummaryPage::OnShown() {
    SetItemText(kName, host_.noSettings ? std::string() : host_.selectedSettingName);
    const SettingValueTexts values =
        FormatSettingValues(host_.Settings().working, host_.PrintMode(), host_.driverMediaName,
                            host_, SettingValuesPage::Summary);
    for (size_t i = 0; i < values.size(); ++i) {
        SetItemText(kFirstValueStatic + static_cast<int>(i), values[i]);
    }
}

void SummaryPage::OnSave() {
    const std::string name = GetItemText(kName);
    if (name.empty()) {
        ui::AppMessageBox(host_.GetText(kNoNameText), ui::kMbIconExclamation);
        return;
    }
    Register(name);
    const std::string path = ChooseExportFile();
    if (!path.empty()) {
        Export(path, name);
    }
}

void SummaryPage::Register(const std::string& name) {
    MediaSettingsStore& store = host_.Store();
    if (store.UserExists(name) && !Confirmed(host_, kReplaceText)) {
        return;
    }
    while (!RegisterSetting(store, host_.Settings(), host_.PrinterName(), name)) {
        if (!Retry(host_)) {
            return;
        }
    }
}

std::string SummaryPage::ChooseExportFile() {
    ui::FileDialogRequest request;
    request.save = true;
    request.owner = Handle();
    request.defaultExtension = "ASU";
    request.filter = host_.GetText(192);
    const std::string last = RegistryKey(reg::HKEY_CURRENT_USER, kSettingsKey)
                                 .ReadString(kSettingsSubkey, kSavePathValue, "");
    if (!last.empty()) {
        const size_t slash = last.find_last_of('/');
        request.fileName = slash == std::string::npos ? last : last.substr(slash + 1);
        request.initialDirectory = slash == std::string::npos ? "" : last.substr(0, slash);
    } else {
        // The machine's folder for settings files, made on first use.
        request.initialDirectory = RegistryKey(reg::HKEY_LOCAL_MACHINE, kSettingsKey)
                                       .ReadString(kSettingsSubkey, kSavePathValue, "");
        if (!request.initialDirectory.empty()) {
            sys::MakeUserFolders(request.initialDirectory);
        }
    }
    std::string path;
    return ui::GetSaveFileName(request, path) ? path : std::string();
}

void SummaryPage::Export(const std::string& path, const std::string& name) {
    const UserSettings& settings = host_.Settings();
    switch (CheckExportFile(settings, path, name)) {
        case ExportTarget::OtherModel:
            ui::AppMessageBox(host_.GetText(kOtherModelText) + host_.GetText(kOtherModelReasonText),
                              ui::kMbIconStop);
            return;
        case ExportTarget::NotAFile:
            ui::AppMessageBox(NotAFileText(path), ui::kMbIconStop);
            return;
        case ExportTarget::ReplacesSetting:
            if (!Confirmed(host_, kReplaceText)) {
                return;
            }
            break;
        case ExportTarget::NewSetting:
            break;
    }
    while (!ExportSettingFile(settings, host_.PrinterName(), path, name)) {
        if (!Retry(host_)) {
            ui::AppMessageBox(host_.GetText(kExportNotWrittenText), ui::kMbIconExclamation);
            return;
        }
    }
    RegistryKey(reg::HKEY_CURRENT_USER, kSettingsKey)
        .WriteString(kSettingsSubkey, kSavePathValue, path);
}

}  // namespace util
