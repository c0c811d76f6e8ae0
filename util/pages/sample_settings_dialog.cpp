#include "util/pages/sample_settings_dialog.h"

#include <algorithm>
#include <utility>

#include "platform/ui/controls.h"
#include "resources/util/templates.h"
#include "util/wizard_host.h"

namespace util {

namespace {
constexpr int kMediaList = 2014;
constexpr int kPane = 2068;
// Samples of media types print in the standard print mode, whatever the wizard's mode.
constexpr int32_t kStandardPrintMode = 1;
}  // namespace

SampleSettingsDialog::SampleSettingsDialog(WizardHost& host, std::string imagePath)
    : ui::Dialog(SampleSettingsTemplate()), host_(host), imagePath_(std::move(imagePath)) {
    for (ui::Notify notification :
         {ui::Notify::SelectionChanged, ui::Notify::DoubleClicked, ui::Notify::CheckChanged}) {
        Bind(kMediaList, notification, [this]() { EnablePrint(); });
    }
}

bool SampleSettingsDialog::OnInitDialog() {
    SetItemText(2053, host_.GetText(124));
    SetItemText(ui::kIdOk, host_.GetText(107));
    SetItemText(ui::kIdCancel, host_.GetText(108));
    SetItemText(kPane, host_.PaneText({{1300, 1304}}));
    // Papers first: the larger a media type's order, the earlier it stands; equal orders keep
    // the driver's order.
    std::vector<DriverMedia> media = host_.KnownDriverMedia();
    const MediaTypeTable& table = host_.MediaTypes();
    std::stable_sort(media.begin(), media.end(), [&](const DriverMedia& a, const DriverMedia& b) {
        return table.OrderOf(a.id) > table.OrderOf(b.id);
    });
    ui::CheckList list(Item(kMediaList));
    for (const DriverMedia& entry : media) {
        list.AddString(entry.name);
        mediaIds_.push_back(entry.id);
    }
    list.SetCurSel(0);
    EnablePrint();
    return true;
}

void SampleSettingsDialog::EnablePrint() {
    ui::CheckList list(Item(kMediaList));
    bool ticked = false;
    for (int i = 0; i < list.Count(); ++i) {
        ticked = ticked || list.IsChecked(i);
    }
    ui::EnableWindow(Item(ui::kIdOk), ticked);
}

void SampleSettingsDialog::OnOK() {
    ui::CheckList list(Item(kMediaList));
    std::vector<SampleJob> jobs;
    const int paperWidth = host_.SamplePaperWidthInches();
    for (int i = 0; i < list.Count() && static_cast<size_t>(i) < mediaIds_.size(); ++i) {
        if (!list.IsChecked(i)) {
            continue;
        }
        SampleJob job;
        job.imagePath = imagePath_;
        job.caption = list.GetItemText(i);
        job.paperWidthInches = paperWidth;
        job.mediaId = mediaIds_[static_cast<size_t>(i)];
        job.printModeIndex = kStandardPrintMode;
        jobs.push_back(job);
    }
    if (!jobs.empty()) {
        host_.PrintSamples(jobs, SampleCaller::SettingsDialog);
    }
}

}  // namespace util
