// The driver's media configuration: its layout read safely from files and registry chunks, and
// the base records, print modes and slot counts taken from it.
#include <gtest/gtest.h>

#include "tests/driver_config/config_fixture.h"

namespace {

using configtest::AsString;
using configtest::Cfg;
using configtest::CfgLayout;
using configtest::ConfigTest;
using configtest::DriverRecord;
using drivercfg::MediaConfiguration;

std::vector<uint8_t> Join(const std::vector<std::vector<uint8_t>>& parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, std::size_t from, std::size_t to) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(std::min(to, bytes.size()))};
}

TEST(MediaConfigurationTest, ReadsDirectoryAndRecordsOfBothParts) {
    CfgLayout layout;
    layout.directoryOffset = 40;
    layout.userSlots = 30;
    layout.extras = 7;
    layout.secondPart = 1;
    const auto config = MediaConfiguration::Parse(
        Cfg({DriverRecord(1, 1, 0), DriverRecord(2, 2, 0), DriverRecord(3, 0, 6)}, layout));
    ASSERT_TRUE(config.hasDirectory);
    EXPECT_EQ(config.userSlotCount, 30);
    EXPECT_EQ(config.extraRecordCount, 7);
    ASSERT_EQ(config.records.size(), 3u);
    EXPECT_EQ(config.records[2].MediaId(), 3u);
    EXPECT_EQ(config.records[2].ModeCode(), 6);
}

TEST(MediaConfigurationTest, ReadsNothingBeyondTheData) {
    const auto whole = Cfg({DriverRecord(1, 1, 0), DriverRecord(2, 1, 0)});
    EXPECT_FALSE(MediaConfiguration::Parse({}).hasDirectory);
    EXPECT_FALSE(MediaConfiguration::Parse(Slice(whole, 0, 11)).hasDirectory);
    // The directory is cut short.
    EXPECT_FALSE(MediaConfiguration::Parse(Slice(whole, 0, 31)).hasDirectory);
    // Only whole records count: one and a half are one.
    auto cut = MediaConfiguration::Parse(Slice(whole, 0, 32 + 102 + 51));
    EXPECT_TRUE(cut.hasDirectory);
    EXPECT_EQ(cut.records.size(), 1u);

    // Counts that promise more than there is.
    CfgLayout lying;
    lying.declaredRecords = 60000;
    EXPECT_EQ(MediaConfiguration::Parse(Cfg({DriverRecord(1, 1, 0)}, lying)).records.size(), 1u);
    // A directory offset far beyond the data, also one that would wrap around.
    for (uint32_t offset : {230u, 0xFFFFFFF8u, 0xFFFFFFFFu}) {
        auto bytes = whole;
        configtest::Put32(bytes, 8, offset);
        EXPECT_FALSE(MediaConfiguration::Parse(bytes).hasDirectory) << offset;
    }
}

TEST_F(ConfigTest, BaseRecordsMatchMediaInUseAndMode) {
    std::vector<UserMediaRecord> records{
        DriverRecord(5, 1, 0, 0, 9),        // withdrawn
        DriverRecord(5, 1, 0, 2, 9),        // not "in use" either
        DriverRecord(5, 1, 0, 1, 3),        // the first match for flag 1
        DriverRecord(5, 1, 0, 1, 4),        //
        DriverRecord(5, 2, 0, 1, 5),        // flag 2
        DriverRecord(5, 2, 6, 1, 6),        // flags 2 and 4
        DriverRecord(6, 0, 15, 1, 7),       // flags 1 and 8
        DriverRecord(0x10005, 1, 0, 1, 8),  // another ID, equal in its low 16 bits
    };
    WriteFile(config_.CfgPath(), AsString(Cfg(records)));
    store_.working.SetDensity(-20);
    const MediaWorkingCopy before = store_.working;

    ASSERT_TRUE(config_.LoadBase(5, 1));
    EXPECT_EQ(store_.record.bytes, records[2].bytes);
    EXPECT_EQ(store_.working.bytes, before.bytes);
    ASSERT_TRUE(config_.LoadBase(5, 2));
    EXPECT_EQ(store_.record.bytes, records[4].bytes);
    ASSERT_TRUE(config_.LoadBase(5, 4));
    EXPECT_EQ(store_.record.bytes, records[5].bytes);
    ASSERT_TRUE(config_.LoadBase(6, 1));
    EXPECT_EQ(store_.record.bytes, records[6].bytes);
    ASSERT_TRUE(config_.LoadBase(0x10005, 1));
    EXPECT_EQ(store_.record.bytes, records[7].bytes);
    EXPECT_FALSE(config_.LoadBase(5, 8));
    EXPECT_FALSE(config_.LoadBase(5, 3));
    EXPECT_FALSE(config_.LoadBase(5, 0));
    EXPECT_FALSE(config_.LoadBase(7, 1));
    EXPECT_EQ(store_.record.bytes, records[7].bytes);

    EXPECT_EQ(config_.ModesOf(5), 1 | 2 | 4);
    EXPECT_EQ(config_.ModesOf(6), 1 | 8);
    EXPECT_EQ(config_.ModesOf(0x10005), 1);
    EXPECT_EQ(config_.ModesOf(7), 0);
}

TEST_F(ConfigTest, ARecordOfModeCodeSixAndLevelTwoAnswersSix) {
    WriteFile(config_.CfgPath(), AsString(Cfg({DriverRecord(0x21, 2, 6)})));
    EXPECT_EQ(config_.ModesOf(0x21), 6);
    // A level the driver does not define adds nothing.
    WriteFile(config_.CfgPath(), AsString(Cfg({DriverRecord(0x21, 3, 15)})));
    EXPECT_EQ(config_.ModesOf(0x21), 8);
}

TEST_F(ConfigTest, SlotCountsComeFromTheDirectory) {
    CfgLayout layout;
    layout.userSlots = 25;
    layout.extras = 3;
    WriteFile(config_.CfgPath(), AsString(Cfg({}, layout)));
    ASSERT_TRUE(config_.ReadSlotCounts());
    EXPECT_EQ(store_.userSlotCount, 25);
    EXPECT_EQ(store_.extraRecordCount, 3);

    WriteFile(config_.CfgPath(), "short");
    EXPECT_FALSE(config_.ReadSlotCounts());
    EXPECT_EQ(store_.userSlotCount, 25);
    std::filesystem::remove(config_.CfgPath());
    EXPECT_FALSE(config_.ReadSlotCounts());
    EXPECT_FALSE(config_.LoadBase(1, 1));
    EXPECT_EQ(config_.ModesOf(1), 0);
}

TEST_F(ConfigTest, InkSetTwoOnWindows98ReadsEveryChunkOfTheBaseNameB) {
    host_.kind = OsKind::Windows9x;
    host_.inkSet = 2;
    const auto data = Cfg(
        {DriverRecord(1, 1, 0, 1, 1), DriverRecord(2, 1, 0, 1, 2), DriverRecord(3, 2, 0, 1, 3)});
    // Chunks that cut records in two.
    SetChunk("CFGDAT_DATA_B", Slice(data, 0, 100));
    SetChunk("CFGDAT_DATA_B2", Slice(data, 100, 250));
    SetChunk("CFGDAT_DATA_B3", Slice(data, 250, data.size()));
    SetChunkCount("CFGDAT_DATA_BNUM", 2);
    // The other ink set's data is there too and must not be taken.
    host_.inkSet = 1;
    SetChunk("CFGDAT_DATA_A", Cfg({DriverRecord(9, 1, 0)}));
    host_.inkSet = 2;

    EXPECT_EQ(drivercfg::ReadCfgRegistry(host_.driverName, 2), data);
    ASSERT_TRUE(config_.LoadBase(3, 2));
    EXPECT_EQ(store_.record.bytes[UserMediaRecord::kDensityOffset], 3);
    EXPECT_FALSE(config_.LoadBase(9, 1));
    ASSERT_TRUE(config_.ReadSlotCounts());
    EXPECT_EQ(store_.userSlotCount, 4);
}

TEST_F(ConfigTest, TheChunkCountDecidesWhichContinuationsAreRead) {
    host_.kind = OsKind::Windows9x;
    const std::vector<uint8_t> first{1, 2, 3};
    const std::vector<uint8_t> second{4, 5};
    const std::vector<uint8_t> third{6};
    SetChunk("CFGDAT_DATA_A", first);
    SetChunk("CFGDAT_DATA_A2", second);
    SetChunk("CFGDAT_DATA_A3", third);
    const std::string& driver = host_.driverName;

    // No count value: the first chunk alone.
    EXPECT_EQ(drivercfg::ReadCfgRegistry(driver, 1), first);
    SetChunkCount("CFGDAT_DATA_ANUM", 0);
    EXPECT_EQ(drivercfg::ReadCfgRegistry(driver, 1), first);
    SetChunkCount("CFGDAT_DATA_ANUM", 1);
    EXPECT_EQ(drivercfg::ReadCfgRegistry(driver, 1), Join({first, second}));
    // A missing chunk counts as empty.
    reg::HKEY key = nullptr;
    ASSERT_EQ(reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE,
                                (drivercfg::RegistryKeyPath(driver) + "\\CFGDAT_DATA_A").c_str(),
                                reg::KEY_ALL_ACCESS, &key),
              reg::ERROR_SUCCESS);
    reg::RegDeleteValue(key, "CFGDAT_DATA_A2");
    reg::RegCloseKey(key);
    SetChunkCount("CFGDAT_DATA_ANUM", 2);
    EXPECT_EQ(drivercfg::ReadCfgRegistry(driver, 1), Join({first, third}));

    // A count far beyond the chunks there are: only a bounded number of names is tried, so a
    // chunk past the bound is not reached.
    SetChunk("CFGDAT_DATA_A" + std::to_string(drivercfg::kMaxContinuationChunks + 2), {9});
    SetChunkCount("CFGDAT_DATA_ANUM", 0xFFFFFFFF);
    EXPECT_EQ(drivercfg::ReadCfgRegistry(driver, 1), Join({first, third}));
    // A count that is no 32-bit number counts as none.
    SetChunk("CFGDAT_DATA_ANUM", {2, 0});
    EXPECT_EQ(drivercfg::ReadCfgRegistry(driver, 1), first);
    EXPECT_TRUE(drivercfg::ReadCfgRegistry("ARVEN Nothing", 1).empty());
}

}  // namespace
