#include "util/pages/gap_page.h"

#include <string>

#include "common/raw_job.h"
#include "common/service_log.h"
#include "platform/ui/controls.h"
#include "platform/ui/message_box.h"
#include "resources/util/templates.h"
#include "util/settings/edit_value.h"
#include "util/wizard_host.h"

namespace util {

namespace {

constexpr int kTitle = 3004;
constexpr int kPlatenGapList = 3030;
constexpr int kPatternLabel = 3038;
constexpr int kPrintPattern = 3013;
constexpr int kRegister = 2076;
constexpr int kPane = 3025;
// Frames of the black row and of the five colour rows, where their pictures are drawn.
constexpr int kBlackFrame = 3037;
constexpr int kColourFrames[] = {2088, 2089, 2090, 2091, 2092};

constexpr int32_t kNotReadyText = 303;
constexpr int32_t kRetryText = 302;

}  // namespace

GapPage::GapPage(WizardHost& host, int patternCode)
    : WizardPage(host, host.GetVariant().gapTemplate()),
      pattern_(GapPatternOf(patternCode).value_or(kGapPatterns.front())) {
    for (int edit : kGapValueEdits) {
        Bind(edit, ui::Notify::Changed, [this]() { OnValueChanged(); });
        Bind(edit, ui::Notify::FocusLost, [this]() { OnValueLeft(); });
        Bind(edit, ui::Notify::FocusGained, [this, edit]() { ui::Edit(Item(edit)).SelectAll(); });
    }
    Bind(kPrintPattern, ui::Notify::Clicked, [this]() { OnPrintPattern(); });
    Bind(kRegister, ui::Notify::Clicked, [this]() { OnRegister(); });
}

bool GapPage::OnInitDialog() {
    const Variant& variant = host_.GetVariant();
    SetButtonTexts();
    // The title names the direction and mode: the text of the pattern code.
    SetItemText(kTitle, host_.GetText(pattern_.code));
    SetTexts({{3005, 231},
              {3006, 232},
              {3007, 233},
              {3008, 234},
              {3009, 235},
              {3010, 236},
              {3011, 237},
              {3036, 238},
              {3024, 240},
              {kPrintPattern, 218},
              {kRegister, 239}});
    ui::ComboBox platenGaps(Item(kPlatenGapList));
    for (int32_t text : variant.platenGapTexts) {
        platenGaps.AddString(host_.GetText(text));
    }
    platenGaps.SetCurSel(variant.firstPlatenGap);
    if (pattern_.unidirectional) {
        for (int control : variant.blackRowControls) {
            ui::ShowWindow(Item(control), ui::kHide);
        }
    }
    SetItemText(kPatternLabel, pattern_.label);
    for (int edit : kGapValueEdits) {
        ui::Edit(Item(edit)).SetLimit(2);
    }
    ResetValues();
    SetPane(kPane,
            pattern_.unidirectional ? variant.unidirectionalGapPane : variant.bidirectionalGapPane);
    return true;
}

void GapPage::OnPaint(ui::Painter& painter) {
    const ui::ImageList* images = host_.ImageListOf(pattern_.imageList);
    if (images == nullptr) {
        return;
    }
    auto draw = [&](int image, int frame) {
        const ui::Rect rect = ItemRect(frame);
        painter.DrawImage(*images, image, {rect.left, rect.top});
    };
    if (!pattern_.unidirectional) {
        draw(0, kBlackFrame);
    }
    for (int i = 0; i < 5; ++i) {
        draw(i + 1, kColourFrames[i]);
    }
}

void GapPage::OnValueChanged() {
    // Every edit that holds text is kept within range; the correction's own change arrives
    // here again and finds the value in range.
    for (size_t i = 0; i < kGapValueEdits.size(); ++i) {
        const std::string text = GetItemText(kGapValueEdits[i]);
        if (text.empty()) {
            continue;
        }
        const int value = EditValue(text);
        const int corrected = ClampGapValue(value);
        stored_[i] = corrected;
        if (corrected != value) {
            SetItemText(kGapValueEdits[i], std::to_string(corrected));
        }
    }
}

void GapPage::OnValueLeft() {
    for (size_t i = 0; i < kGapValueEdits.size(); ++i) {
        const std::string text = GetItemText(kGapValueEdits[i]);
        if (text.empty()) {
            SetItemText(kGapValueEdits[i], std::to_string(stored_[i]));
        } else if (const int value = EditValue(text); ClampGapValue(value) != value) {
            SetItemText(kGapValueEdits[i], std::to_string(ClampGapValue(value)));
        }
    }
}

GapValues GapPage::EditValues() const {
    GapValues values{};
    for (size_t i = 0; i < kGapValueEdits.size(); ++i) {
        values[i] = EditValue(GetItemText(kGapValueEdits[i]));
    }
    return values;
}

int GapPage::PlatenGap() const {
    const int platenGap = ui::ComboBox(Item(kPlatenGapList)).GetCurSel();
    return platenGap < 0 ? kNoPlatenGap : platenGap;
}

ByteBlock GapPage::Block(HeadGapBlockKind kind) const {
    return host_.GetVariant().headGapBlock(kind, pattern_.code, PlatenGap(), EditValues());
}

ServiceDetails GapPage::LogDetails() const {
    std::string values;
    for (int value : EditValues()) {
        values += (values.empty() ? "" : ",") + std::to_string(value);
    }
    return {{"pattern", std::to_string(pattern_.code)},
            {"platen-gap", std::to_string(PlatenGap())},
            {"values", values}};
}

bool GapPage::Send(const ByteBlock& block) const {
    return SendRawCommandJob(host_.PrinterName(), block.data(),
                             static_cast<uint32_t>(block.size()));
}

void GapPage::ResetValues() {
    for (size_t i = 0; i < kGapValueEdits.size(); ++i) {
        stored_[i] = kGapValueDefault;
        SetItemText(kGapValueEdits[i], std::to_string(kGapValueDefault));
    }
}

void GapPage::OnPrintPattern() {
    if (!host_.PrinterReady(1)) {
        ui::AppMessageBox(host_.GetText(kNotReadyText), ui::kMbIconStop);
        return;
    }
    if (!Send(Block(HeadGapBlockKind::Test))) {
        ui::AppMessageBox(host_.GetText(kNotReadyText), ui::kMbIconExclamation);
        return;
    }
    ResetValues();
}

void GapPage::OnRegister() {
    if (!host_.PrinterReady(1)) {
        ui::AppMessageBox(host_.GetText(kNotReadyText), ui::kMbIconStop);
        return;
    }
    const ByteBlock block = Block(HeadGapBlockKind::Store);
    const ServiceDetails details = LogDetails();
    while (!Send(block)) {
        if (ui::AppMessageBox(host_.GetText(kRetryText),
                              ui::kMbOkCancel | ui::kMbIconInformation) != ui::kIdOkResult) {
            return;
        }
    }
    LogServiceAction(host_.PrinterName(), host_.DriverName(), kActionHeadGapRegistration, details,
                     kResultSent);
    ResetValues();
}

void GapPage::BeforeLeaving(Leaving) {
    // Whatever becomes of it, the printer is told the adjustment is left.
    const ByteBlock leave = HeadGapLeaveBlock();
    Send(leave);
}

}  // namespace util
