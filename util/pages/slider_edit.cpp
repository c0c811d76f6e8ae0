#include "util/pages/slider_edit.h"

#include <algorithm>
#include <string>

#include "platform/ui/controls.h"
#include "util/settings/edit_value.h"

namespace util {

SliderEdit::SliderEdit(ui::Dialog& page, int slider, int edit, Rules rules)
    : page_(page), slider_(slider), edit_(edit), rules_(rules) {
    page_.Bind(slider_, ui::Notify::Scrolled, [this]() { ShowPositionInEdit(); });
    if (rules_.editFollowsRelease) {
        page_.Bind(slider_, ui::Notify::ReleasedCapture, [this]() { ShowPositionInEdit(); });
    }
    page_.Bind(edit_, ui::Notify::Changed, [this]() { OnEditChanged(); });
    page_.Bind(edit_, ui::Notify::FocusLost, [this]() { OnEditLeft(); });
}

void SliderEdit::Create() {
    ui::Trackbar slider(page_.Item(slider_));
    slider.SetRange(rules_.minimum, rules_.maximum);
    // A tick at every tenth of the range, rather than at every value.
    slider.SetTicFrequency(std::max(1, (rules_.maximum - rules_.minimum) / 10));
}

void SliderEdit::Show(int value) {
    ui::Trackbar(page_.Item(slider_)).SetPos(value);
    page_.SetItemText(edit_, std::to_string(value));
}

int SliderEdit::Value() const {
    return ui::Trackbar(page_.Item(slider_)).GetPos();
}

void SliderEdit::ShowPositionInEdit() {
    page_.SetItemText(edit_, std::to_string(Value()));
}

int SliderEdit::TakeEditValue(const std::string& text) {
    const int value = EditValue(text);
    const int held = std::clamp(value, rules_.minimum, rules_.maximum);
    if (held != value) {
        page_.SetItemText(edit_, std::to_string(held));
    }
    return held;
}

void SliderEdit::OnEditChanged() {
    const std::string text = page_.GetItemText(edit_);
    if (rules_.checkCharacters && !IsSignedNumberText(text)) {
        ShowPositionInEdit();
        return;
    }
    if (!text.empty()) {
        ui::Trackbar(page_.Item(slider_)).SetPos(TakeEditValue(text));
    }
}

void SliderEdit::OnEditLeft() {
    const std::string text = page_.GetItemText(edit_);
    if (text.empty()) {
        ShowPositionInEdit();
        return;
    }
    ui::Trackbar(page_.Item(slider_)).SetPos(TakeEditValue(text));
}

}  // namespace util
