// Dialog templates of the media-settings modules: every page sits in the hub's main window and
// carries the common Top (hidden), Back, Next and Exit buttons and a message pane.
#pragma once

#include "platform/ui/dialog.h"

namespace util {

// The page buttons of the media-settings modules, by control identifier.
inline constexpr int kPageBackButton = 2000;
inline constexpr int kPageNextButton = 2001;
inline constexpr int kPageExitButton = 2002;
inline constexpr int kPageTopButton = 2013;

const ui::DialogTemplate& ServiceMenuTemplate();    // 3001
const ui::DialogTemplate& DirectionModeTemplate();  // 3003
// 3002: one ink row per value edit, the black/gray row hidden.
const ui::DialogTemplate& GapTemplate();

}  // namespace util
