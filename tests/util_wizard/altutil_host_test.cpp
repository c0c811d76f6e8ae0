// The media-settings host built with the second family's variant: which store it works on.
#include <gtest/gtest.h>

#include <fstream>

#include "altutil/second_family.h"
#include "altutil/variant.h"
#include "tests/util_wizard/wizard_fixture.h"
#include "util/settings/driver_media_config.h"

namespace {

using wizardtest::WizardFixture;

class AltUtilHostTest : public WizardFixture {
  protected:
    // A configuration file of the given mark, with a directory of 40 user slots.
    static void WriteConfiguration(const std::string& path, uint32_t mark) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::string data(32, '\0');
        for (int i = 0; i < 4; ++i) {
            data[static_cast<size_t>(i)] = static_cast<char>(mark >> (8 * i));
        }
        data[8] = 16;
        data[24] = 40;
        std::ofstream(path, std::ios::binary) << data;
    }
    void AddAltPrinter(const std::string& driver) {
        AddPrinter("Q", driver);
        StageStatuses({"ST:04;INK:1101,3202,4304,5408,6210,7320,A140;"});
    }
    std::string FirstCfg(const std::string& driver, OsKind kind) const {
        const int32_t code = altutil::ModelCodeOf(driver);
        return drivercfg::CfgFilePath(kind, 1, altutil::ConfigFileNamesOf(code));
    }
    std::string T(int32_t number) const { return host_->GetText(number); }
};

TEST_F(AltUtilHostTest, WindowsNt5WithTheSecondFilesWorksOnThem) {
    AddAltPrinter("ARVEN WL-2000");
    WriteConfiguration(altutil::SecondCfgPath(10, 1), 0x710);
    Start("Q", altutil::AltUtilVariant(), "altutil.so");
    ASSERT_NE(started_, nullptr);
    EXPECT_EQ(host_->Store().LongestName(), 31);
    EXPECT_EQ(host_->Store().CfgPath(), altutil::SecondCfgPath(10, 1));
    EXPECT_EQ(ShownTemplate(), 3001);

    // The gap page of Uni-D AP2880 (the mode util keeps hidden) is titled by its code's text.
    Check(3005, true);
    Click(2001);
    Check(3028, true);
    Check(3032, true);
    Click(2001);
    ASSERT_EQ(ShownTemplate(), 3002);
    EXPECT_EQ(Text(3004), T(255));
    EXPECT_EQ(T(255), "Uni-D  AP2880");
}

TEST_F(AltUtilHostTest, WithoutTheDriversFilesTheStartUpEndsWithItsMessage) {
    AddAltPrinter("ARVEN WL-2000");
    machine::SetVersion({machine::kPlatformNt, 4, 0});
    Start("Q", altutil::AltUtilVariant(), "altutil.so");
    EXPECT_EQ(started_, nullptr);
    ASSERT_NE(T(360), "");
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"16:" + T(360)}));
    EXPECT_EQ(HandBacks(), (std::vector<intptr_t>{kNotifyBackToSelection}));
    EXPECT_EQ(Page(util::kServiceMenuSlot), nullptr);
    EXPECT_EQ(host_->ImageListOf(util::kUnidirectionalImages), nullptr);
    EXPECT_FALSE(host_->Link().IsLoaded());

    // The first pair's file, present, is worked on.
    WriteConfiguration(FirstCfg("ARVEN WL-2000", OsKind::NtBefore5), 0x500);
    responder_.Clear();
    Start("Q", altutil::AltUtilVariant(), "altutil.so");
    ASSERT_NE(started_, nullptr);
    EXPECT_EQ(host_->Store().LongestName(), 16);
}

TEST_F(AltUtilHostTest, AModelOutsideTheTableStillHasTheSettingPages) {
    AddAltPrinter("ARVEN WL-9999");
    WriteConfiguration(FirstCfg("ARVEN WL-9999", OsKind::Nt5OrLater), 0x500);
    Start("Q", altutil::AltUtilVariant(), "altutil.so");
    EXPECT_EQ(host_->ModelClass(), 0);
    EXPECT_NE(Page(util::kSettingSelectionSlot), nullptr);
    EXPECT_NE(Page(util::kSummarySlot), nullptr);
}

}  // namespace
