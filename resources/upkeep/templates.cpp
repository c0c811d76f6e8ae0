#include "resources/upkeep/templates.h"

namespace upkeep {

using ui::ControlKind;
namespace style = ui::style;

// The page's common buttons and message pane stand one unit further left than on other pages.
const ui::DialogTemplate& PowerCleanTemplate() {
    static const ui::DialogTemplate page{
        3000,
        ui::DialogKind::Child,
        360,
        260,
        {
            {ControlKind::Static, 3003, 20, 20, 320, 12, style::kNoTabStop | style::kHeading},
            {ControlKind::PushButton, 3002, 110, 90, 140, 20},
            {ControlKind::MultiLineEdit, 3031, 9, 174, 340, 60,
             style::kReadOnly | style::kVScroll | style::kBorder | style::kMessagePane},
            {ControlKind::PushButton, 1003, 118, 245, 51, 14, style::kHidden},
            {ControlKind::PushButton, 1002, 181, 245, 51, 14},
            {ControlKind::PushButton, 1001, 242, 245, 51, 14, style::kDefault},
            {ControlKind::PushButton, 1000, 307, 245, 51, 14, style::kCancel},
        }};
    return page;
}

}  // namespace upkeep
