// A slider with two thumbs for a range of values, drawn by its page inside a rectangle of the
// page's client area: a groove across the middle, ten ticks above and below it, the upper thumb
// above the groove and the lower thumb below it. This is its geometry, its values and its mouse
// dragging; the page paints the lines it lists and forwards the mouse to it.
#pragma once

#include <optional>
#include <vector>

#include "platform/ui/paint.h"

namespace util {

class RangeSlider {
  public:
    enum class Thumb { Lower, Upper };

    // A line of the drawing: from `from` up to, not including, `to`, in a system colour.
    struct Line {
        ui::Point from;
        ui::Point to;
        int colour;  // a system colour index (ui::kColour...)
    };

    // A thumb moved by the mouse and the value it stands for now.
    struct Moved {
        Thumb thumb;
        int value;
    };

    // Both thumbs start at the ends of the range. An area no wider than a thumb is widened to
    // one pixel more, a range of less than two values to two.
    RangeSlider(ui::Rect area, int minimum, int maximum);

    int Value(Thumb thumb) const;
    // Puts the thumb on the value (held within the range). False when it stood there already:
    // nothing needs drawing again.
    bool SetValue(Thumb thumb, int value);

    // The thumb's rectangle: 10 pixels wide, the upper one between the top and the groove, the
    // lower one between the groove and the bottom.
    ui::Rect ThumbRect(Thumb thumb) const;
    // The left edge of a thumb that stands on the value.
    int ThumbLeftOf(int value) const;

    // The left button went down at the point: a thumb under it (the lower one first) is dragged
    // from then on. True when a drag began; the page then captures the mouse.
    bool ButtonDown(ui::Point point);
    // A move while dragging: the thumb follows the mouse, its left edge kept within the area; the
    // thumb and its new value. Nothing when no thumb is dragged.
    std::optional<Moved> MouseMove(ui::Point point);
    // The drag ends; true when one was going on (the page then releases the mouse).
    bool ButtonUp();
    bool Dragging() const { return dragged_.has_value(); }

    // Everything the slider draws, in drawing order: the groove, the ticks, the thumbs.
    std::vector<Line> Lines() const;

  private:
    static constexpr int kThumbWidth = 10;

    int Mid() const { return area_.top + (area_.bottom - area_.top) / 2; }
    int& LeftOf(Thumb thumb) { return thumb == Thumb::Lower ? lowerLeft_ : upperLeft_; }
    int LeftOf(Thumb thumb) const { return thumb == Thumb::Lower ? lowerLeft_ : upperLeft_; }
    int ValueAtLeft(int left) const;
    void AddTicks(std::vector<Line>& lines) const;
    void AddThumb(std::vector<Line>& lines, Thumb thumb) const;

    static ui::Rect Usable(ui::Rect area);

    ui::Rect area_;
    int minimum_;
    int maximum_;
    int lowerValue_;
    int upperValue_;
    // Thumbs are placed by their left edge; a drag moves the edge pixel by pixel and the value
    // follows it.
    int lowerLeft_;
    int upperLeft_;
    std::optional<Thumb> dragged_;
    int lastMouseX_ = 0;
};

}  // namespace util
