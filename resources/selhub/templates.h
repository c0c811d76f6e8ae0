// Dialog templates of the selection hub, by template number.
#pragma once

#include "platform/ui/dialog.h"

namespace selhub {

const ui::DialogTemplate& MainFrameTemplate();  // 102
const ui::DialogTemplate& SelectTemplate();     // 1000
const ui::DialogTemplate& LoadingTemplate();    // 1001
const ui::DialogTemplate& VersionTemplate();    // 100

// Icon 128, the program's icon.
const char* const* ProgramIcon();

}  // namespace selhub
