#include "util/pages/range_slider.h"

#include <algorithm>

namespace util {

namespace {
constexpr int kTicks = 10;
// The groove and the ticks keep this far from the area's sides.
constexpr int kInset = 5;
}  // namespace

RangeSlider::RangeSlider(ui::Rect area, int minimum, int maximum)
    : area_(Usable(area)),
      minimum_(minimum),
      maximum_(std::max(maximum, minimum + 1)),
      lowerValue_(minimum),
      upperValue_(maximum_),
      lowerLeft_(ThumbLeftOf(minimum)),
      upperLeft_(ThumbLeftOf(maximum_)) {}

ui::Rect RangeSlider::Usable(ui::Rect area) {
    area.right = std::max(area.right, area.left + kThumbWidth + 1);
    return area;
}

int RangeSlider::Value(Thumb thumb) const {
    return thumb == Thumb::Lower ? lowerValue_ : upperValue_;
}

int RangeSlider::ThumbLeftOf(int value) const {
    return area_.left +
           ((area_.right - area_.left - kThumbWidth) * (value - minimum_)) / (maximum_ - minimum_);
}

int RangeSlider::ValueAtLeft(int left) const {
    return minimum_ +
           ((maximum_ - minimum_) * (left - area_.left)) / (area_.right - area_.left - kThumbWidth);
}

bool RangeSlider::SetValue(Thumb thumb, int value) {
    value = std::clamp(value, minimum_, maximum_);
    int& stored = thumb == Thumb::Lower ? lowerValue_ : upperValue_;
    if (stored == value) {
        return false;
    }
    stored = value;
    LeftOf(thumb) = ThumbLeftOf(value);
    return true;
}

ui::Rect RangeSlider::ThumbRect(Thumb thumb) const {
    const int left = LeftOf(thumb);
    if (thumb == Thumb::Upper) {
        return {left, area_.top + 2, left + kThumbWidth, Mid() - 4};
    }
    return {left, Mid() + 4, left + kThumbWidth, area_.bottom - 2};
}

bool RangeSlider::ButtonDown(ui::Point point) {
    if (!area_.Contains(point)) {
        return false;
    }
    if (ThumbRect(Thumb::Lower).Contains(point)) {
        dragged_ = Thumb::Lower;
    } else if (ThumbRect(Thumb::Upper).Contains(point)) {
        dragged_ = Thumb::Upper;
    } else {
        return false;
    }
    lastMouseX_ = point.x;
    return true;
}

std::optional<RangeSlider::Moved> RangeSlider::MouseMove(ui::Point point) {
    if (!dragged_) {
        return std::nullopt;
    }
    int& left = LeftOf(*dragged_);
    const int wanted = left + point.x - lastMouseX_;
    const int lowest = area_.left;
    const int highest = area_.right - kThumbWidth;
    // While the edge is held at a side, the mouse's reference point stays where it was.
    if (wanted < lowest) {
        left = lowest;
    } else if (wanted > highest) {
        left = highest;
    } else {
        left = wanted;
        lastMouseX_ = point.x;
    }
    const int value = ValueAtLeft(left);
    (*dragged_ == Thumb::Lower ? lowerValue_ : upperValue_) = value;
    return Moved{*dragged_, value};
}

bool RangeSlider::ButtonUp() {
    const bool dragging = dragged_.has_value();
    dragged_.reset();
    return dragging;
}

std::vector<RangeSlider::Line> RangeSlider::Lines() const {
    std::vector<Line> lines;
    const int mid = Mid();
    const int grooveLeft = area_.left + kInset;
    const int grooveRight = area_.right - kInset;
    const int grooveColours[] = {ui::kColourButtonShadow, ui::kColour3dDarkShadow,
                                 ui::kColour3dLight, ui::kColourButtonHighlight};
    for (int i = 0; i < 4; ++i) {
        const int y = mid - 2 + i;
        lines.push_back({{grooveLeft, y}, {grooveRight, y}, grooveColours[i]});
    }
    AddTicks(lines);
    AddThumb(lines, Thumb::Upper);
    AddThumb(lines, Thumb::Lower);
    return lines;
}

void RangeSlider::AddTicks(std::vector<Line>& lines) const {
    const int mid = Mid();
    // A tick hidden by a thumb is drawn in the face colour, so that it does not show through.
    auto colourBeside = [this](Thumb thumb, int x) {
        const int left = LeftOf(thumb);
        return x > left && x < left + kThumbWidth ? ui::kColourButtonFace : ui::kColour3dDarkShadow;
    };
    const int span = area_.right - area_.left - 2 * kInset;
    for (int k = 0; k < kTicks; ++k) {
        const int x = area_.left + kInset + (k * span) / (kTicks - 1);
        lines.push_back({{x, mid - 6}, {x, mid - 3}, colourBeside(Thumb::Upper, x)});
        lines.push_back({{x, mid + 6}, {x, mid + 2}, colourBeside(Thumb::Lower, x)});
    }
}

void RangeSlider::AddThumb(std::vector<Line>& lines, Thumb thumb) const {
    const ui::Rect rect = ThumbRect(thumb);
    const int l = rect.left;
    const int r = l + kThumbWidth;
    const int w = kThumbWidth;
    const int cx = (l + r) / 2;
    const int t = rect.top;
    const int b = rect.bottom;
    // A pentagon whose tip points at the groove: lit on the left, shaded on the right, with a
    // second outline one pixel inside.
    if (thumb == Thumb::Lower) {
        lines.push_back({{cx, t}, {l, t + w}, ui::kColourButtonHighlight});
        lines.push_back({{l, t + w}, {l, b}, ui::kColourButtonHighlight});
        lines.push_back({{cx, t}, {r, t + w}, ui::kColour3dDarkShadow});
        lines.push_back({{r, t + w}, {r, b}, ui::kColour3dDarkShadow});
        lines.push_back({{l, b}, {r, b}, ui::kColour3dDarkShadow});
        lines.push_back({{cx, t + 1}, {l + 1, t + w}, ui::kColour3dLight});
        lines.push_back({{l + 1, t + w}, {l + 1, b - 1}, ui::kColour3dLight});
        lines.push_back({{cx, t + 1}, {r - 1, t + w}, ui::kColourButtonShadow});
        lines.push_back({{r - 1, t + w}, {r - 1, b - 1}, ui::kColourButtonShadow});
        lines.push_back({{l + 1, b - 1}, {r, b - 1}, ui::kColourButtonShadow});
        return;
    }
    lines.push_back({{cx, b}, {l, b - w}, ui::kColourButtonHighlight});
    lines.push_back({{l, b - w}, {l, t}, ui::kColourButtonHighlight});
    lines.push_back({{l, t}, {r, t}, ui::kColourButtonHighlight});
    lines.push_back({{cx, b}, {r, b - w}, ui::kColour3dDarkShadow});
    lines.push_back({{r, b - w}, {r, t}, ui::kColour3dDarkShadow});
    lines.push_back({{cx, b - 1}, {l + 1, b - w}, ui::kColourButtonHighlight});
    lines.push_back({{l + 1, b - w}, {l + 1, t + 1}, ui::kColourButtonHighlight});
    lines.push_back({{l + 1, t + 1}, {r - 1, t + 1}, ui::kColourButtonHighlight});
    lines.push_back({{cx, b - 1}, {r - 1, b - w}, ui::kColour3dDarkShadow});
    lines.push_back({{r - 1, b - w}, {r - 1, t + 1}, ui::kColour3dDarkShadow});
}

}  // namespace util
