// The pages that adjust one value of a stored setting: head path delay, feeding, vacuum, cut and
// density, reached from the setting selection page.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/raw_job.h"
#include "common/remote_commands.h"
#include "sim/driver/media_catalog.h"
#include "tests/util_wizard/wizard_fixture.h"

namespace {

using wizardtest::WizardFixture;

constexpr int kBack = 2000;
constexpr int kNext = 2001;
constexpr int kSamplePrint = 2012;
// The selection page's tick boxes of the five values, and where it shows their values.
constexpr int kDelayBox = 2004;
constexpr int kFeedBox = 2005;
constexpr int kVacuumBox = 2007;
constexpr int kCutBox = 2008;
constexpr int kDensityBox = 2010;

class AdjustmentPagesTest : public WizardFixture {
  protected:
    // Page 2000 with the stored setting "Banner" of these values (Density, Forward, Drytime,
    // Paperthick, Paperdraw, PaperCut) chosen.
    void ChooseSetting(std::array<uint8_t, 6> values) {
        AddPrinter("P", "ARVEN WL-4000");
        WriteUserFile("ARVEN WL-4000", {UserEntry("Banner", 0x0011, values)});
        Start("P");
        Check(3001, true);
        Click(kNext);
        ASSERT_EQ(ShownTemplate(), 2000);
        Select(2015, "Banner");
    }
    // From page 2000 to the page of the one value ticked.
    void ToPageOf(int box, int page) {
        for (int each : {kDelayBox, kFeedBox, kVacuumBox, kCutBox, kDensityBox}) {
            Check(each, each == box);
        }
        Click(kNext);
        ASSERT_EQ(ShownTemplate(), page);
    }
    MediaWorkingCopy& Working() { return host_->Settings().working; }
    std::string T(int32_t number) const { return host_->GetText(number); }
    std::vector<std::string> DocumentNames() const {
        std::vector<std::string> names;
        for (const auto& document : spool_->Documents()) {
            names.push_back(document.name);
        }
        return names;
    }
    // The custom media values the driver was last given.
    driverlib::MediaValues DriverMediaValues() {
        DriverSettingsLibrary& library = host_->DriverLibrary();
        int32_t handle = 0;
        driverlib::MediaValues values;
        EXPECT_EQ(library.Open("P", "plenwise:/P", &handle), 0);
        EXPECT_EQ(library.GetData(handle, driverlib::kItemMediaValues, &values), 0);
        library.Close(handle);
        return values;
    }
};

TEST_F(AdjustmentPagesTest, HeadPathDelayIsHeldWithinItsRangeAndTheSliderPositionIsStored) {
    ChooseSetting({0, 0, 5, 0, 100, 0});
    ToPageOf(kDelayBox, 2003);
    EXPECT_EQ(Text(2031), "5");
    EXPECT_EQ(SliderPosition(2054), 5);
    Type(2031, "75");
    EXPECT_EQ(Text(2031), "50");
    EXPECT_EQ(SliderPosition(2054), 50);
    Slide(2054, 20);
    EXPECT_EQ(Text(2031), "20");

    // An empty edit leaves the slider where it was, and the slider is what counts.
    Type(2031, "");
    EXPECT_EQ(SliderPosition(2054), 20);
    Click(kBack);
    EXPECT_EQ(Working().Drytime(), 20);
    EXPECT_EQ(Text(2059), ": 2.0 " + T(114));
    Click(kNext);
    EXPECT_EQ(Text(2031), "20");
    Type(2031, "");
    Leave(2031);
    EXPECT_EQ(Text(2031), "20");
}

TEST_F(AdjustmentPagesTest, AFeedRangePrintsItsCandidatesAsOneSeries) {
    ChooseSetting({0xFE, 0xFB, 0, 0, 100, 0});
    ToPageOf(kFeedBox, 2004);
    EXPECT_EQ(Text(2080), "-5");
    EXPECT_EQ(Text(2078), "-70, -35, 0, 35, 70");
    Type(2031, "-3");
    Type(2032, "5");
    ASSERT_EQ(Text(2078), "-3, -1, 1, 3, 5");

    // A job of the fourth caption stays in the queue; the page's own documents leave at once.
    // The wait before the switch-off ends at its first look only if it asks for that caption.
    const auto caption = [this](int value) { return T(140) + "   " + std::to_string(value); };
    spool_->AddJob("P", caption(3));
    const uint32_t before = clock_.TickCount();
    Click(kSamplePrint);
    EXPECT_EQ(DocumentNames(),
              (std::vector<std::string>{kRawJobDocument, caption(-3), caption(-1), caption(1),
                                        caption(3), kRawJobDocument, caption(5)}));
    EXPECT_LT(clock_.TickCount() - before, 60000u);
    const auto& documents = spool_->Documents();
    const auto modelClass = static_cast<uint32_t>(host_->ModelClass());
    const ByteBlock on = SampleSeriesCommandBlock(true, false, modelClass);
    const ByteBlock off = SampleSeriesCommandBlock(false, false, modelClass);
    EXPECT_EQ(documents[0].bytes, std::string(on.begin(), on.end()));
    EXPECT_EQ(documents[5].bytes, std::string(off.begin(), off.end()));
    EXPECT_TRUE(documents[6].bytes.starts_with("%PDF-"));
    // The last sample went with its own feed value and the setting's density.
    const driverlib::MediaValues values = DriverMediaValues();
    EXPECT_EQ(values.data[1], 5);
    EXPECT_EQ(values.data[0], 0xFE);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(AdjustmentPagesTest, RangeEditsTakeEitherOrderHoldTheirRangeAndRefuseStrayCharacters) {
    ChooseSetting({0, 0, 0, 0, 100, 0});
    ToPageOf(kFeedBox, 2004);
    Type(2031, "10");
    Type(2032, "-10");
    EXPECT_EQ(Text(2078), "-10, -5, 0, 5, 10");
    Type(2032, "90");
    EXPECT_EQ(Text(2032), "70");
    EXPECT_EQ(Text(2078), "10, 25, 40, 55, 70");
    // A minus after a digit is refused at once: the edit shows its thumb's value again.
    Type(2031, "10-");
    EXPECT_EQ(Text(2031), "10");
    Type(2032, "4x");
    EXPECT_EQ(Text(2032), "70");
    EXPECT_EQ(Text(2078), "10, 25, 40, 55, 70");
}

TEST_F(AdjustmentPagesTest, TheLowerThumbCanBeDraggedPastTheUpperOne) {
    ChooseSetting({0, 0, 0, 0, 100, 0});
    ToPageOf(kFeedBox, 2004);
    Type(2032, "0");
    const ui::Rect area = Shown()->ItemRect(2094);
    const int mid = area.top + (area.bottom - area.top) / 2;
    // The lower thumb stands at the left end, below the groove.
    const ui::Point grip{area.left + 5, mid + 8};
    Mouse(ui::MouseAction::LeftDown, grip);
    Mouse(ui::MouseAction::Move, {grip.x + 40, grip.y});
    const int travel = area.right - area.left - 10;
    EXPECT_EQ(Text(2031), std::to_string(-70 + (140 * 40) / travel));
    // Far beyond the right end, and up again outside the area: the thumb stops at the end.
    Mouse(ui::MouseAction::Move, {area.right + 200, grip.y + 40});
    Mouse(ui::MouseAction::LeftUp, {area.right + 200, grip.y + 40});
    EXPECT_EQ(Text(2031), "70");
    EXPECT_EQ(Text(2078), "0, 17, 35, 52, 70");
    // Once released, the mouse moves nothing, and the edit moves the thumb again.
    Mouse(ui::MouseAction::Move, {area.left, grip.y});
    EXPECT_EQ(Text(2031), "70");
    Type(2031, "-6");
    EXPECT_EQ(Text(2078), "-6, -5, -3, -2, 0");
    // Pressed where no thumb is, the mouse drags nothing.
    Mouse(ui::MouseAction::LeftDown, {area.left + (area.right - area.left) / 2, mid});
    Mouse(ui::MouseAction::Move, {area.right, mid});
    Mouse(ui::MouseAction::LeftUp, {area.right, mid});
    EXPECT_EQ(Text(2031), "-6");
    EXPECT_EQ(Text(2032), "0");
}

TEST_F(AdjustmentPagesTest, TheFeedValueKeepsItsLastValidValue) {
    ChooseSetting({0, 0xFB, 0, 0, 100, 0});
    ToPageOf(kFeedBox, 2004);
    // Left empty, it shows the value it had when the page was shown ...
    Type(2080, "");
    Leave(2080);
    EXPECT_EQ(Text(2080), "-5");
    // ... or the last valid value typed since.
    Type(2080, "12");
    Type(2080, "1-");
    EXPECT_EQ(Text(2080), "12");
    Type(2080, "");
    Leave(2080);
    EXPECT_EQ(Text(2080), "12");
    Type(2080, "-90");
    EXPECT_EQ(Text(2080), "-70");
    // Stored as a signed byte, also when the edit was emptied without being left.
    Type(2080, "33");
    Type(2080, "");
    Click(kBack);
    EXPECT_EQ(Working().Forward(), 33);
    EXPECT_EQ(Text(2060), ": 33 " + T(146));
    Click(kNext);
    Type(2080, "-70");
    Click(kBack);
    EXPECT_EQ(Working().Forward(), -70);
}

TEST_F(AdjustmentPagesTest, VacuumShowsTheStepOfTheRawValueAndStoresTheStepsValue) {
    ChooseSetting({0, 0, 0, 0, 45, 0});
    ToPageOf(kVacuumBox, 2005);
    EXPECT_EQ(SliderPosition(2056), 1);
    // Leaving without a move still writes the step's own raw value.
    Click(kBack);
    EXPECT_EQ(Working().Paperdraw(), 50);
    EXPECT_EQ(Text(2061), ": -1");
    Click(kNext);
    Slide(2056, 4);
    Click(kBack);
    EXPECT_EQ(Working().Paperdraw(), 6);
    Click(kNext);
    Slide(2056, 0);
    Click(kBack);
    EXPECT_EQ(Working().Paperdraw(), 100);
    EXPECT_EQ(Text(2061), ": " + T(151));
}

TEST_F(AdjustmentPagesTest, CutShowsItsEntryAndStores255WithoutOne) {
    ChooseSetting({0, 0, 0, 0, 100, 1});
    EXPECT_EQ(Text(2062), ": " + T(162));
    ToPageOf(kCutBox, 2006);
    EXPECT_EQ(ui::ComboBox(Shown()->Item(2023)).GetText(), T(162));
    Select(2023, T(163));
    Click(kBack);
    EXPECT_EQ(Working().PaperCut(), 2);
    EXPECT_EQ(Text(2062), ": " + T(163));
}

TEST_F(AdjustmentPagesTest, ACutBeyondTheEntriesSelectsNoneAndIsStoredAs255) {
    ChooseSetting({0, 0, 0, 0, 100, 7});
    ToPageOf(kCutBox, 2006);
    EXPECT_EQ(ui::ComboBox(Shown()->Item(2023)).GetCurSel(), -1);
    Click(kBack);
    EXPECT_EQ(Working().PaperCut(), 255);
    EXPECT_EQ(Text(2062), "");
    // Next stores it too; the summary shows no cut after its colon.
    Click(kNext);
    Click(kNext);
    ASSERT_EQ(ShownTemplate(), 2009);
    EXPECT_EQ(Working().PaperCut(), 255);
    EXPECT_EQ(Text(2063), ":");
}

TEST_F(AdjustmentPagesTest, DensityReadsALoneMinusAsZeroAndPrintsWhatWasTyped) {
    ChooseSetting({0xFE, 0xFB, 0, 0, 100, 0});
    ToPageOf(kDensityBox, 2008);
    EXPECT_EQ(Text(2031), "-2");
    EXPECT_EQ(SliderPosition(2016), -2);
    Type(2031, "-");
    EXPECT_EQ(Text(2031), "-");
    EXPECT_EQ(SliderPosition(2016), 0);
    Type(2031, "-75");
    EXPECT_EQ(Text(2031), "-50");
    EXPECT_EQ(SliderPosition(2016), -50);
    Type(2031, "7+");
    EXPECT_EQ(Text(2031), "-50");
    Slide(2016, 12);
    EXPECT_EQ(Text(2031), "12");

    // Printed right after typing, without leaving the edit: the slider already holds the value.
    Type(2031, "20");
    Click(kSamplePrint);
    EXPECT_EQ(DocumentNames(), (std::vector<std::string>{T(180) + "   20"}));
    const driverlib::MediaValues values = DriverMediaValues();
    EXPECT_EQ(values.data[0], 20);
    EXPECT_EQ(values.data[1], 0xFB);
    Click(kBack);
    EXPECT_EQ(Working().Density(), 20);
    EXPECT_EQ(Text(2064), ": 20 %");
}

TEST_F(AdjustmentPagesTest, TheSamplesOfTheFeedAndDensityPagesAskForTheSettingsModeAndMedia) {
    // A setting of the fine mode: its print mode index (0) differs from its level (2).
    AddPrinter("P", "ARVEN WL-4000");
    UserMediaRecord fine = UserEntry("Fine", 0x0021, {4, 0xFD, 0, 0, 100, 0});
    fine.SetModeLevel(2);
    for (const auto& [box, page] : {std::pair{kFeedBox, 2004}, std::pair{kDensityBox, 2008}}) {
        WriteUserFile("ARVEN WL-4000", {fine});
        Start("P");
        Check(3001, true);
        Click(kNext);
        Select(2015, "Fine");
        ToPageOf(box, page);
        ASSERT_EQ(host_->PrintMode(), 0) << page;
        const size_t documents = spool_->Documents().size();
        Click(kSamplePrint);
        EXPECT_GT(spool_->Documents().size(), documents) << page;
        DriverSettingsLibrary& library = host_->DriverLibrary();
        int32_t handle = 0;
        ASSERT_EQ(library.Open("P", "plenwise:/P", &handle), 0);
        driverlib::MediaModeSelection mode;
        EXPECT_EQ(library.GetData(handle, driverlib::kItemMediaMode, &mode), 0);
        library.Close(handle);
        EXPECT_EQ(mode.modeLevel, 2) << page;
        EXPECT_EQ(mode.mediaId, 0x0021) << page;
        const simdriver::Resolution fineDpi = simdriver::FindMedia(0x0021)->resolutions[0];
        EXPECT_EQ(PrintedResolution(), (std::pair<int, int>(fineDpi.horizontal, fineDpi.vertical)))
            << page;
        const driverlib::MediaValues values = DriverMediaValues();
        EXPECT_EQ(values.data[0], 4) << page;  // the setting's density, unchanged
        EXPECT_TRUE(Boxes().empty()) << page;
    }
}

}  // namespace
