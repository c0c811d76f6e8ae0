// Dialog templates of the power-cleaning plug-in.
#pragma once

#include "platform/ui/dialog.h"

namespace upkeep {

const ui::DialogTemplate& PowerCleanTemplate();  // 3000

}  // namespace upkeep
