#include "util/pages/sample_image_choice.h"

#include <sys/stat.h>

#include <utility>

#include "common/registry_key.h"
#include "platform/ui/controls.h"
#include "platform/ui/message_box.h"
#include "util/sample/sample_print.h"
#include "util/wizard_host.h"

namespace util {

namespace {

constexpr int kStandardImage = 2095;
constexpr int kUserBitmap = 2096;
constexpr int kFileName = 2097;
constexpr int kBrowse = 2098;

RegistryKey UserKey() {
    return RegistryKey(reg::HKEY_CURRENT_USER, kSettingsKey);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

SampleImageChoice::SampleImageChoice(ui::Dialog& page, WizardHost& host, std::string choiceValue,
                                     std::string pathValue)
    : page_(page),
      host_(host),
      choiceValue_(std::move(choiceValue)),
      pathValue_(std::move(pathValue)) {
    page_.Bind(kStandardImage, ui::Notify::Clicked, [this]() { EnableUserBitmapControls(); });
    page_.Bind(kUserBitmap, ui::Notify::Clicked, [this]() { EnableUserBitmapControls(); });
    page_.Bind(kBrowse, ui::Notify::Clicked, [this]() { OnBrowse(); });
}

bool SampleImageChoice::Offered() const {
    return host_.GetVariant().sampleImageChoice;
}

void SampleImageChoice::Create() {
    if (!Offered()) {
        return;
    }
    page_.SetItemText(kStandardImage, host_.GetText(260));
    page_.SetItemText(kUserBitmap, host_.GetText(261));
    page_.SetItemText(kBrowse, host_.GetText(262));
    const uint32_t checked = UserKey().ReadNumber(kSettingsSubkey, choiceValue_, kStandardImage);
    ui::Button(page_.Item(kStandardImage)).SetChecked(checked == kStandardImage);
    ui::Button(page_.Item(kUserBitmap)).SetChecked(checked == kUserBitmap);
    page_.SetItemText(kFileName, "");
    EnableUserBitmapControls();
}

void SampleImageChoice::Shown() {
    if (!Offered()) {
        return;
    }
    host_.userSampleBitmap = UserKey().ReadExpandedString(kSettingsSubkey, pathValue_, "");
    ShowFileName(host_.userSampleBitmap);
}

void SampleImageChoice::EnableUserBitmapControls() {
    const bool user = ui::Button(page_.Item(kUserBitmap)).IsChecked();
    ui::EnableWindow(page_.Item(kFileName), user);
    ui::EnableWindow(page_.Item(kBrowse), user);
}

void SampleImageChoice::ShowFileName(const std::string& path) {
    page_.SetItemText(kFileName, path.substr(path.find_last_of('/') + 1));
}

void SampleImageChoice::OnBrowse() {
    ui::FileDialogRequest request;
    request.defaultExtension = "bmp";
    request.filter = host_.GetText(263);
    std::string path;
    if (!ui::GetOpenFileName(request, path)) {
        return;
    }
    ShowFileName(path);
    host_.userSampleBitmap = path;
}

bool SampleImageChoice::Choose(std::string& imagePath) {
    if (!Offered()) {
        imagePath = host_.StandardSampleBitmap();
        return true;
    }
    auto refuse = [this](int32_t first, int32_t second) {
        ui::AppMessageBox(host_.GetText(first) + (second != 0 ? host_.GetText(second) : ""),
                          ui::kMbIconExclamation);
        return false;
    };
    uint32_t checked = 0;
    imagePath.clear();
    if (ui::Button(page_.Item(kStandardImage)).IsChecked()) {
        checked = kStandardImage;
        imagePath = host_.StandardSampleBitmap();
    } else if (ui::Button(page_.Item(kUserBitmap)).IsChecked()) {
        checked = kUserBitmap;
        imagePath = host_.userSampleBitmap;
        if (imagePath.empty()) {
            return refuse(330, 0);
        }
        if (!Exists(imagePath)) {
            return refuse(332, 342);
        }
        if (!CheckUserBitmap(imagePath)) {
            return refuse(331, 341);
        }
    }
    RegistryKey key = UserKey();
    key.WriteNumber(kSettingsSubkey, choiceValue_, checked);
    if (checked == kUserBitmap) {
        key.WriteString(kSettingsSubkey, pathValue_, imagePath);
    }
    return true;
}

}  // namespace util
