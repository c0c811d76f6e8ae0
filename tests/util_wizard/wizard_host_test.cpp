// The media-settings host's start-up and stepping, and the head-gap pages, in-process.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/remote_commands.h"
#include "tests/util_wizard/wizard_fixture.h"
#include "util/pages/gap_page.h"

namespace {

using Step = spooler::MemorySpooler::Step;
using wizardtest::WizardFixture;

constexpr int kBack = 2000;
constexpr int kNext = 2001;
constexpr int kExit = 2002;

class WizardHostTest : public WizardFixture {
  protected:
    std::string Box(uint32_t flags, int32_t text) const {
        return std::to_string(flags) + ":" + host_->GetText(text);
    }
    // From the service menu, with the head adjustment chosen, to the gap pages of the boxes.
    void ChooseGapPages(std::initializer_list<int> boxes) {
        Check(3005, true);
        Click(kNext);
        ASSERT_EQ(ShownTemplate(), 3003);
        for (int box : boxes) {
            Check(box, true);
        }
        Click(kNext);
        ASSERT_EQ(ShownTemplate(), 3002);
    }
    const util::GapPage& ShownGapPage() const { return dynamic_cast<util::GapPage&>(*Shown()); }
};

constexpr int kUnidirectional = 3028;
constexpr int kBidirectional = 3030;
constexpr int kModeS = 3029;
constexpr int kModeQap = 3031;

TEST(ModuleDirectoryTest, IsThePathUpToItsLastSlash) {
    EXPECT_EQ(util::ModuleDirectory("/opt/plenwise/util.so"), "/opt/plenwise/");
    EXPECT_EQ(util::ModuleDirectory("/util.so"), "");
    EXPECT_EQ(util::ModuleDirectory("util.so"), "");
}

TEST_F(WizardHostTest, AModelWithoutSettingPagesStartsOnTheDirectionPageAndReturnsTheMenu) {
    AddPrinter("C", "ARVEN Wideline 400C");
    Start("C");
    EXPECT_EQ(ShownTemplate(), 3003);
    ASSERT_NE(Page(util::kServiceMenuSlot), nullptr);
    EXPECT_EQ(started_, Page(util::kServiceMenuSlot)->Handle());
    EXPECT_EQ(Page(util::kSettingSelectionSlot), nullptr);
    EXPECT_EQ(host_->StandardSampleBitmap(),
              std::string(std::getenv("PLENWISE_OUT")) + "/Sample.bmp");
    // The menu is no part of this model's wizard: Back from the first page hands back at once.
    Click(kBack);
    EXPECT_EQ(HandBacks(), (std::vector<intptr_t>{kNotifyBackToSelection}));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WizardHostTest, APrinterThatIsNotReadyAtStartUpIsReportedAndHandsBack) {
    AddPrinter("P", "ARVEN WL-4000");
    // The model name must be followed by ';': not ready, and no status is waited for.
    StageDeviceId("MFG:ARVEN;DES:ARVEN WL-4000");
    Start("P");
    EXPECT_EQ(Boxes(), (std::vector<std::string>{Box(0x10, 303)}));
    EXPECT_EQ(HandBacks(), (std::vector<intptr_t>{kNotifyBackToSelection}));
    EXPECT_TRUE(clock_.Sleeps().empty());
    EXPECT_EQ(Shown(), nullptr);
    EXPECT_EQ(started_, Page(util::kServiceMenuSlot)->Handle());
}

TEST_F(WizardHostTest, APrinterThatStaysBusyCostsThreeWaitsOfFiveSeconds) {
    AddPrinter("P", "ARVEN WL-4000");
    StageStatuses({"ST:03;INK:1101,3202,4304,5408,6210,7320;"});
    Start("P");
    EXPECT_EQ(clock_.Sleeps(), (std::vector<uint32_t>{5000, 5000, 5000}));
    EXPECT_EQ(Boxes(), (std::vector<std::string>{Box(0x10, 303)}));
    EXPECT_EQ(HandBacks(), (std::vector<intptr_t>{kNotifyBackToSelection}));
}

TEST_F(WizardHostTest, AQueueTheSpoolerDoesNotListHasNoModelAndFailsTheCheck) {
    AddPrinter("P", "ARVEN WL-4000");
    Start("Elsewhere");
    EXPECT_EQ(host_->ModelClass(), 0);
    EXPECT_EQ(host_->DriverName(), "");
    EXPECT_EQ(Page(util::kSettingSelectionSlot), nullptr);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{Box(0x10, 303)}));
    EXPECT_EQ(HandBacks(), (std::vector<intptr_t>{kNotifyBackToSelection}));
}

TEST_F(WizardHostTest, WithoutAWholeDataFileTheModuleSaysAFileIsMissingAndHandsBack) {
    AddPrinter("P", "ARVEN WL-4000");
    const std::string whole =
        testsupport::ScratchDir::Read(std::string(std::getenv("PLENWISE_OUT")) + "/util.dat");
    // Missing, then cut short in its media type table.
    for (const std::string& bytes : {std::string(), whole.substr(0, whole.size() - 1)}) {
        if (!bytes.empty()) {
            scratch_.Write("elsewhere/util.dat", bytes);
        }
        host_ =
            std::make_unique<util::WizardHost>(scratch_ / "elsewhere/util.so", util::UtilVariant());
        started_ = host_->StartWizard("P", hub_.selection.Handle(), kNotifyMessage);
        EXPECT_EQ(started_, nullptr);
        EXPECT_EQ(Shown(), nullptr);
        EXPECT_EQ(Boxes().back(), "16:The necessary file was not found.");
        EXPECT_EQ(HandBacks().back(), kNotifyBackToSelection);
    }
    EXPECT_EQ(Boxes().size(), 2u);

    // A whole data file without the pictures beside it: the wizard runs, drawing no images.
    scratch_.Write("elsewhere/util.dat", whole);
    host_ = std::make_unique<util::WizardHost>(scratch_ / "elsewhere/util.so", util::UtilVariant());
    started_ = host_->StartWizard("P", hub_.selection.Handle(), kNotifyMessage);
    EXPECT_EQ(ShownTemplate(), 3001);
    ChooseGapPages({kBidirectional, kModeS});
    ASSERT_NE(host_->ImageListOf(util::kBidirectionalImages), nullptr);
    EXPECT_EQ(host_->ImageListOf(util::kBidirectionalImages)->Count(), 0);
    EXPECT_TRUE(ui::SaveScreenshot(Shown()->Handle(), scratch_ / "gap.png"));  // paints
}

TEST_F(WizardHostTest, ADriverFileThatCannotBeReadStopsTheWayToTheSettingsWithItsName) {
    AddPrinter("P", "ARVEN WL-4000");
    const std::string ucf = UserFilePath("ARVEN WL-4000");
    std::filesystem::create_directories(ucf);
    Start("P");
    ASSERT_EQ(ShownTemplate(), 3001);
    Check(3001, true);
    Click(kNext);
    EXPECT_EQ(ShownTemplate(), 3001);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], Box(ui::kMbIconStop, 360) + "\n\n" + ucf + ": it is a folder");
    // Once the folder is gone, no setting is registered yet: the way is free.
    std::filesystem::remove(ucf);
    Click(kNext);
    EXPECT_EQ(ShownTemplate(), 2000);
    EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(WizardHostTest, OnlyTheChosenGapPageFollowsAndItsNextFinishes) {
    AddPrinter("P", "ARVEN WL-4000");
    Start("P");
    EXPECT_FALSE(Enabled(kNext));
    Check(3005, true);
    EXPECT_TRUE(Enabled(kNext));
    Click(kNext);
    EXPECT_FALSE(Enabled(kNext));
    Check(kBidirectional, true);
    EXPECT_FALSE(Enabled(kNext));
    Check(kModeQap, true);
    EXPECT_TRUE(Enabled(kNext));
    Click(kNext);
    EXPECT_EQ(Text(3004), "Bi-D  Q/AP");
    for (size_t slot = 3; slot <= 8; ++slot) {
        EXPECT_EQ(host_->Frame().IsEnabled(slot), slot == 7) << slot;
    }
    // Without the paper settings, this page is the last.
    EXPECT_EQ(Text(kNext), host_->GetText(99));
    responder_.AnswerNextBox(ui::kIdCancelResult);
    Click(kNext);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{Box(0x41, 308)}));
    EXPECT_EQ(ShownTemplate(), 3002);
    EXPECT_EQ(host_->Frame().Current(), 7u);
    EXPECT_TRUE(HandBacks().empty());
    responder_.AnswerNextBox(ui::kIdOkResult);
    Click(kNext);
    EXPECT_EQ(HandBacks(), (std::vector<intptr_t>{kNotifyBackToSelection}));
    EXPECT_EQ(Shown(), nullptr);
}

TEST_F(WizardHostTest, BothDirectionsAndTwoModesVisitTheirPagesInOrder) {
    AddPrinter("P", "ARVEN WL-4000");
    Start("P");
    ChooseGapPages({kUnidirectional, kBidirectional, kModeS, kModeQap});
    std::vector<std::string> codes;
    for (int page = 0; page < 4; ++page) {
        codes.push_back(Text(3004));
        EXPECT_EQ(Text(kNext), host_->GetText(page < 3 ? 100 : 99));
        if (page < 3) {
            Click(kNext);
        }
    }
    EXPECT_EQ(codes,
              (std::vector<std::string>{"Uni-D  S", "Uni-D  Q/AP", "Bi-D  S", "Bi-D  Q/AP"}));
    // Back to the direction page: it starts over.
    for (int page = 0; page < 4; ++page) {
        Click(kBack);
    }
    ASSERT_EQ(ShownTemplate(), 3003);
    for (int box : {kUnidirectional, kBidirectional, kModeS, kModeQap}) {
        EXPECT_FALSE(ui::Button(Shown()->Item(box)).IsChecked()) << box;
    }
    EXPECT_FALSE(Enabled(kNext));
    Click(kBack);
    ASSERT_EQ(ShownTemplate(), 3001);
    Click(kBack);
    EXPECT_EQ(HandBacks(), (std::vector<intptr_t>{kNotifyBackToSelection}));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WizardHostTest, ExitAsksAndAGapPageSendsItsLeaveBlockFirst) {
    AddPrinter("P", "ARVEN WL-4000");
    Start("P");
    ChooseGapPages({kBidirectional, kModeS});
    const ByteBlock leave = HeadGapLeaveBlock();
    const std::string leaveBytes(leave.begin(), leave.end());
    responder_.AnswerNextBox(ui::kIdCancelResult);
    Click(kExit);
    EXPECT_EQ(RawJobs("P"), (std::vector<std::string>{leaveBytes}));
    EXPECT_EQ(Boxes(), (std::vector<std::string>{Box(0x41, 307)}));
    EXPECT_TRUE(HandBacks().empty());
    responder_.AnswerNextBox(ui::kIdOkResult);
    Click(kExit);
    EXPECT_EQ(HandBacks(), (std::vector<intptr_t>{kNotifyEndProgram}));
    EXPECT_EQ(RawJobs("P").size(), 2u);
    EXPECT_FALSE(host_->Link().IsLoaded());
    EXPECT_FALSE(host_->DriverLibrary().IsLoaded());
}

TEST_F(WizardHostTest, GapValuesStayWithinRangeAndGoBackToEightOnceSent) {
    AddPrinter("P", "ARVEN WL-4000");
    Start("P");
    ChooseGapPages({kBidirectional, kModeS});
    Type(3015, "0");
    EXPECT_EQ(Text(3015), "1");
    Type(3015, "20");
    EXPECT_EQ(Text(3015), "15");
    Type(3016, "7");
    Type(3016, "");
    Leave(3016);
    EXPECT_EQ(Text(3016), "7");
    EXPECT_EQ(ShownGapPage().StoredValues(), (util::GapValues{8, 8, 15, 7, 8, 8, 8}));

    Type(3019, "12");
    Click(3013);
    const ByteBlock test = UtilHeadGapBlock(HeadGapBlockKind::Test, 250, 0, {8, 15, 7, 8, 8, 12});
    ASSERT_EQ(RawJobs("P").size(), 1u);
    EXPECT_EQ(RawJobs("P")[0], std::string(test.begin(), test.end()));
    for (int edit : util::kGapValueEdits) {
        EXPECT_EQ(Text(edit), "8") << edit;
    }
    ui::ComboBox(Shown()->Item(3030)).SetCurSel(2);
    Type(3012, "3");
    Click(2076);
    const ByteBlock store = UtilHeadGapBlock(HeadGapBlockKind::Store, 250, 2, {3, 8, 8, 8, 8, 8});
    ASSERT_EQ(RawJobs("P").size(), 2u);
    EXPECT_EQ(RawJobs("P")[1], std::string(store.begin(), store.end()));
    EXPECT_EQ(Text(3012), "8");
    EXPECT_TRUE(Boxes().empty());
    // The store block is recorded with the values as the page held them; the test print is not.
    const std::vector<ServiceRecord> log = ServiceLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].queue, "P");
    EXPECT_EQ(log[0].driver, "ARVEN WL-4000");
    EXPECT_EQ(log[0].action, kActionHeadGapRegistration);
    EXPECT_EQ(log[0].result, kResultSent);
    EXPECT_EQ(
        log[0].details,
        (ServiceDetails{{"pattern", "250"}, {"platen-gap", "2"}, {"values", "3,8,8,8,8,8,8"}}));
}

TEST_F(WizardHostTest, RefusedJobsAndABusyPrinterAreReportedAndOnlyASentStoreIsLogged) {
    AddPrinter("P", "ARVEN WL-4000");
    Start("P");
    ChooseGapPages({kUnidirectional, kModeS});
    Type(3015, "5");
    spool_->Fail(Step::kStartDoc, 0, 2);
    Click(3013);
    EXPECT_EQ(Text(3015), "5");
    // Registering asks again while the job is refused.
    responder_.AnswerNextBox(ui::kIdOkResult);
    Click(2076);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{Box(0x30, 303), Box(0x41, 302)}));
    EXPECT_EQ(RawJobs("P").size(), 1u);
    EXPECT_EQ(Text(3015), "8");

    StageStatuses({"ST:02;"});
    Click(3013);
    Click(2076);
    EXPECT_EQ(RawJobs("P").size(), 1u);
    EXPECT_EQ(Boxes().size(), 4u);
    EXPECT_EQ(Boxes()[2], Box(0x10, 303));
    EXPECT_EQ(Boxes()[3], Box(0x10, 303));
    // Only the store block that went is recorded: not the busy printer's, nor one given up.
    StageStatuses({"ST:04;"});
    spool_->Fail(Step::kStartDoc, 0, 1);
    responder_.AnswerNextBox(ui::kIdCancelResult);
    Click(2076);
    EXPECT_EQ(Boxes().size(), 5u);
    EXPECT_EQ(RawJobs("P").size(), 1u);
    const std::vector<ServiceRecord> log = ServiceLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].action, kActionHeadGapRegistration);
    EXPECT_EQ(log[0].result, kResultSent);
}

TEST_F(WizardHostTest, DestroyingTheMenuPageReleasesWhatTheHostHolds) {
    AddPrinter("P", "ARVEN WL-4000");
    Start("P");
    ASSERT_TRUE(host_->Link().IsLoaded());
    ASSERT_TRUE(host_->DriverLibrary().IsLoaded());
    ui::DestroyWindow(started_);
    EXPECT_FALSE(host_->Link().IsLoaded());
    EXPECT_FALSE(host_->DriverLibrary().IsLoaded());
    EXPECT_EQ(host_->ImageListOf(util::kUnidirectionalImages), nullptr);
    EXPECT_EQ(host_->ImageListOf(util::kBidirectionalImages), nullptr);
}

}  // namespace
