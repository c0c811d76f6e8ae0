#include "resources/selhub/templates.h"

#include "resources/selhub/icon128.xpm"

namespace selhub {

using ui::ControlKind;
using ui::DialogKind;
namespace style = ui::style;

const ui::DialogTemplate& MainFrameTemplate() {
    // The main window has no controls: it is resized to hold whichever page it shows.
    static const ui::DialogTemplate main{102, DialogKind::Main, 360, 260, {}};
    return main;
}

const ui::DialogTemplate& SelectTemplate() {
    static const ui::DialogTemplate page{
        1000,
        DialogKind::Child,
        360,
        260,
        {
            {ControlKind::Static, 1005, 20, 24, 320, 10, style::kNoTabStop},
            {ControlKind::DropDownList, 1003, 20, 36, 320, 14},
            {ControlKind::Static, 1006, 20, 70, 320, 10, style::kNoTabStop},
            {ControlKind::DropDownList, 1004, 20, 82, 320, 14},
            {ControlKind::MultiLineEdit, 1007, 10, 174, 340, 60,
             style::kReadOnly | style::kVScroll | style::kBorder | style::kMessagePane},
            {ControlKind::PushButton, 1002, 182, 245, 51, 14, style::kHidden},
            {ControlKind::PushButton, 1001, 243, 245, 51, 14, style::kDefault},
            {ControlKind::PushButton, 1000, 308, 245, 51, 14, style::kCancel},
        }};
    return page;
}

const ui::DialogTemplate& LoadingTemplate() {
    static const ui::DialogTemplate notice{
        1001,
        DialogKind::NoticePopup,
        123,
        36,
        {
            {ControlKind::Static, 1011, 4, 13, 115, 10, style::kCenter | style::kNoTabStop},
        }};
    return notice;
}

const ui::DialogTemplate& VersionTemplate() {
    static const ui::DialogTemplate about{
        100,
        DialogKind::Popup,
        235,
        155,
        {
            {ControlKind::Icon, -1, 10, 10, 21, 20, style::kNoTabStop},
            {ControlKind::Static, 1010, 40, 10, 185, 10, style::kNoTabStop},
            {ControlKind::Static, 1009, 40, 24, 185, 10, style::kNoTabStop},
            {ControlKind::MultiLineEdit, 1008, 10, 42, 215, 85,
             style::kVScroll | style::kAutoHScroll | style::kBorder},
            {ControlKind::PushButton, 1, 92, 134, 50, 14, style::kDefault},
        }};
    return about;
}

const char* const* ProgramIcon() {
    return icon128_xpm;
}

}  // namespace selhub
