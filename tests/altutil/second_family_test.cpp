#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "altutil/second_family.h"
#include "altutil/second_media_config.h"
#include "platform/registry/machine_folder.h"
#include "tests/support/faulty_file_calls.h"
#include "tests/support/scratch.h"
#include "util/settings/driver_media_config.h"

namespace {

using testsupport::ScratchDir;
namespace fs = std::filesystem;

class FakeHost : public UserSettingsHost {
  public:
    std::string DriverName() const override { return driverName; }
    int32_t DriverInkSet() const override { return inkSet; }
    int32_t PrintMode() const override { return 1; }
    int32_t ModelClass() const override { return altutil::ModelCodeOf(driverName); }
    OsKind HostOsKind() const override { return OsKind::Nt5OrLater; }
    ConfigFileNames ConfigNames() const override {
        return altutil::ConfigFileNamesOf(ModelClass());
    }
    std::string InkModeText() const override { return altutil::InkModeTextOf(inkSet); }
    const MediaTypeTable& MediaTypes() const override { return media; }

    std::string driverName = "ARVEN WL-2000";
    int32_t inkSet = 2;
    MediaTypeTable media;
};

std::string FileName(const std::string& path) {
    return fs::path(path).filename().string();
}

TEST(SecondFamilyTest, ModelCodesNameTheConfigurationFiles) {
    ScratchDir dir;
    testsupport::ScopedEnvironment machine("PLENWISE_MACHINE", dir / "machine");
    machine::EnsureMachineFolder();
    const int32_t fixed = altutil::ModelCodeOf("ARVEN Wideline 300-D");
    EXPECT_EQ(fixed, 0x25);
    const std::string fixedCfg =
        drivercfg::CfgFilePath(OsKind::Nt5OrLater, 1, altutil::ConfigFileNamesOf(fixed));
    EXPECT_EQ(FileName(fixedCfg), "A_DD14PE.CFG");
    EXPECT_EQ(fs::path(fixedCfg).parent_path().filename(), "3");
    EXPECT_EQ(altutil::SecondCfgPath(fixed, 1), "");
    EXPECT_EQ(FileName(drivercfg::UcfFilePath(OsKind::Windows9x, 2,
                                              altutil::ConfigFileNamesOf(fixed), "x")),
              "AriuiE7P.UCF");

    const int32_t wl2000 = altutil::ModelCodeOf("ARVEN WL-2000");
    EXPECT_EQ(wl2000, 10);
    EXPECT_EQ(
        FileName(drivercfg::CfgFilePath(OsKind::Nt5OrLater, 2, altutil::ConfigFileNamesOf(wl2000))),
        "A_DD24QJ.CFG");
    EXPECT_EQ(FileName(altutil::SecondCfgPath(wl2000, 2)), "A_FCF197J.CFG");
    EXPECT_EQ(FileName(altutil::SecondUcfPath(wl2000, 2, "ARVEN WL-2000")), "A_FCF197J.UCF");
    EXPECT_EQ(FileName(drivercfg::UcfFilePath(OsKind::Windows9x, 3,
                                              altutil::ConfigFileNamesOf(wl2000), "x")),
              "AriuiJ7Q.UC2");
    EXPECT_EQ(FileName(altutil::SecondCfgPath(altutil::ModelCodeOf("ARVEN WL-3000"), 1)),
              "A_FCF098J.CFG");
    EXPECT_EQ(drivercfg::RegistryBaseName(3), "CFGDAT_DATA_C");
    EXPECT_EQ(altutil::ModelCodeOf("ARVEN wl-2000"), 0);
}

TEST(SecondFamilyTest, DriverInkSetsAndTheirExportNames) {
    auto inkSet = [](int32_t fourth, int32_t seventh) {
        driverlib::InkSetQuery answer;
        answer.values[3] = fourth;
        answer.values[6] = seventh;
        return altutil::DriverInkSetOf(answer);
    };
    EXPECT_EQ(inkSet(0, 0xA01), 1);
    EXPECT_EQ(inkSet(0, 0xA0B), 2);
    EXPECT_EQ(inkSet(0, 0xB0B), 3);
    EXPECT_EQ(inkSet(1, 0xB0B), 4);
    EXPECT_EQ(inkSet(0, 11), 1);
    EXPECT_EQ(altutil::InkModeTextOf(3), "B101,3202,4304,5408,6210,7320,B140");
    EXPECT_EQ(altutil::InkModeTextOf(4), "1101,3202,4304,5408,6210,7320,1140");
}

TEST(SecondFamilyTest, NamesKeepThirtyOneUnitsWithoutCuttingAPair) {
    const std::string longName(40, 'n');
    EXPECT_EQ(altutil::NameUnits(longName).size(), 31u);
    // A character beyond the basic plane takes two units; at the limit it is left out whole.
    const std::string clef = "\xF0\x9D\x84\x9E";
    const auto units = altutil::NameUnits(std::string(30, 'a') + clef);
    EXPECT_EQ(units.size(), 30u);
    EXPECT_EQ(altutil::NameText(altutil::NameUnits("a" + clef + "\xC3\xA9")),
              "a" + clef + "\xC3\xA9");
    EXPECT_EQ(altutil::NameText({0xD800, 'x'}), "\xEF\xBF\xBDx");  // an unpaired surrogate
}

// A machine with the WL-2000's A_FCF files: the CFG with its records and the user file.
class SecondStoreTest : public ::testing::Test {
  protected:
    static constexpr int kSlots = 3;

    SecondStoreTest()
        : machine_("PLENWISE_MACHINE", scratch_ / "machine"), settings_(host_), store_(settings_) {
        machine::EnsureMachineFolder();
        cfgPath_ = altutil::SecondCfgPath(10, 2);
        ucfPath_ = altutil::SecondUcfPath(10, 2, "ARVEN WL-2000");
        fs::create_directories(fs::path(cfgPath_).parent_path());
        fs::create_directories(fs::path(ucfPath_).parent_path());
        WriteCfg({Record(0x11, 1, 0, 5), Record(0x11, 2, 0, 6), Record(0x20, 0, 6, 7)});
        WriteUcf({});
    }

    static std::string Record(uint32_t mediaId, uint16_t level, uint16_t code, uint8_t density,
                              uint32_t entryType = 1) {
        std::string record(128, '\0');
        record[0] = static_cast<char>(code);
        record[2] = static_cast<char>(level);
        for (int i = 0; i < 4; ++i) {
            record[8 + i] = static_cast<char>(mediaId >> (8 * i));
        }
        record[12] = 1;
        record[20] = 'D';  // a byte of the driver's, carried
        record[80] = static_cast<char>(density);
        record[124] = static_cast<char>(entryType);
        return record;
    }
    void WriteCfg(const std::vector<std::string>& records) {
        std::string data(32, '\0');
        data[0] = '\x10';
        data[1] = '\x07';
        data[8] = 16;
        data[20] = static_cast<char>(records.size());
        data[24] = kSlots;
        for (const std::string& record : records) {
            data += record;
        }
        std::ofstream(cfgPath_, std::ios::binary) << data;
    }
    static std::string Slot(const std::string& name, const std::string& partB) {
        std::string partA(280, '\0');
        for (size_t i = 0; i < name.size(); ++i) {
            partA[2 * i] = name[i];
        }
        return partA + partB;
    }
    void WriteUcf(const std::vector<std::string>& slots) {
        std::string data("\x10\x07", 2);
        for (int i = 0; i < kSlots; ++i) {
            data += i < static_cast<int>(slots.size()) ? slots[static_cast<size_t>(i)]
                                                       : std::string(408, '\0');
        }
        std::ofstream(ucfPath_, std::ios::binary) << data;
    }
    std::string UcfSlot(int index) const {
        return ScratchDir::Read(ucfPath_).substr(2 + static_cast<size_t>(index) * 408, 408);
    }

    ScratchDir scratch_;
    testsupport::ScopedEnvironment machine_;
    FakeHost host_;
    UserSettings settings_;
    altutil::SecondMediaConfig store_;
    std::string cfgPath_;
    std::string ucfPath_;
};

TEST_F(SecondStoreTest, DriverRecordsAreTheBaseOfANewSetting) {
    EXPECT_TRUE(store_.DriverFilePresent());
    ASSERT_TRUE(store_.ReadSlotCounts());
    EXPECT_EQ(store_.ModesOf(0x11), 3);
    EXPECT_EQ(store_.ModesOf(0x20), 5);  // level 0 answers flag 1 too, as in the first files
    ASSERT_TRUE(store_.LoadBase(0x11, 2));
    EXPECT_EQ(settings_.record.ModeLevel(), 2);
    EXPECT_EQ(settings_.record.bytes[UserMediaRecord::kDensityOffset], 6);
    EXPECT_FALSE(store_.LoadBase(0x20, 2));
}

TEST_F(SecondStoreTest, SavingTakesTheSlotOfTheNameOrTheFirstFreeOneAndKeepsTheDriversBytes) {
    ASSERT_TRUE(store_.ReadSlotCounts());
    WriteUcf({Slot("Old", Record(0x20, 1, 0, 9, 2))});
    ASSERT_TRUE(store_.LoadBase(0x11, 1));
    settings_.working.TakeFrom(settings_.record);
    settings_.working.SetForward(-12);
    const std::string name(31, 'L');
    ASSERT_EQ(store_.SaveUser(name + "beyond"), 0);
    const std::string slot = UcfSlot(1);
    for (size_t i = 0; i < 31; ++i) {
        EXPECT_EQ(slot.substr(2 * i, 2), std::string("L\0", 2)) << i;
    }
    EXPECT_EQ(slot.substr(62, 2), std::string("\0\0", 2));
    EXPECT_EQ(slot[280 + 8], 0x11);
    EXPECT_EQ(slot[280 + 20], 'D');
    EXPECT_EQ(slot[280 + 80], 5);                         // Density from the driver
    EXPECT_EQ(static_cast<int8_t>(slot[280 + 81]), -12);  // Forward as edited
    EXPECT_EQ(slot[280 + 124], 2);
    EXPECT_EQ(UcfSlot(0).substr(0, 6), std::string("O\0l\0d\0", 6));  // untouched

    // The same name again: its own slot, not the free one after it.
    settings_.working.SetForward(3);
    ASSERT_EQ(store_.SaveUser(name), 0);
    EXPECT_EQ(UcfSlot(1)[280 + 81], 3);
    EXPECT_EQ(UcfSlot(2), std::string(408, '\0'));
    std::vector<std::string> names;
    EXPECT_EQ(store_.ListUserNames(100, names), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"Old", name}));
    EXPECT_EQ(store_.UserMediaId("Old"), 0x20u);
}

TEST_F(SecondStoreTest, AFullOrMissingUserFileIsNotWrittenAndNeverMade) {
    ASSERT_TRUE(store_.ReadSlotCounts());
    WriteUcf({Slot("A", Record(1, 1, 0, 0, 2)), Slot("B", Record(2, 1, 0, 0, 2)),
              Slot("C", Record(3, 1, 0, 0, 2))});
    EXPECT_EQ(store_.SaveUser("D"), -1);
    fs::remove(ucfPath_);
    EXPECT_EQ(store_.SaveUser("D"), -1);
    EXPECT_FALSE(fs::exists(ucfPath_));
}

TEST_F(SecondStoreTest, TheLastFreeSlotIsTakenAndOneMoreRefused) {
    ASSERT_TRUE(store_.ReadSlotCounts());
    ASSERT_TRUE(store_.LoadBase(0x11, 1));
    WriteUcf({Slot("A", Record(1, 1, 0, 0, 2)), Slot("B", Record(2, 1, 0, 0, 2))});
    ASSERT_EQ(store_.SaveUser("C"), 0);
    const std::string full = ScratchDir::Read(ucfPath_);
    EXPECT_EQ(UcfSlot(2).substr(0, 4), std::string("C\0\0\0", 4));
    EXPECT_EQ(UcfSlot(2)[280 + 8], 0x11);
    EXPECT_EQ(store_.SaveUser("D"), -1);
    EXPECT_EQ(ScratchDir::Read(ucfPath_), full);
}

TEST_F(SecondStoreTest, ANameKeepsThirtyOneUnitsAndLosesTheRest) {
    const std::string clef = "\xF0\x9D\x84\x9E";  // two units
    const struct {
        std::string name;
        std::size_t units;
    } cases[] = {
        {std::string(30, 'a'), 30},        {std::string(31, 'b'), 31},
        {std::string(32, 'c'), 31},        {std::string(29, 'd') + clef, 31},
        {std::string(30, 'e') + clef, 30},
    };
    ASSERT_TRUE(store_.ReadSlotCounts());
    ASSERT_TRUE(store_.LoadBase(0x11, 1));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        WriteUcf({});
        ASSERT_EQ(store_.SaveUser(cases[i].name), 0) << i;
        const std::string partA = UcfSlot(0).substr(0, 280);
        const std::size_t end = 2 * cases[i].units;
        EXPECT_NE(partA.substr(end - 2, 2), std::string("\0\0", 2)) << i;
        EXPECT_EQ(partA.substr(end), std::string(280 - end, '\0')) << i;
        std::vector<std::string> names;
        ASSERT_EQ(store_.ListUserNames(100, names), 1) << i;
        EXPECT_TRUE(cases[i].name.starts_with(names[0])) << i;
        EXPECT_EQ(altutil::NameUnits(names[0]).size(), cases[i].units) << i;
    }
}

TEST_F(SecondStoreTest, LookupsStopAtTheFirstSlotThatIsNoUserEntry) {
    ASSERT_TRUE(store_.ReadSlotCounts());
    WriteUcf({Slot("A", Record(0x11, 1, 0, 4, 2)), Slot("Gap", Record(0x11, 1, 0, 0, 1)),
              Slot("After", Record(0x12, 1, 0, 0, 2))});
    EXPECT_TRUE(store_.LoadUser("A"));
    EXPECT_EQ(settings_.working.Density(), 4);
    EXPECT_FALSE(store_.LoadUser("After"));
    EXPECT_FALSE(store_.UserExists("After"));
    EXPECT_EQ(store_.UserMediaId("After"), 0u);
}

TEST_F(SecondStoreTest, AUserFileOfAnotherKindOrALinkIsRefusedAndKept) {
    ASSERT_TRUE(store_.ReadSlotCounts());
    ASSERT_TRUE(store_.LoadBase(0x11, 1));
    WriteUcf({});
    const std::string valid = ScratchDir::Read(ucfPath_);
    const std::string elsewhere = scratch_ / "elsewhere.UCF";
    std::ofstream(elsewhere, std::ios::binary) << valid;
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"the first family's header", "\x00\x05" + valid.substr(2)},
        {"a text file", "# a note\n" + valid},
        {"a slot cut short", valid.substr(0, 2 + 408 + 100)},
    };
    for (const auto& c : cases) {
        std::ofstream(ucfPath_, std::ios::binary | std::ios::trunc) << c.bytes;
        EXPECT_EQ(store_.SaveUser("New"), -1) << c.what;
        EXPECT_EQ(ScratchDir::Read(ucfPath_), c.bytes) << c.what;
    }
    fs::remove(ucfPath_);
    fs::create_symlink(elsewhere, ucfPath_);
    EXPECT_EQ(store_.SaveUser("New"), -1);
    EXPECT_EQ(ScratchDir::Read(elsewhere), valid);
    EXPECT_TRUE(fs::is_symlink(ucfPath_));
}

TEST_F(SecondStoreTest, EveryFaultOfASaveLeavesTheOldOrTheNewUserFile) {
    ASSERT_TRUE(store_.ReadSlotCounts());
    ASSERT_TRUE(store_.LoadBase(0x11, 1));
    settings_.working.TakeFrom(settings_.record);
    settings_.working.SetForward(-12);
    testsupport::SweepWriter(
        ucfPath_, [&] { WriteUcf({Slot("Old", Record(0x20, 1, 0, 9, 2))}); },
        [&] { return store_.SaveUser("Old") == 0; });
}

TEST_F(SecondStoreTest, ASettingBasedOnADriverRecordKeepsNothingOfTheEntryLoadedBefore) {
    ASSERT_TRUE(store_.ReadSlotCounts());
    // An entry with bytes of its own beyond the name in part A and in part B.
    std::string old = Slot("Old", Record(0x20, 1, 0, 9, 2));
    old[200] = 'A';
    old[280 + 20] = 'U';
    old[280 + 81] = 7;
    WriteUcf({old});
    ASSERT_TRUE(store_.LoadUser("Old"));
    ASSERT_EQ(settings_.working.Density(), 9);

    // A new setting on the driver's record of another media, saved under a new name.
    ASSERT_TRUE(store_.LoadBase(0x11, 1));
    settings_.working.TakeFrom(settings_.record);
    ASSERT_EQ(store_.SaveUser("New"), 0);
    const std::string slot = UcfSlot(1);
    EXPECT_EQ(slot.substr(0, 8), std::string("N\0e\0w\0\0\0", 8));
    EXPECT_EQ(slot.substr(8, 272), std::string(272, '\0'));  // nothing of Old's part A
    EXPECT_EQ(slot[280 + 8], 0x11);
    EXPECT_EQ(slot[280 + 20], 'D');  // the driver's byte, not Old's
    EXPECT_EQ(slot[280 + 80], 5);
    EXPECT_EQ(slot[280 + 81], 0);
    EXPECT_EQ(UcfSlot(0), old);
}

TEST_F(SecondStoreTest, TheUserFileIsReadToItsLastWholeSlotAndNoFurtherThanTheCount) {
    ASSERT_TRUE(store_.ReadSlotCounts());
    WriteUcf({Slot("A", Record(1, 1, 0, 0, 2)), Slot("B", Record(2, 1, 0, 0, 2)),
              Slot("C", Record(3, 1, 0, 0, 2))});
    const std::string whole = ScratchDir::Read(ucfPath_);
    const struct {
        std::string bytes;
        std::vector<std::string> names;
    } cases[] = {
        {whole, {"A", "B", "C"}},
        {whole + Slot("D", Record(4, 1, 0, 0, 2)), {"A", "B", "C"}},  // beyond the CFG's count
        {whole.substr(0, 2 + 2 * 408), {"A", "B"}},
        {whole.substr(0, 2 + 2 * 408 - 1), {"A"}},
        {whole.substr(0, 2), {}},
    };
    for (const auto& [bytes, expected] : cases) {
        std::ofstream(ucfPath_, std::ios::binary | std::ios::trunc) << bytes;
        std::vector<std::string> names;
        store_.ListUserNames(100, names);
        EXPECT_EQ(names, expected) << bytes.size();
        EXPECT_EQ(store_.UserExists("C"), expected.size() == 3) << bytes.size();
    }
}

}  // namespace
