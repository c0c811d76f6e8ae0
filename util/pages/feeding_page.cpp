#include "util/pages/feeding_page.h"

#include <algorithm>
#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/window.h"
#include "resources/util/templates.h"
#include "util/pages/setting_sample.h"
#include "util/settings/edit_value.h"
#include "util/wizard_host.h"

namespace util {

namespace {
constexpr int kTitle = 2033;
constexpr int kRangeBegin = 2031;  // the lower thumb's value
constexpr int kRangeEnd = 2032;    // the upper thumb's value
constexpr int kRangeArea = 2094;
// Where the range is set on two trackbars instead: one for each edit.
constexpr int kBeginTrackbar = 2055;
constexpr int kEndTrackbar = 2056;
constexpr int kCandidateList = 2078;
constexpr int kFeedEdit = 2080;
constexpr int kSamplePrint = 2012;
constexpr int kPane = 2069;
constexpr int32_t kTitleText = 140;
constexpr int kLowestFeed = -70;
constexpr int kHighestFeed = 70;

int EditOf(RangeSlider::Thumb thumb) {
    return thumb == RangeSlider::Thumb::Lower ? kRangeBegin : kRangeEnd;
}

int TrackbarOf(RangeSlider::Thumb thumb) {
    return thumb == RangeSlider::Thumb::Lower ? kBeginTrackbar : kEndTrackbar;
}

int HeldFeed(int value) {
    return std::clamp(value, kLowestFeed, kHighestFeed);
}
}  // namespace

FeedingPage::FeedingPage(WizardHost& host)
    : SettingPage(host,
                  FeedingTemplate(host.GetVariant().sampleImageChoice,
                                  host.GetVariant().feedingRangeOnTrackbars),
                  Header::SettingAndMedia),
      imageChoice_(*this, host, "SampleFeedingR", "SampleFeeding") {
    Bind(kRangeBegin, ui::Notify::Changed, [this]() { OnRangeChanged(RangeSlider::Thumb::Lower); });
    Bind(kRangeEnd, ui::Notify::Changed, [this]() { OnRangeChanged(RangeSlider::Thumb::Upper); });
    Bind(kFeedEdit, ui::Notify::Changed, [this]() { OnFeedChanged(); });
    Bind(kFeedEdit, ui::Notify::FocusLost, [this]() { OnFeedLeft(); });
    Bind(kSamplePrint, ui::Notify::Clicked, [this]() { OnSamplePrint(); });
    for (RangeSlider::Thumb thumb : {RangeSlider::Thumb::Lower, RangeSlider::Thumb::Upper}) {
        Bind(TrackbarOf(thumb), ui::Notify::Scrolled, [this, thumb]() {
            SetItemText(EditOf(thumb), std::to_string(ThumbValue(thumb)));
            ShowCandidates();
        });
    }
}

bool FeedingPage::OnInitDialog() {
    SetCommonTexts(kTitle, kTitleText, kPane, host_.GetVariant().feedingPane);
    SetTexts({{2086, 145},
              {2082, 142},
              {2083, 142},
              {2084, 143},
              {2085, 143},
              {2099, 146},
              {2100, 146},
              {2101, 146},
              {2075, 144},
              {2079, 141},
              {kSamplePrint, 107}});
    imageChoice_.Create();
    if (host_.GetVariant().feedingRangeOnTrackbars) {
        for (int trackbar : {kBeginTrackbar, kEndTrackbar}) {
            ui::Trackbar(Item(trackbar)).SetRange(kLowestFeed, kHighestFeed);
        }
    } else {
        range_.emplace(ItemRect(kRangeArea), kLowestFeed, kHighestFeed);
    }
    // The edits' own change handling puts the thumbs on these values.
    SetItemText(kRangeBegin, std::to_string(kLowestFeed));
    SetItemText(kRangeEnd, std::to_string(kHighestFeed));
    return true;
}

void FeedingPage::OnShown() {
    // The range stays as the operator left it; the feed value starts from the setting's.
    lastFeed_ = host_.Settings().working.Forward();
    SetItemText(kFeedEdit, std::to_string(lastFeed_));
    imageChoice_.Shown();
}

void FeedingPage::OnPaint(ui::Painter& painter) {
    SettingPage::OnPaint(painter);
    if (!range_) {
        return;
    }
    for (const RangeSlider::Line& line : range_->Lines()) {
        painter.Line(line.from, line.to, ui::SystemColour(line.colour));
    }
}

void FeedingPage::OnMouse(ui::MouseAction action, ui::Point point) {
    if (!range_) {
        return;
    }
    switch (action) {
        case ui::MouseAction::LeftDown:
            if (range_->ButtonDown(point)) {
                SetCapture();
            }
            break;
        case ui::MouseAction::Move:
            if (const auto moved = range_->MouseMove(point)) {
                Invalidate();
                OnThumbMoved(*moved);
            }
            break;
        case ui::MouseAction::LeftUp:
            if (range_->ButtonUp()) {
                ReleaseCapture();
            }
            break;
    }
}

void FeedingPage::OnThumbMoved(RangeSlider::Moved moved) {
    // The edit's change handling leaves the dragged thumb alone.
    SetItemText(EditOf(moved.thumb), std::to_string(moved.value));
    ShowCandidates();
}

int FeedingPage::ThumbValue(RangeSlider::Thumb thumb) const {
    return range_ ? range_->Value(thumb) : ui::Trackbar(Item(TrackbarOf(thumb))).GetPos();
}

void FeedingPage::MoveThumb(RangeSlider::Thumb thumb, int value) {
    if (!range_) {
        ui::Trackbar(Item(TrackbarOf(thumb))).SetPos(value);
    } else if (range_->SetValue(thumb, value)) {
        Invalidate();
    }
}

// Every change is held within the range at once, so leaving an edit has nothing to correct.
void FeedingPage::OnRangeChanged(RangeSlider::Thumb thumb) {
    if (range_ && range_->Dragging()) {
        return;
    }
    const int edit = EditOf(thumb);
    const std::string text = GetItemText(edit);
    if (!IsSignedNumberText(text)) {
        SetItemText(edit, std::to_string(ThumbValue(thumb)));
        ShowCandidates();
        return;
    }
    if (!text.empty()) {
        const int value = EditValue(text);
        const int held = HeldFeed(value);
        if (held != value) {
            SetItemText(edit, std::to_string(held));
        }
        MoveThumb(thumb, held);
    }
    ShowCandidates();
}

std::vector<int> FeedingPage::Candidates() const {
    return FeedCandidates(EditValue(GetItemText(kRangeBegin)), EditValue(GetItemText(kRangeEnd)));
}

void FeedingPage::ShowCandidates() {
    std::string list;
    for (int value : Candidates()) {
        list += (list.empty() ? "" : ", ") + std::to_string(value);
    }
    SetItemText(kCandidateList, list);
}

void FeedingPage::OnFeedChanged() {
    const std::string text = GetItemText(kFeedEdit);
    if (!IsSignedNumberText(text)) {
        SetItemText(kFeedEdit, std::to_string(lastFeed_));
        return;
    }
    if (text.empty()) {
        return;
    }
    const int value = EditValue(text);
    lastFeed_ = HeldFeed(value);
    if (lastFeed_ != value) {
        SetItemText(kFeedEdit, std::to_string(lastFeed_));
    }
}

// Every change is held within the range at once; only an empty edit needs its value back.
void FeedingPage::OnFeedLeft() {
    if (GetItemText(kFeedEdit).empty()) {
        SetItemText(kFeedEdit, std::to_string(lastFeed_));
    }
}

void FeedingPage::OnSamplePrint() {
    const int paperWidth = host_.SamplePaperWidthInches();
    std::string image;
    if (!imageChoice_.Choose(image)) {
        return;
    }
    std::vector<SampleJob> jobs;
    for (int candidate : Candidates()) {
        jobs.push_back(
            SettingSample(host_, image, paperWidth, kTitleText, kSampleForward, candidate));
    }
    const ui::WaitCursor waiting;
    host_.PrintSamples(jobs, SampleCaller::FeedingPage);
}

void FeedingPage::BeforeLeaving(Leaving how) {
    // The last valid value is what the edit shows, or what it shows again once left empty.
    if (how != Leaving::Exit) {
        host_.Settings().working.SetForward(static_cast<int8_t>(lastFeed_));
    }
}

}  // namespace util
