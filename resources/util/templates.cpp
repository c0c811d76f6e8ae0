#include "resources/util/templates.h"

#include <utility>
#include <vector>

namespace util {

using ui::ControlKind;
using ui::ControlTemplate;
namespace style = ui::style;

namespace {

// A page of the given controls, followed by its message pane and the common buttons.
ui::DialogTemplate Page(int id, std::vector<ControlTemplate> controls, int pane) {
    controls.push_back({ControlKind::MultiLineEdit, pane, 10, 174, 340, 60,
                        style::kReadOnly | style::kVScroll | style::kBorder});
    controls.push_back({ControlKind::PushButton, kPageTopButton, 119, 245, 51, 14, style::kHidden});
    controls.push_back({ControlKind::PushButton, kPageBackButton, 182, 245, 51, 14});
    controls.push_back({ControlKind::PushButton, kPageNextButton, 243, 245, 51, 14});
    controls.push_back({ControlKind::PushButton, kPageExitButton, 308, 245, 51, 14});
    return {id, ui::DialogKind::Child, 360, 260, std::move(controls)};
}

constexpr uint32_t kLabel = style::kNoTabStop;

}  // namespace

const ui::DialogTemplate& ServiceMenuTemplate() {
    static const ui::DialogTemplate page = Page(
        3001,
        {
            {ControlKind::Static, 3000, 20, 16, 320, 14, kLabel, 0, "Choose the service to run:"},
            {ControlKind::CheckBox, 3005, 40, 56, 290, 14},
            {ControlKind::CheckBox, 3001, 40, 80, 290, 14},
        },
        3034);
    return page;
}

const ui::DialogTemplate& DirectionModeTemplate() {
    static const ui::DialogTemplate page =
        Page(3003,
             {
                 {ControlKind::Static, 3035, 20, 12, 320, 12, kLabel},
                 {ControlKind::Static, 3026, 30, 36, 140, 10, kLabel},
                 {ControlKind::CheckBox, 3028, 40, 50, 130, 12},
                 {ControlKind::CheckBox, 3030, 40, 66, 130, 12},
                 {ControlKind::Static, 2047, 190, 36, 140, 10, kLabel},
                 {ControlKind::CheckBox, 3029, 200, 50, 130, 12},
                 {ControlKind::CheckBox, 3031, 200, 66, 130, 12},
                 {ControlKind::CheckBox, 3032, 200, 82, 130, 12, style::kHidden},
             },
             3033);
    return page;
}

const ui::DialogTemplate& GapTemplate() {
    // Ink rows: label, value edit, and the frame where the row's pattern picture is drawn.
    struct Row {
        int label, edit, frame;
    };
    static const ui::DialogTemplate page = [] {
        std::vector<ControlTemplate> controls{
            {ControlKind::Static, 3004, 20, 8, 120, 12, kLabel},
            {ControlKind::Static, 3024, 150, 10, 60, 10, kLabel},
            {ControlKind::DropDownList, 3030, 212, 7, 70, 14},
            {ControlKind::Static, 3038, 290, 10, 50, 10, kLabel},
        };
        const Row rows[] = {{3005, 3012, 3037}, {3007, 3015, 2088}, {3008, 3016, 2089},
                            {3009, 3017, 2090}, {3010, 3018, 2091}, {3011, 3019, 2092}};
        int y = 28;
        for (const Row& row : rows) {
            controls.push_back({ControlKind::Static, row.label, 14, y + 4, 56, 10, kLabel});
            controls.push_back(
                {ControlKind::Edit, row.edit, 72, y + 2, 20, 13, style::kDigitsOnly, 2});
            controls.push_back({ControlKind::Static, row.frame, 98, y, 170, 20, kLabel});
            y += 24;
        }
        // The black/gray row has no place on this printer family's pages.
        controls.push_back({ControlKind::Static, 3006, 14, y, 56, 10, kLabel | style::kHidden});
        controls.push_back(
            {ControlKind::Edit, 3014, 72, y, 20, 13, style::kDigitsOnly | style::kHidden, 2});
        controls.push_back({ControlKind::Static, 3036, 276, 30, 76, 40, kLabel});
        controls.push_back({ControlKind::PushButton, 3013, 276, 74, 76, 16});
        controls.push_back({ControlKind::PushButton, 2076, 276, 130, 76, 16});
        return Page(3002, std::move(controls), 3025);
    }();
    return page;
}

}  // namespace util
