#include "resources/fwload/templates.h"

namespace fwload {

using ui::ControlKind;
using ui::DialogKind;
namespace style = ui::style;

const ui::DialogTemplate& DownloadTemplate() {
    static const ui::DialogTemplate page{
        1003,
        DialogKind::Child,
        360,
        260,
        {
            {ControlKind::Static, 1018, 20, 24, 320, 10, style::kNoTabStop},
            {ControlKind::Static, 1010, 20, 38, 240, 12, style::kNoTabStop | style::kBorder},
            {ControlKind::PushButton, 1007, 268, 37, 72, 14},
            {ControlKind::PushButton, 1008, 20, 70, 150, 20},
            {ControlKind::PushButton, 1019, 190, 70, 150, 20},
            {ControlKind::MultiLineEdit, 1022, 10, 174, 340, 60,
             style::kReadOnly | style::kVScroll | style::kBorder | style::kMessagePane},
            {ControlKind::PushButton, 1020, 121, 245, 51, 14, style::kHidden | style::kDisabled},
            {ControlKind::PushButton, 1002, 182, 245, 51, 14},
            {ControlKind::PushButton, 1001, 243, 245, 51, 14, style::kDefault},
            {ControlKind::PushButton, 1000, 308, 245, 51, 14, style::kCancel},
        }};
    return page;
}

const ui::DialogTemplate& VersionTemplate() {
    static const ui::DialogTemplate box{
        1001,
        DialogKind::CaptionBox,
        180,
        78,
        {
            {ControlKind::Static, 1015, 12, 14, 76, 10, style::kNoTabStop},
            {ControlKind::Static, 1013, 92, 14, 76, 10, style::kNoTabStop},
            {ControlKind::Static, 1016, 12, 32, 76, 10, style::kNoTabStop},
            {ControlKind::Static, 1014, 92, 32, 76, 10, style::kNoTabStop},
            {ControlKind::PushButton, 1, 65, 54, 50, 14, style::kDefault},
        }};
    return box;
}

const ui::DialogTemplate& ProgressTemplate() {
    static const ui::DialogTemplate box{
        1004,
        DialogKind::CaptionBox,
        220,
        82,
        {
            {ControlKind::Static, 1021, 10, 8, 200, 20, style::kNoTabStop},
            {ControlKind::ProgressBar, 1012, 10, 34, 200, 12},
            {ControlKind::PushButton, 2, 85, 58, 50, 14},
        }};
    return box;
}

}  // namespace fwload
