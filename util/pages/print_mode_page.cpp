#include "util/pages/print_mode_page.h"

#include <array>

#include "platform/ui/controls.h"
#include "resources/util/templates.h"
#include "util/wizard_host.h"

namespace util {

namespace {

constexpr int kModeList = 2057;
constexpr int kSamplePrint = 2012;
constexpr int kPane = 2072;

// The four print modes in list order, by the host's print mode index.
struct PrintModeRow {
    int32_t flag;
    int32_t text;
    uint16_t modeCode;
    uint16_t modeLevel;
};
constexpr std::array<PrintModeRow, 4> kPrintModes{{
    {2, 171, 0, 2},
    {1, 172, 0, 1},
    {4, 173, 6, 0},
    {8, 174, 15, 0},
}};

}  // namespace

PrintModePage::PrintModePage(WizardHost& host)
    : SettingPage(host, PrintModeTemplate(host.GetVariant().sampleImageChoice),
                  Header::SettingAndMedia),
      imageChoice_(*this, host, "SamplePrintModeR", "SamplePrintMode") {
    Bind(kSamplePrint, ui::Notify::Clicked, [this]() { OnSamplePrint(); });
}

bool PrintModePage::OnInitDialog() {
    SetCommonTexts(2047, 170, kPane, {{1550, 1559}});
    SetTexts({{2075, 122}, {kSamplePrint, 107}});
    imageChoice_.Create();
    return true;
}

void PrintModePage::OnShown() {
    ui::ComboBox list(Item(kModeList));
    list.ResetContent();
    const int32_t allowed = host_.Store().ModesOf(host_.Settings().record.MediaId());
    int current = 0;
    for (size_t index = 0; index < kPrintModes.size(); ++index) {
        const PrintModeRow& mode = kPrintModes[index];
        if ((mode.flag & allowed) != mode.flag) {
            continue;
        }
        const int entry = list.AddString(host_.GetText(mode.text));
        list.SetItemData(entry, static_cast<uintptr_t>(mode.flag));
        if (host_.PrintMode() == static_cast<int32_t>(index)) {
            current = entry;
        }
    }
    list.SetCurSel(current);
    imageChoice_.Shown();
}

int32_t PrintModePage::SelectedFlag() const {
    ui::ComboBox list(Item(kModeList));
    const int selected = list.GetCurSel();
    return selected < 0 ? 0 : static_cast<int32_t>(list.GetItemData(selected));
}

void PrintModePage::TakeSelectedMode() {
    const int32_t index = PrintModeIndexOfFlag(SelectedFlag());
    if (index < 0) {
        return;
    }
    const PrintModeRow& mode = kPrintModes[static_cast<size_t>(index)];
    host_.SetPrintMode(index);
    host_.Settings().record.SetModeCode(mode.modeCode);
    host_.Settings().record.SetModeLevel(mode.modeLevel);
}

void PrintModePage::BeforeLeaving(Leaving how) {
    if (how == Leaving::Exit) {
        return;
    }
    const int32_t flag = SelectedFlag();
    // A new setting takes the driver's record of the media in the chosen mode. Back writes the
    // mode into the record before loading it, Next after; both leave the mode's own code and
    // level, so that a setting saved after Next reads back in the mode chosen here.
    auto loadBase = [&]() {
        if (host_.noSettings && flag != 0) {
            host_.Store().LoadBase(host_.Settings().record.MediaId(), flag);
        }
    };
    if (how == Leaving::Back) {
        TakeSelectedMode();
        loadBase();
    } else {
        loadBase();
        TakeSelectedMode();
    }
}

void PrintModePage::OnSamplePrint() {
    const int32_t index = PrintModeIndexOfFlag(SelectedFlag());
    if (index < 0) {
        return;  // no mode the media allows: nothing to print
    }
    const int paperWidth = host_.SamplePaperWidthInches();
    std::string image;
    if (!imageChoice_.Choose(image)) {
        return;
    }
    const UserSettings& settings = host_.Settings();
    SampleJob job;
    job.imagePath = image;
    job.caption = host_.GetText(kPrintModes[static_cast<size_t>(index)].text);
    job.paperWidthInches = paperWidth;
    job.mediaId = settings.record.MediaId();
    job.printModeIndex = index;
    job.mediaValues = SampleMediaValues(settings.working, settings.record);
    host_.PrintSamples({job}, SampleCaller::PrintModePage);
}

}  // namespace util
