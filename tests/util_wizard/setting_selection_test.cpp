// The setting selection page and the host's ink-set check on the way to it.
#include <gtest/gtest.h>

#include "sim/driver/media_catalog.h"
#include "tests/util_wizard/wizard_fixture.h"

namespace {

using wizardtest::WizardFixture;

constexpr int kNext = 2001;
constexpr int kSettingList = 2015;
constexpr int kMediaBox = 2003;
constexpr int kPrintModeBox = 2009;

class SettingSelectionTest : public WizardFixture {
  protected:
    // From the service menu with the paper settings chosen.
    void ToSelectionPage() {
        Check(3001, true);
        Click(kNext);
        ASSERT_EQ(ShownTemplate(), 2000);
    }
    std::vector<std::string> Values() const {
        std::vector<std::string> values;
        for (int id = 2058; id <= 2064; ++id) {
            values.push_back(Text(id));
        }
        return values;
    }
    bool Ticked(int box) const { return ui::Button(Shown()->Item(box)).IsChecked(); }
    void Select(const std::string& name) { WizardFixture::Select(kSettingList, name); }
    std::string T(int32_t number) const { return host_->GetText(number); }
};

TEST_F(SettingSelectionTest, WithoutStoredSettingsOnlyANewOneIsOffered) {
    AddPrinter("P", "ARVEN WL-4000");
    Start("P");
    ToSelectionPage();
    ui::ComboBox list(Shown()->Item(kSettingList));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetItemText(0), T(112));
    EXPECT_TRUE(Ticked(kMediaBox));
    EXPECT_FALSE(Enabled(kMediaBox));
    EXPECT_TRUE(Ticked(kPrintModeBox));
    EXPECT_TRUE(Enabled(kPrintModeBox));
    EXPECT_EQ(Values(), std::vector<std::string>(7, ":"));
    EXPECT_TRUE(host_->noSettings);
    // The density is not adjusted unless chosen: its slot starts disabled.
    EXPECT_FALSE(Ticked(2010));
    EXPECT_TRUE(Ticked(2004));
}

TEST_F(SettingSelectionTest, AStoredSettingShowsItsValuesAndANewOneStaysNewOnceChosen) {
    AddPrinter("P", "ARVEN WL-4000");
    WriteUserFile("ARVEN WL-4000", {UserEntry("Banner", 0x0011, {0xFE, 0xFB, 5, 15, 50, 1}),
                                    UserEntry("Poster", 0x0020, {3, 0, 12, 2, 51, 7})});
    Start("P");
    ToSelectionPage();
    ui::ComboBox list(Shown()->Item(kSettingList));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.GetItemText(1), "Banner");
    EXPECT_EQ(list.GetItemText(2), "Poster");
    EXPECT_TRUE(host_->noSettings);  // the page starts on entry 0
    Select("Banner");
    EXPECT_EQ(Values(),
              (std::vector<std::string>{": Coated Paper \n  [" + T(121) + " : 1.5" + T(113) + "]",
                                        ": 0.5 " + T(114), ": -5 " + T(146), ": -1", ": " + T(162),
                                        ": " + T(172), ": -2 %"}));
    EXPECT_FALSE(Ticked(kMediaBox));
    EXPECT_FALSE(Enabled(kMediaBox));
    EXPECT_FALSE(Ticked(kPrintModeBox));
    EXPECT_FALSE(Enabled(kPrintModeBox));
    EXPECT_EQ(host_->selectedSettingName, "Banner");
    EXPECT_EQ(host_->driverMediaName, "Coated Paper");
    Select("Poster");
    EXPECT_EQ(Text(2061), ": " + T(151));
    EXPECT_EQ(Text(2062), "");

    Select(T(112));
    EXPECT_TRUE(host_->noSettings);
    Select("Banner");
    EXPECT_TRUE(host_->noSettings);
}

TEST_F(SettingSelectionTest, ASettingOfUnknownMediaIsRefusedForANewOne) {
    AddPrinter("P", "ARVEN WL-4000");
    WriteUserFile("ARVEN WL-4000", {UserEntry("Vinyl", 0x0090, {0, 0, 0, 0, 100, 0})});
    Start("P");
    ToSelectionPage();
    Select("Vinyl");
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"48:" + T(350) + T(351)}));
    EXPECT_EQ(ui::ComboBox(Shown()->Item(kSettingList)).GetCurSel(), 0);
    EXPECT_TRUE(Ticked(kMediaBox));
    EXPECT_EQ(Values(), std::vector<std::string>(7, ":"));
}

TEST_F(SettingSelectionTest, APrinterWithAnotherInkSetThanTheDriverReturnsToTheMenu) {
    AddPrinter("P", "ARVEN WL-4000");
    StageStatuses({"ST:04;INK:B101,3202,4304,5408,6210,7320;"});
    Start("P");
    ASSERT_EQ(host_->DriverInkSet(), 1);
    Check(3001, true);
    Click(kNext);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"16:" + T(304)}));
    EXPECT_EQ(ShownTemplate(), 3001);
    EXPECT_EQ(host_->Frame().Current(), util::kServiceMenuSlot);

    // A printer that does not answer the ink set question is reported as not answering.
    StageStatuses({"ST:04;"});
    Click(kNext);
    EXPECT_EQ(Boxes().back(), "16:" + T(303));
    EXPECT_EQ(ShownTemplate(), 3001);
}

TEST_F(SettingSelectionTest, TheTickBoxesChooseTheSlotsThatFollow) {
    AddPrinter("P", "ARVEN WL-4000");
    Start("P");
    ToSelectionPage();
    Check(2004, false);
    Check(2010, true);
    Click(kNext);
    const std::vector<bool> expected{true, false, true, true, true, true, true};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(host_->Frame().IsEnabled(util::kFirstSettingValueSlot + i), expected[i]) << i;
    }
}

TEST_F(SettingSelectionTest, ANewSettingAfterAStoredOneTakesOnlyTheDriversValues) {
    AddPrinter("P", "ARVEN WL-4000");
    WriteUserFile("ARVEN WL-4000", {UserEntry("Banner", 0x0011, {0xFE, 0xFB, 5, 15, 50, 1})});
    Start("P");
    ToSelectionPage();
    Select("Banner");
    ASSERT_EQ(host_->Settings().working.Drytime(), 5);
    Select(T(112));
    EXPECT_EQ(Values(), std::vector<std::string>(7, ":"));
    Click(kNext);
    ASSERT_EQ(ShownTemplate(), 2001);
    WizardFixture::Select(2007, "Clear Film");
    const simdriver::Media* film = simdriver::FindMedia(0x0040);
    ASSERT_NE(film, nullptr);
    const MediaWorkingCopy& working = host_->Settings().working;
    EXPECT_EQ(host_->Settings().record.MediaId(), 0x0040u);
    EXPECT_EQ(working.Density(), film->values.density);
    EXPECT_EQ(working.Forward(), film->values.forward);
    EXPECT_EQ(working.Drytime(), film->values.drytime);
    EXPECT_EQ(working.Paperthick(), film->values.paperthick);
    EXPECT_EQ(working.Paperdraw(), film->values.paperdraw);
    EXPECT_EQ(working.PaperCut(), film->values.paperCut);
    EXPECT_EQ(host_->selectedSettingName, T(112));

    // Back on the selection page, the stored setting is not shown as chosen.
    Click(2000);
    ASSERT_EQ(ShownTemplate(), 2000);
    EXPECT_EQ(ui::ComboBox(Shown()->Item(kSettingList)).GetCurSel(), 0);
    EXPECT_TRUE(host_->noSettings);
}

}  // namespace
