#include <memory>

#include "common/page_frame.h"
#include "util/pages/cut_page.h"
#include "util/pages/density_page.h"
#include "util/pages/direction_mode_page.h"
#include "util/pages/feeding_page.h"
#include "util/pages/gap_page.h"
#include "util/pages/head_path_delay_page.h"
#include "util/pages/media_page.h"
#include "util/pages/print_mode_page.h"
#include "util/pages/service_menu_page.h"
#include "util/pages/setting_selection_page.h"
#include "util/pages/summary_page.h"
#include "util/pages/vacuum_page.h"
#include "util/settings/head_gap.h"
#include "util/wizard_host.h"

namespace util {

void CreateWizardPages(WizardHost& host, PageFrame& frame, bool settingPages) {
    frame.CreatePage(kServiceMenuSlot, std::make_unique<ServiceMenuPage>(host));
    frame.CreatePage(kDirectionModeSlot, std::make_unique<DirectionModePage>(host));
    for (const GapPattern& pattern : kGapPatterns) {
        frame.CreatePage(pattern.slot, std::make_unique<GapPage>(host, pattern.code));
    }
    if (settingPages) {
        frame.CreatePage(kSettingSelectionSlot, std::make_unique<SettingSelectionPage>(host));
        frame.CreatePage(kMediaSlot, std::make_unique<MediaPage>(host));
        frame.CreatePage(kHeadPathDelaySlot, std::make_unique<HeadPathDelayPage>(host));
        frame.CreatePage(kFeedingSlot, std::make_unique<FeedingPage>(host));
        frame.CreatePage(kVacuumSlot, std::make_unique<VacuumPage>(host));
        frame.CreatePage(kCutSlot, std::make_unique<CutPage>(host));
        frame.CreatePage(kPrintModeSlot, std::make_unique<PrintModePage>(host));
        frame.CreatePage(kDensitySlot, std::make_unique<DensityPage>(host));
        frame.CreatePage(kSummarySlot, std::make_unique<SummaryPage>(host));
    }
}

}  // namespace util
