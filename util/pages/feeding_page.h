// The feeding page (2004): the paper feed adjustment, -70 to 70. The operator sets a range of
// values on a two-thumb slider (or in its two edits), prints up to five samples spread over it,
// and types the value that printed best.
#pragma once

#include <optional>
#include <vector>

#include "util/pages/range_slider.h"
#include "util/pages/sample_image_choice.h"
#include "util/pages/setting_page.h"

namespace util {

class FeedingPage : public SettingPage {
  public:
    explicit FeedingPage(WizardHost& host);

  protected:
    bool OnInitDialog() override;
    void OnShown() override;
    void BeforeLeaving(Leaving how) override;
    void OnPaint(ui::Painter& painter) override;
    void OnMouse(ui::MouseAction action, ui::Point point) override;

  private:
    void OnRangeChanged(RangeSlider::Thumb thumb);
    // A thumb dragged to a value: its edit shows it.
    void OnThumbMoved(RangeSlider::Moved moved);
    // The range ends, on the drawn slider or on the trackbars.
    int ThumbValue(RangeSlider::Thumb thumb) const;
    void MoveThumb(RangeSlider::Thumb thumb, int value);
    // The values a sample print prints, from the two range edits.
    std::vector<int> Candidates() const;
    void ShowCandidates();
    void OnFeedChanged();
    void OnFeedLeft();
    void OnSamplePrint();

    // Placed once the page's window exists; none where the range is set on trackbars.
    std::optional<RangeSlider> range_;
    // What the feed edit shows when it is left empty, and what is stored.
    int lastFeed_ = 0;
    SampleImageChoice imageChoice_;
};

}  // namespace util
