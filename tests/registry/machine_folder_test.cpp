// The machine folder: its layout, its version and its program files values.
#include "platform/registry/machine_folder.h"

#include <gtest/gtest.h>

#include <string>

#include "registry_environment.h"

namespace {

class MachineFolderTest : public RegistryEnvironment {
  protected:
    std::string Machine() const { return folder() + "/machine"; }

    std::string ProgramFilesValue(const char* name) {
        reg::HKEY key = nullptr;
        EXPECT_EQ(
            reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE,
                              "Software\\Microsoft\\Windows\\CurrentVersion", reg::KEY_READ, &key),
            reg::ERROR_SUCCESS);
        Stored stored = Query(key, name);
        reg::RegCloseKey(key);
        EXPECT_EQ(stored.type, reg::REG_SZ) << name;
        return std::string(stored.data.begin(), stored.data.end());
    }
};

TEST_F(MachineFolderTest, IsCreatedWithTheWindowsLayoutAndDefaults) {
    EXPECT_EQ(machine::MachineFolder(), Machine());
    ASSERT_TRUE(machine::EnsureMachineFolder());
    for (const char* directory :
         {"Windows", "Windows/System32", "Windows/System32/spool/Drivers/W32x86/2",
          "Windows/System32/spool/Drivers/W32x86/3", "Program Files"}) {
        EXPECT_TRUE(std::filesystem::is_directory(Machine() + '/' + directory)) << directory;
    }
    EXPECT_EQ(ReadText(Machine() + "/version.ini"),
              "[Version]\nPlatformId=2\nMajorVersion=5\nMinorVersion=1\n");
    machine::OsVersionInfo version = machine::GetVersionEx();
    EXPECT_EQ(version.platformId, machine::kPlatformNt);
    EXPECT_EQ(version.majorVersion, 5u);
    EXPECT_EQ(version.minorVersion, 1u);

    EXPECT_EQ(machine::GetWindowsDirectory(), Machine() + "/Windows");
    EXPECT_EQ(machine::GetSystemDirectory(), Machine() + "/Windows/System32");
    const std::string programFiles = Machine() + "/Program Files";
    EXPECT_EQ(ProgramFilesValue("ProgramFilesDir"), programFiles + '\0');
    EXPECT_EQ(ProgramFilesValue("ProgramFilesPath"), programFiles + '\0');
    EXPECT_NE(ReadText(reg::MachineHivePath())
                  .find("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\n"
                        "\"ProgramFilesDir\"=\"" +
                        programFiles + "\"\n\"ProgramFilesPath\"=\"" + programFiles + "\"\n"),
              std::string::npos);
}

TEST_F(MachineFolderTest, PreparingAgainKeepsWhatIsThere) {
    ASSERT_TRUE(machine::EnsureMachineFolder());
    ASSERT_TRUE(machine::SetVersion({machine::kPlatformWindows, 4, 10}));
    reg::HKEY key = Create(reg::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion");
    ASSERT_EQ(SetString(key, "ProgramFilesDir", "/elsewhere"), reg::ERROR_SUCCESS);
    ASSERT_EQ(reg::RegDeleteValue(key, "ProgramFilesPath"), reg::ERROR_SUCCESS);
    reg::RegCloseKey(key);
    WriteText(Machine() + "/Windows/System32/spool/Drivers/W32x86/3/A_DD148J.CFG", "driver");

    ASSERT_TRUE(machine::EnsureMachineFolder());
    machine::OsVersionInfo version = machine::GetVersionEx();
    EXPECT_EQ(version.platformId, machine::kPlatformWindows);
    EXPECT_EQ(version.majorVersion, 4u);
    EXPECT_EQ(version.minorVersion, 10u);
    EXPECT_EQ(ProgramFilesValue("ProgramFilesDir"), std::string("/elsewhere") + '\0');
    EXPECT_EQ(ProgramFilesValue("ProgramFilesPath"), Machine() + "/Program Files" + '\0');
    EXPECT_EQ(ReadText(Machine() + "/Windows/System32/spool/Drivers/W32x86/3/A_DD148J.CFG"),
              "driver");
}

TEST_F(MachineFolderTest, ReachingTheMachineHivePreparesTheFolder) {
    EXPECT_EQ(ProgramFilesValue("ProgramFilesPath"), Machine() + "/Program Files" + '\0');
    EXPECT_TRUE(
        std::filesystem::is_directory(Machine() + "/Windows/System32/spool/Drivers/W32x86/2"));
    EXPECT_TRUE(std::filesystem::exists(Machine() + "/version.ini"));
}

TEST_F(MachineFolderTest, UnreadableVersionEntriesTakeTheirDefaults) {
    ASSERT_TRUE(machine::EnsureMachineFolder());
    WriteText(Machine() + "/version.ini",
              "; machine of the tests\r\n[Other]\r\nPlatformId=1\r\n[VERSION]\r\n"
              "platformid = 1\r\nMajorVersion=4x\r\nMinorVersion=99999999999\r\n");
    machine::OsVersionInfo version = machine::GetVersionEx();
    EXPECT_EQ(version.platformId, 1u);
    EXPECT_EQ(version.majorVersion, 5u);
    EXPECT_EQ(version.minorVersion, 1u);

    WriteText(Machine() + "/version.ini", std::string(200000, 'x'));
    version = machine::GetVersionEx();
    EXPECT_EQ(version.platformId, machine::kPlatformNt);
    EXPECT_EQ(version.majorVersion, 5u);
}

TEST_F(MachineFolderTest, DefaultsToTheXdgDataDirectory) {
    ScopedEnvironment noMachine("PLENWISE_MACHINE", nullptr);
    ScopedEnvironment data("XDG_DATA_HOME", folder() + "/data");
    EXPECT_EQ(machine::MachineFolder(), folder() + "/data/plenwise/machine");
    EXPECT_EQ(reg::MachineHivePath(), folder() + "/data/plenwise/machine/machine.reg");
    ScopedEnvironment home("HOME", folder() + "/home");
    ScopedEnvironment noData("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(machine::MachineFolder(), folder() + "/home/.local/share/plenwise/machine");
}

}  // namespace
