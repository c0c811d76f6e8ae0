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
// 3002: one ink row per value edit, the black/gray row hidden; or all seven rows.
const ui::DialogTemplate& GapTemplate();
const ui::DialogTemplate& SevenValueGapTemplate();

const ui::DialogTemplate& SettingSelectionTemplate();  // 2000
// The pages with sample prints carry the sample image choice (2095 to 2098) where the module
// offers it.
const ui::DialogTemplate& MediaTemplate(bool imageChoice);  // 2001
const ui::DialogTemplate& SampleSettingsTemplate();         // 2002, modal
const ui::DialogTemplate& HeadPathDelayTemplate();          // 2003
// 2004: the range of feed values on a range slider drawn by the page (static 2094 marks its
// place), or on two trackbars.
const ui::DialogTemplate& FeedingTemplate(bool imageChoice, bool trackbars);
const ui::DialogTemplate& VacuumTemplate();                     // 2005
const ui::DialogTemplate& CutTemplate();                        // 2006
const ui::DialogTemplate& PrintModeTemplate(bool imageChoice);  // 2007
const ui::DialogTemplate& DensityTemplate(bool imageChoice);    // 2008
const ui::DialogTemplate& SummaryTemplate();                    // 2009

}  // namespace util
