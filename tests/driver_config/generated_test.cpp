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

// Little-endian fields of a file's bytes, read here rather than by the code under test.
uint32_t At16(const std::string& bytes, std::size_t at) {
    return static_cast<uint8_t>(bytes.at(at)) | static_cast<uint8_t>(bytes.at(at + 1)) << 8;
}
uint32_t At32(const std::string& bytes, std::size_t at) {
    return At16(bytes, at) | At16(bytes, at + 2) << 16;
}

TEST_F(GeneratedConfigTest, TheSecondFamilysFilesBearItsModelsNames) {
    ASSERT_EQ(Run("--install " + Quoted(Machine()) + " --os-kind 3"), 0);
    const std::string drivers = Machine() + "/Windows/System32/spool/Drivers/W32x86/";
    const std::string programs = Machine() + "/Program Files/ARVEN/";

    // The Wideline 300-D keeps one configuration, A_DD14PE, for every ink set, and no A_FCF files
    // (A_FCF098E.CFG is the Wideline 300's).
    EXPECT_EQ(At32(ScratchDir::Read(drivers + "3/A_DD14PE.CFG"), 0), 0x500u);
    EXPECT_FALSE(std::filesystem::exists(drivers + "3/A_DD24PE.CFG"));
    ASSERT_TRUE(std::filesystem::is_directory(programs + "ARVEN Wideline 300-D"));
    EXPECT_TRUE(std::filesystem::is_empty(programs + "ARVEN Wideline 300-D"));

    // The WL-2000 with ink set 2: both configurations, and the second one's empty user file
    // with as many slots as its configuration names; the first user file is util's to make.
    const std::string cfg = ScratchDir::Read(drivers + "3/A_DD24QJ.CFG");
    const std::string second = ScratchDir::Read(drivers + "3/A_FCF197J.CFG");
    EXPECT_EQ(At32(cfg, 0), 0x500u);
    ASSERT_GE(second.size(), 32u);
    EXPECT_EQ(At32(second, 0), 0x710u);
    const std::string ucfPath = programs + "ARVEN WL-2000/A_FCF197J.UCF";
    const std::string ucf = ScratchDir::Read(ucfPath);
    EXPECT_EQ(ucf.size(), 2u + At16(second, 24) * 408);
    EXPECT_EQ(At16(second, 24), simdriver::kSecondUserSlots);
    EXPECT_EQ(ucf.substr(0, 2), std::string("\x10\x07", 2));
    EXPECT_EQ(ucf.find_first_not_of('\0', 2), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(programs + "ARVEN WL-2000/A_DD24QJ.UCF"));

    // A second installation keeps what was saved in the user file.
    WriteFile(ucfPath, std::string("\x10\x07", 2) + "saved" + ucf.substr(7));
    ASSERT_EQ(Run("--install " + Quoted(Machine())), 0);
    EXPECT_EQ(ScratchDir::Read(ucfPath).substr(2, 5), "saved");
    // The second configuration serves NT 5.0 and later only, from directory 3.
    EXPECT_TRUE(std::filesystem::exists(drivers + "2/A_DD24QJ.CFG"));
    EXPECT_FALSE(std::filesystem::exists(drivers + "2/A_FCF197J.CFG"));
}

TEST_F(GeneratedConfigTest, TheSecondConfigurationHoldsTheFirstsRecordsIn128Bytes) {
    const std::string first = ScratchDir::Read(std::string(DRIVER_CFG_DIR) + "/A_DD24QJ.CFG");
    const std::string second = ScratchDir::Read(std::string(DRIVER_CFG_DIR) + "/A_FCF197J.CFG");
    ASSERT_GE(second.size(), 32u);
    EXPECT_EQ(At32(second, 4), second.size());
    ASSERT_EQ(At32(second, 8), 16u);
    const uint32_t secondPart = At16(second, 18);
    const uint32_t firstPart = At16(second, 20);
    EXPECT_EQ(secondPart, At16(first, 18));
    EXPECT_EQ(firstPart, At16(first, 20));
    EXPECT_EQ(At16(second, 26), 0u);  // no extra records
    const std::size_t records = firstPart + secondPart;
    ASSERT_GT(secondPart, 0u);
    ASSERT_EQ(second.size(), 32 + records * 128);
    ASSERT_EQ(first.size(), 32 + records * 102);

    for (std::size_t i = 0; i < records; ++i) {
        SCOPED_TRACE(i);
        const std::size_t a = 32 + i * 102;
        const std::size_t b = 32 + i * 128;
        EXPECT_EQ(At32(second, b + 8), At32(first, a + 8));    // media ID
        EXPECT_EQ(At32(second, b), At32(first, a));            // mode code and level
        EXPECT_EQ(At32(second, b + 12), At32(first, a + 12));  // in use
        EXPECT_EQ(second.substr(b + 80, 7), first.substr(a + 56, 7));
        EXPECT_EQ(At32(second, b + 124), 1u);
    }
    // The first record in use: Plain Paper, standard mode, ink set 2 two steps lighter.
    const std::size_t plain = 32 + 128;
    EXPECT_EQ(At32(second, plain + 8), 0x0010u);
    EXPECT_EQ(At16(second, plain), 0u);
    EXPECT_EQ(At16(second, plain + 2), 1u);
    EXPECT_EQ(At32(second, plain + 12), 1u);
    EXPECT_EQ(second.substr(plain + 80, 6), std::string("\xFE\x00\x00\x01\x3C\x00", 6));
    // The high-quality part begins with a mode code and no level.
    const std::size_t quality = 32 + firstPart * 128;
    EXPECT_TRUE(At16(second, quality) == 6 || At16(second, quality) == 15);
    EXPECT_EQ(At16(second, quality + 2), 0u);
}

TEST_F(GeneratedConfigTest, TheSecondFamilysRegistryFormNamesInkSets3And4) {
    ASSERT_EQ(Run("--install " + Quoted(Machine()) + " --os-kind 1"), 0);
    const std::string key = drivercfg::RegistryKeyPath("ARVEN WL-2000") + '\\';
    // The chunks of a base name, joined.
    const auto data = [&](const std::string& base) {
        std::string joined;
        reg::HKEY handle = nullptr;
        if (reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE, (key + base).c_str(), reg::KEY_QUERY_VALUE,
                              &handle) != reg::ERROR_SUCCESS) {
            return joined;
        }
        uint32_t count = 0;
        reg::DWORD size = sizeof count;
        reg::DWORD type = 0;
        reg::RegQueryValueEx(handle, (base + "NUM").c_str(), &type,
                             reinterpret_cast<uint8_t*>(&count), &size);
        for (uint32_t k = 0; k <= count && k < 64; ++k) {
            std::vector<uint8_t> chunk(4096);
            size = static_cast<reg::DWORD>(chunk.size());
            const std::string name = k == 0 ? base : base + std::to_string(k + 1);
            if (reg::RegQueryValueEx(handle, name.c_str(), &type, chunk.data(), &size) ==
                reg::ERROR_SUCCESS) {
                joined.append(chunk.begin(), chunk.begin() + size);
            }
        }
        reg::RegCloseKey(handle);
        return joined;
    };
    EXPECT_EQ(data("CFGDAT_DATA_C"),
              ScratchDir::Read(std::string(DRIVER_CFG_DIR) + "/A_DD34QJ.CFG"));
    EXPECT_EQ(data("CFGDAT_DATA"), ScratchDir::Read(std::string(DRIVER_CFG_DIR) + "/A_DD44QJ.CFG"));
    EXPECT_EQ(data("CFGDAT_DATA_B"),
              ScratchDir::Read(std::string(DRIVER_CFG_DIR) + "/A_DD24QJ.CFG"));
    EXPECT_GT(data("CFGDAT_DATA_C").size(), 2048u);
    // The first family has no third ink set.
    const std::string first = drivercfg::RegistryKeyPath("ARVEN WL-4000") + "\\CFGDAT_DATA_C";
    reg::HKEY handle = nullptr;
    EXPECT_NE(
        reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE, first.c_str(), reg::KEY_QUERY_VALUE, &handle),
        reg::ERROR_SUCCESS);
}

TEST_F(GeneratedConfigTest, RefusesWhatItDoesNotUnderstand) {
    EXPECT_EQ(Run(""), 2);
    EXPECT_EQ(Run("--install " + Quoted(Machine()) + " --os-kind 4"), 2);
    EXPECT_EQ(Run("--install " + Quoted(Machine()) + " --kind 1"), 2);
    EXPECT_EQ(Run("--out"), 2);
}

}  // namespace
