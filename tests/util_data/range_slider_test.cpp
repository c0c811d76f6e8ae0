// The feeding page's two-thumb slider without a window: where its thumbs stand, how a drag moves
// them, and what it draws.
#include "util/pages/range_slider.h"

#include <gtest/gtest.h>

namespace {

using util::RangeSlider;
using Thumb = RangeSlider::Thumb;

// 450 pixels wide, so a thumb travels 440 pixels for 140 values; the groove is at y 82.
constexpr ui::Rect kArea{30, 64, 480, 100};

void ExpectRect(const ui::Rect& rect, int left, int top, int right, int bottom) {
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.top, top);
    EXPECT_EQ(rect.right, right);
    EXPECT_EQ(rect.bottom, bottom);
}

TEST(RangeSliderTest, ThumbsStandWhereTheirValuesAreAndChangeOnlyForANewValue) {
    RangeSlider slider(kArea, -70, 70);
    EXPECT_EQ(slider.Value(Thumb::Lower), -70);
    EXPECT_EQ(slider.Value(Thumb::Upper), 70);
    ExpectRect(slider.ThumbRect(Thumb::Lower), 30, 86, 40, 98);
    ExpectRect(slider.ThumbRect(Thumb::Upper), 470, 66, 480, 78);
    EXPECT_TRUE(slider.SetValue(Thumb::Lower, -3));
    // 30 + 440 * 67 / 140, the division dropping the remainder.
    EXPECT_EQ(slider.ThumbRect(Thumb::Lower).left, 240);
    EXPECT_FALSE(slider.SetValue(Thumb::Lower, -3));
    // Values are held within the range; the end it is held at may be where it stands.
    EXPECT_FALSE(slider.SetValue(Thumb::Upper, 95));
    EXPECT_TRUE(slider.SetValue(Thumb::Upper, -71));
    EXPECT_EQ(slider.Value(Thumb::Upper), -70);
    EXPECT_EQ(slider.ThumbRect(Thumb::Upper).left, 30);
}

TEST(RangeSliderTest, ADragFollowsTheMouseWithinTheAreaAndLagsOnceHeldAtAnEnd) {
    RangeSlider slider(kArea, -70, 70);
    EXPECT_FALSE(slider.MouseMove({100, 90}).has_value());
    // Beside the thumbs, or in the area's last row, nothing is taken.
    EXPECT_FALSE(slider.ButtonDown({200, 90}));
    EXPECT_FALSE(slider.ButtonDown({35, 98}));
    ASSERT_TRUE(slider.ButtonDown({35, 90}));
    auto moved = slider.MouseMove({135, 90});
    ASSERT_TRUE(moved.has_value());
    EXPECT_EQ(moved->thumb, Thumb::Lower);
    EXPECT_EQ(moved->value, -70 + 140 * 100 / 440);
    EXPECT_EQ(slider.ThumbRect(Thumb::Lower).left, 130);
    // Past the right end the edge stops at 470 and the mouse's reference stays at 135 ...
    EXPECT_EQ(slider.MouseMove({600, 90})->value, 70);
    EXPECT_EQ(slider.MouseMove({590, 90})->value, 70);
    // ... so coming back 10 pixels left of it moves the edge 10 pixels.
    EXPECT_EQ(slider.MouseMove({125, 90})->value, -70 + 140 * 430 / 440);
    EXPECT_EQ(slider.ThumbRect(Thumb::Lower).left, 460);
    EXPECT_TRUE(slider.ButtonUp());
    EXPECT_FALSE(slider.ButtonUp());
    EXPECT_FALSE(slider.MouseMove({30, 90}).has_value());

    // Both thumbs on one value: the side of the groove tells which one is taken.
    slider.SetValue(Thumb::Upper, 0);
    slider.SetValue(Thumb::Lower, 0);
    ASSERT_TRUE(slider.ButtonDown({255, 90}));
    EXPECT_EQ(slider.MouseMove({205, 90})->thumb, Thumb::Lower);
    slider.ButtonUp();
    ASSERT_TRUE(slider.ButtonDown({255, 70}));
    EXPECT_EQ(slider.MouseMove({205, 70})->thumb, Thumb::Upper);
}

TEST(RangeSliderTest, TicksUnderAThumbAreDrawnInTheFaceColour) {
    RangeSlider slider(kArea, -70, 70);
    const std::vector<RangeSlider::Line> lines = slider.Lines();
    ASSERT_EQ(lines.size(), 4u + 20u + 10u + 10u);
    // The groove: four lines from 35 to 475 just around the middle.
    EXPECT_EQ(lines[0].from.y, 80);
    EXPECT_EQ(lines[0].from.x, 35);
    EXPECT_EQ(lines[0].to.x, 475);
    EXPECT_EQ(lines[0].colour, ui::kColourButtonShadow);
    EXPECT_EQ(lines[3].from.y, 83);
    EXPECT_EQ(lines[3].colour, ui::kColourButtonHighlight);
    // Tick 0 at x 35 lies inside the lower thumb (30 to 40), tick 9 at 475 inside the upper one.
    EXPECT_EQ(lines[4].from.x, 35);
    EXPECT_EQ(lines[4].colour, ui::kColour3dDarkShadow);  // above the groove
    EXPECT_EQ(lines[5].colour, ui::kColourButtonFace);    // below it
    EXPECT_EQ(lines[22].from.x, 475);
    EXPECT_EQ(lines[22].colour, ui::kColourButtonFace);
    EXPECT_EQ(lines[23].colour, ui::kColour3dDarkShadow);
    // Tick 1 at 35 + 440 / 9 = 83.
    EXPECT_EQ(lines[6].from.x, 83);
    // The lower thumb's tip points up at the groove, from its centre.
    const RangeSlider::Line& tip = lines[34];
    EXPECT_EQ(tip.from.x, 35);
    EXPECT_EQ(tip.from.y, 86);
    EXPECT_EQ(tip.to.x, 30);
    EXPECT_EQ(tip.to.y, 96);
}

}  // namespace
