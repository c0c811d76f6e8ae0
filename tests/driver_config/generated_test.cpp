// The simulated driver's configuration files as make-driver-cfg writes and installs them, read
// back the way util reads them on each kind of Windows.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <set>

#include "sim/driver/media_catalog.h"
#include "tests/driver_config/config_fixture.h"

namespace {

using configtest::ConfigTest;
using testsupport::ScratchDir;

constexpr OsKind kKinds[] = {OsKind::Windows9x, OsKind::NtBefore5, OsKind::Nt5OrLater};

class GeneratedConfigTest : public ConfigTest {
  protected:
    static int Run(const std::string& arguments) {
        const std::string command =
            std::string("'") + MAKE_DRIVER_CFG + "' " + arguments + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Quoted(const std::string& path) const { return "'" + path + "'"; }

    // The media IDs of the in-use records, in the order they first appear.
    static std::vector<uint16_t> MediaIds(const drivercfg::MediaConfiguration& config) {
        std::vector<uint16_t> ids;
        std::set<uint32_t> seen;
        for (const UserMediaRecord& record : config.records) {
            if (record.InUse() == UserMediaRecord::kInUse && seen.insert(record.MediaId()).second) {
                ids.push_back(static_cast<uint16_t>(record.MediaId()));
            }
        }
        return ids;
    }
};

TEST_F(GeneratedConfigTest, EveryKindOfWindowsReadsTheDriversMedia) {
    ASSERT_EQ(Run("--install " + Quoted(Machine())), 0);
    int checked = 0;
    // util reads the first family's files; the second family's are read below.
    for (const simdriver::Model& model : simdriver::Models()) {
        if (!model.customMedia || model.family != simdriver::Family::First) {
            continue;
        }
        for (int32_t inkSet : {1, 2}) {
            host_.driverName = std::string(model.driverName);
            host_.inkSet = inkSet;
            std::vector<uint16_t> listed;
            for (const simdriver::Media* media : simdriver::MediaOf(inkSet)) {
                listed.push_back(media->id);
            }
            std::vector<UserMediaRecord> first;
            for (OsKind kind : kKinds) {
                SCOPED_TRACE(host_.driverName + " ink set " + std::to_string(inkSet) + " kind " +
                             std::to_string(static_cast<int>(kind)));
                host_.kind = kind;
                const drivercfg::MediaConfiguration config = config_.ReadConfiguration();
                ASSERT_TRUE(config.hasDirectory);
                EXPECT_EQ(config.userSlotCount, simdriver::kUserSlots);
                EXPECT_EQ(config.extraRecordCount, simdriver::kExtraRecords);
                // The media the settings library lists are those with records.
                EXPECT_EQ(MediaIds(config), listed);
                for (const simdriver::Media* media : simdriver::MediaOf(inkSet)) {
                    EXPECT_EQ(config_.ModesOf(media->id), media->modes) << media->name;
                    EXPECT_TRUE(config_.LoadBase(media->id, 1)) << media->name;
                    EXPECT_EQ(store_.record.InUse(), UserMediaRecord::kInUse);
                }
                if (first.empty()) {
                    first = config.records;
                } else {
                    ASSERT_EQ(config.records.size(), first.size());
                    for (std::size_t i = 0; i < first.size(); ++i) {
                        EXPECT_EQ(config.records[i].bytes, first[i].bytes) << i;
                    }
                }
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 2 * 2 * 3);
}

TEST_F(GeneratedConfigTest, TheRegistryFormNeedsContinuationChunks) {
    ASSERT_EQ(Run("--install " + Quoted(Machine()) + " --os-kind 1"), 0);
    host_.kind = OsKind::Windows9x;
    host_.inkSet = 2;
    reg::HKEY key = nullptr;
    const std::string path = drivercfg::RegistryKeyPath(host_.driverName) + "\\CFGDAT_DATA_B";
    ASSERT_EQ(reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE, path.c_str(), reg::KEY_QUERY_VALUE, &key),
              reg::ERROR_SUCCESS);
    uint32_t count = 0;
    reg::DWORD size = sizeof count;
    reg::DWORD type = 0;
    EXPECT_EQ(reg::RegQueryValueEx(key, "CFGDAT_DATA_BNUM", &type,
                                   reinterpret_cast<uint8_t*>(&count), &size),
              reg::ERROR_SUCCESS);
    reg::RegCloseKey(key);
    EXPECT_EQ(type, reg::REG_DWORD);
    EXPECT_GE(count, 1u);
    const std::vector<uint8_t> data = drivercfg::ReadCfgRegistry(host_.driverName, 2);
    const std::string file = ScratchDir::Read(std::string(DRIVER_CFG_DIR) + "/A_DD248J.CFG");
    EXPECT_EQ(std::string(data.begin(), data.end()), file);
    // Only the registry form was installed.
    EXPECT_FALSE(std::filesystem::exists(Machine() +
                                         "/Windows/System32/spool/Drivers/W32x86/3/A_DD248J.CFG"));
}

TEST_F(GeneratedConfigTest, OneKindInstallsItsFilesAndTheUserConfigurationFolder) {
    ASSERT_EQ(Run("--install " + Quoted(Machine()) + " --os-kind 2"), 0);
    const std::string drivers = Machine() + "/Windows/System32/spool/Drivers/W32x86/";
    for (const char* name : {"A_DD148J.CFG", "A_DD248J.CFG", "A_DD148E.CFG", "A_DD248E.CFG"}) {
        EXPECT_EQ(ScratchDir::Read(drivers + "2/" + name),
                  ScratchDir::Read(std::string(DRIVER_CFG_DIR) + '/' + name))
            << name;
        EXPECT_FALSE(std::filesystem::exists(drivers + "3/" + name)) << name;
    }
    EXPECT_TRUE(drivercfg::ReadCfgRegistry(host_.driverName, 1).empty());

    // A setting registered on the installed machine creates the driver's UCF.
    host_.kind = OsKind::NtBefore5;
    host_.driverName = "ARVEN Wideline 400U";
    ASSERT_TRUE(config_.ReadSlotCounts());
    ASSERT_TRUE(config_.LoadBase(0x0020, 1));
    store_.working.TakeFrom(store_.record);
    ASSERT_EQ(config_.SaveUser("Glossy warm"), 0);
    EXPECT_EQ(std::filesystem::file_size(config_.UcfPath()),
              2u + simdriver::kUserSlots * 102 + simdriver::kExtraRecords * 84);
    EXPECT_EQ(config_.UserMediaId("Glossy warm"), 0x0020u);
}

TEST_F(GeneratedConfigTest, TheBuildTreeHoldsTheRegistryFormForPeople) {
    const std::string text = ScratchDir::Read(std::string(DRIVER_CFG_DIR) + "/CFG_DAT.reg");
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    for (const char* line :
         {"[HKEY_LOCAL_MACHINE\\Software\\ARVEN\\9XPrinterDriver\\CFG_DAT\\ARVEN WL-4000\\"
          "CFGDAT_DATA_A]",
          "[HKEY_LOCAL_MACHINE\\Software\\ARVEN\\9XPrinterDriver\\CFG_DAT\\ARVEN Wideline 400U\\"
          "CFGDAT_DATA_B]",
          "\"CFGDAT_DATA_B2\"=hex:", "\"CFGDAT_DATA_ANUM\"=dword:0000000"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
}

TEST_F(GeneratedConfigTest, RefusesWhatItDoesNotUnderstand) {
    EXPECT_EQ(Run(""), 2);
    EXPECT_EQ(Run("--install " + Quoted(Machine()) + " --os-kind 4"), 2);
    EXPECT_EQ(Run("--install " + Quoted(Machine()) + " --kind 1"), 2);
    EXPECT_EQ(Run("--out"), 2);
}

}  // namespace
