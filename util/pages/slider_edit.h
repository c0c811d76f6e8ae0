// A trackbar and a number edit that show one value. Moving the slider writes its position into
// the edit; a number typed into the edit is held within the range (the held value replaces the
// text) and the slider follows it at once; an edit left empty gets the slider's position back.
// What a page stores is always the slider's position.
#pragma once

#include "platform/ui/dialog.h"

namespace util {

class SliderEdit {
  public:
    struct Rules {
        int minimum;
        int maximum;
        // The edit takes any text: one holding more than an optional leading '-' and digits is
        // replaced by the slider's position.
        bool checkCharacters;
        // The end of a drag writes the position into the edit too.
        bool editFollowsRelease;
    };

    SliderEdit(ui::Dialog& page, int slider, int edit, Rules rules);

    // At page creation.
    void Create();
    // Slider and edit show the value.
    void Show(int value);
    // The slider's position.
    int Value() const;

  private:
    void ShowPositionInEdit();
    void OnEditChanged();
    void OnEditLeft();
    // The value of a non-empty edit, held within the range and written back when it was not.
    int TakeEditValue(const std::string& text);

    ui::Dialog& page_;
    int slider_;
    int edit_;
    Rules rules_;
};

}  // namespace util
