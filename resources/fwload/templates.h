// Dialog templates of the firmware plug-in.
#pragma once

#include "platform/ui/dialog.h"

namespace fwload {

const ui::DialogTemplate& DownloadTemplate();  // 1003, the page
const ui::DialogTemplate& VersionTemplate();   // 1001, modal
const ui::DialogTemplate& ProgressTemplate();  // 1004, modeless

}  // namespace fwload
