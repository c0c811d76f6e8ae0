// Where the driver keeps its media and user configuration on each kind of Windows.
#include <gtest/gtest.h>

#include "tests/driver_config/config_fixture.h"

namespace {

using configtest::ConfigTest;
using configtest::FakeHost;

class LocationTest : public ConfigTest {};

TEST_F(LocationTest, NtFiveKeepsBothFilesBesideTheDriverAndInProgramFiles) {
    host_.kind = OsKind::Nt5OrLater;
    EXPECT_EQ(config_.CfgPath(),
              Machine() + "/Windows/System32/spool/Drivers/W32x86/3/A_DD148J.CFG");
    EXPECT_EQ(config_.UcfPath(), Machine() + "/Program Files/ARVEN/ARVEN WL-4000/A_DD148J.UCF");
    host_.driverName = "ARVEN Wideline 400U";
    host_.inkSet = 2;
    EXPECT_EQ(config_.CfgPath(),
              Machine() + "/Windows/System32/spool/Drivers/W32x86/3/A_DD248E.CFG");
    EXPECT_EQ(config_.UcfPath(),
              Machine() + "/Program Files/ARVEN/ARVEN Wideline 400U/A_DD248E.UCF");
}

TEST_F(LocationTest, NtFourUsesDirectoryTwoAndProgramFilesDir) {
    host_.kind = OsKind::NtBefore5;
    SetProgramFiles("ProgramFilesDir", reg::REG_SZ, Machine() + "/Apps");
    EXPECT_EQ(config_.CfgPath(),
              Machine() + "/Windows/System32/spool/Drivers/W32x86/2/A_DD148J.CFG");
    EXPECT_EQ(config_.UcfPath(), Machine() + "/Apps/ARVEN/ARVEN WL-4000/A_DD148J.UCF");
}

TEST_F(LocationTest, OnlyNtFiveExpandsTheProgramFilesValue) {
    testsupport::ScopedEnvironment sub("PLENWISE_TEST_SUB", "Expanded");
    SetProgramFiles("ProgramFilesDir", reg::REG_EXPAND_SZ, Machine() + "/%PLENWISE_TEST_SUB%");
    SetProgramFiles("ProgramFilesPath", reg::REG_EXPAND_SZ, Machine() + "/%PLENWISE_TEST_SUB%");
    host_.kind = OsKind::Nt5OrLater;
    EXPECT_EQ(config_.UcfPath(), Machine() + "/Expanded/ARVEN/ARVEN WL-4000/A_DD148J.UCF");
    host_.kind = OsKind::NtBefore5;
    EXPECT_EQ(config_.UcfPath(),
              Machine() + "/%PLENWISE_TEST_SUB%/ARVEN/ARVEN WL-4000/A_DD148J.UCF");
    // A plain string is taken as it stands on NT 5 too.
    SetProgramFiles("ProgramFilesPath", reg::REG_SZ, Machine() + "/%PLENWISE_TEST_SUB%");
    host_.kind = OsKind::Nt5OrLater;
    EXPECT_EQ(config_.UcfPath(),
              Machine() + "/%PLENWISE_TEST_SUB%/ARVEN/ARVEN WL-4000/A_DD148J.UCF");
}

TEST_F(LocationTest, WindowsNinetyEightKeepsTheUcfInTheWindowsDirectory) {
    host_.kind = OsKind::Windows9x;
    EXPECT_EQ(config_.CfgPath(), "");
    EXPECT_EQ(config_.UcfPath(), Machine() + "/Windows/AriuiJ78.UC0");
    host_.inkSet = 2;
    host_.driverName = "ARVEN Wideline 400U";
    EXPECT_EQ(config_.UcfPath(), Machine() + "/Windows/AriuiE78.UC1");
    EXPECT_EQ(drivercfg::RegistryBaseName(1), "CFGDAT_DATA_A");
    EXPECT_EQ(drivercfg::RegistryBaseName(2), "CFGDAT_DATA_B");
    EXPECT_EQ(drivercfg::RegistryBaseName(3), "CFGDAT_DATA_C");
    EXPECT_EQ(drivercfg::RegistryBaseName(4), "CFGDAT_DATA");
    EXPECT_EQ(drivercfg::RegistryKeyPath("ARVEN Wideline 400U"),
              "Software\\ARVEN\\9XPrinterDriver\\CFG_DAT\\ARVEN Wideline 400U");
}

TEST_F(LocationTest, AnUnknownSystemHasNoLocations) {
    host_.kind = OsKind::Other;
    EXPECT_EQ(config_.CfgPath(), "");
    EXPECT_EQ(config_.UcfPath(), "");
    std::vector<std::string> names{"stale"};
    EXPECT_EQ(config_.ListUserNames(100, names), 0);
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(config_.LoadBase(0x10, 1));
    EXPECT_EQ(config_.ModesOf(0x10), 0);
    EXPECT_FALSE(config_.ReadSlotCounts());
    store_.userSlotCount = 4;
    EXPECT_EQ(config_.SaveUser("Anything"), DriverMediaConfig::kSaveFailed);
}

TEST_F(LocationTest, AnUnusableProgramFilesValueLeavesNoUcf) {
    host_.kind = OsKind::Nt5OrLater;
    reg::HKEY key = nullptr;
    ASSERT_EQ(
        reg::RegCreateKeyEx(reg::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                            reg::KEY_ALL_ACCESS, &key, nullptr),
        reg::ERROR_SUCCESS);
    reg::RegDeleteValue(key, "ProgramFilesPath");
    reg::RegCloseKey(key);
    // Missing: never a path at the root of the file system.
    EXPECT_EQ(config_.UcfPath(), "");
    SetProgramFiles("ProgramFilesPath", reg::REG_SZ, "Program Files");
    EXPECT_EQ(config_.UcfPath(), "");
    SetMachineValue("Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesPath",
                    reg::REG_DWORD, {1, 0, 0, 0});
    EXPECT_EQ(config_.UcfPath(), "");
    SetProgramFiles("ProgramFilesPath", reg::REG_SZ, "/" + std::string(5000, 'p'));
    EXPECT_EQ(config_.UcfPath(), "");
}

TEST_F(LocationTest, ADriverNameThatIsNoFolderNameLeavesNoUcf) {
    host_.kind = OsKind::Nt5OrLater;
    for (const char* name : {"", ".", "..", "../../etc", "ARVEN/WL-4000"}) {
        host_.driverName = name;
        EXPECT_EQ(config_.UcfPath(), "") << name;
    }
}

}  // namespace
