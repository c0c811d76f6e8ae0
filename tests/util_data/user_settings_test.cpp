#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/profile/profile.h"
#include "platform/system/clock.h"
#include "tests/support/faulty_file_calls.h"
#include "tests/support/scratch.h"
#include "util/settings/setting_save.h"
#include "util/settings/user_settings.h"

namespace {

constexpr const char* kDriver = "ARVEN WL-4000";

std::vector<std::byte> MediaRecordBytes(uint32_t id, int32_t fileId) {
    std::vector<std::byte> bytes;
    auto put = [&bytes](uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<std::byte>(value >> shift));
        }
    };
    put(10);
    put(id);
    put(static_cast<uint32_t>(fileId));
    for (uint32_t i = 0; i < 12; ++i) {
        put(i);
    }
    return bytes;
}

class FakeHost : public UserSettingsHost {
  public:
    FakeHost() : media_(RecordTable(MediaTypeTable::kRecordSize, MediaRecordBytes(0x0302, 6))) {}

    std::string DriverName() const override { return driverName; }
    int32_t DriverInkSet() const override { return inkSet; }
    int32_t PrintMode() const override { return printMode; }
    int32_t ModelClass() const override { return ModelClassOf(driverName); }
    OsKind HostOsKind() const override { return OsKind::Nt5OrLater; }
    ConfigFileNames ConfigNames() const override { return UtilConfigFileNames(ModelClass()); }
    std::string InkModeText() const override { return UtilInkModeText(inkSet); }
    const MediaTypeTable& MediaTypes() const override { return media_; }

    std::string driverName = kDriver;
    int32_t inkSet = 1;
    int32_t printMode = 1;

  private:
    MediaTypeTable media_;
};

class UserSettingsTest : public ::testing::Test {
  protected:
    UserSettingsTest() : settings_(host_), clock_(0) {
        clock_.SetTime({2024, 3, 0, 7, 9, 5, 4, 0});
        settings_.record.SetMediaId(0x0302);
        settings_.working.SetDensity(-12);
        settings_.working.SetForward(35);
        settings_.working.SetDrytime(200);
        settings_.working.SetPaperthick(15);
        settings_.working.SetPaperdraw(45);
        settings_.working.SetPaperCut(0);
    }

    std::string Value(const std::string& section, const char* key) const {
        return profile::GetPrivateProfileString(section, key, "<none>", 256, path_);
    }

    FakeHost host_;
    UserSettings settings_;
    sys::VirtualClock clock_;
    sys::ScopedClock scopedClock_{clock_};
    testsupport::ScratchDir scratch_;
    std::string path_ = scratch_ / "settings.ASU";
};

TEST(PrintModeFlag, FromModeCodeThenModeLevel) {
    FakeHost host;
    UserSettings settings(host);
    struct Case {
        uint16_t code;
        uint16_t level;
        int32_t flag;
    };
    for (const Case& c : {Case{0, 0, 1}, Case{0, 1, 1}, Case{0, 2, 2}, Case{0, 3, 1}, Case{6, 2, 4},
                          Case{15, 0, 8}, Case{15, 2, 8}, Case{7, 2, 2}}) {
        settings.record.SetModeCode(c.code);
        settings.record.SetModeLevel(c.level);
        EXPECT_EQ(settings.PrintModeFlag(), c.flag) << c.code << "/" << c.level;
    }
}

TEST(PrintModeFlag, CorrespondsToThePrintModeIndex) {
    EXPECT_EQ(PrintModeIndexOfFlag(1), 1);
    EXPECT_EQ(PrintModeIndexOfFlag(2), 0);
    EXPECT_EQ(PrintModeIndexOfFlag(4), 2);
    EXPECT_EQ(PrintModeIndexOfFlag(8), 3);
    EXPECT_EQ(PrintModeIndexOfFlag(3), -1);
    EXPECT_EQ(PrintModeIndexOfFlag(0), -1);
    for (int32_t index = 0; index < 4; ++index) {
        EXPECT_EQ(PrintModeIndexOfFlag(PrintModeFlagOfIndex(index)), index);
    }
    EXPECT_EQ(PrintModeFlagOfIndex(4), 0);
    EXPECT_EQ(PrintModeFlagOfIndex(-1), 0);
}

TEST(PaperdrawStep, RawValuesAtTheStepEdges) {
    const std::vector<std::pair<uint8_t, int32_t>> cases = {{0, -4},  {6, -4},  {7, -3},  {10, -3},
                                                            {11, -2}, {30, -2}, {31, -1}, {50, -1},
                                                            {51, 0},  {100, 0}, {255, 0}};
    for (const auto& [raw, step] : cases) {
        EXPECT_EQ(PaperdrawStep(raw), step) << int{raw};
    }
}

TEST_F(UserSettingsTest, NewNameInAMissingFileGivesOneSectionWithAllKeys) {
    ASSERT_TRUE(settings_.ExportWrite(path_, "Semigloss thick", 720, 1440, 4));

    EXPECT_EQ(Value("Base", "Version"), "1.00");
    EXPECT_EQ(Value("Base", "MakeTime"), "2024/03/07 09:05:04");
    EXPECT_EQ(Value("Base", "Model"), kDriver);
    EXPECT_EQ(Value("Base", "MediaCount"), "1");
    const std::vector<std::pair<const char*, std::string>> expected = {
        {"CustomName", "Semigloss thick"},
        {"ID", "6"},
        {"Mode", "2"},
        {"Hres", "720"},
        {"Vres", "1440"},
        {"Mw", "4"},
        {"Density", "-12"},
        {"Forward", "35"},
        {"Drytime", "200"},
        {"Paperthick", "15"},
        {"Paperdraw", "-1"},
        {"PaperCut", "1"},
        {"InkMode", "1101,3202,4304,5408,6210,7320"},
    };
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(Value("Media01", key), value) << key;
    }
    // Exactly the two sections, their keys in the order written.
    std::string file = testsupport::ScratchDir::Read(path_);
    EXPECT_EQ(file.find("[Media02]"), std::string::npos);
    EXPECT_LT(file.find("[Base]"), file.find("[Media01]"));
    EXPECT_LT(file.find("CustomName="), file.find("InkMode="));
    EXPECT_EQ(settings_.ExportFind(path_, "Semigloss thick"), 1);
}

TEST_F(UserSettingsTest, ExistingNameReplacesOnlyItsSection) {
    scratch_.Write("settings.ASU",
                   "; exported settings\n"
                   "[Base]\nVersion=1.00\nModel=ARVEN WL-4000\nMediaCount=4\nOwner=lab\n"
                   "[Media01]\nCustomName=One\nDensity=1\n"
                   "[Media02]\nCustomName=Two\nDensity=2\n"
                   "[Media03]\nCustomName=Three\nDensity=3\nNote=keep me\n"
                   "[Media04]\nCustomName=Four\nDensity=4\n");
    host_.printMode = 3;
    host_.inkSet = 2;
    ASSERT_EQ(settings_.ExportFind(path_, "Three"), 3);
    ASSERT_TRUE(settings_.ExportWrite(path_, "Three", 1440, 1440, 8));

    EXPECT_EQ(Value("Base", "MediaCount"), "4");
    EXPECT_EQ(Value("Base", "Owner"), "lab");
    EXPECT_EQ(Value("Media03", "Density"), "-12");
    EXPECT_EQ(Value("Media03", "Mode"), "4");
    EXPECT_EQ(Value("Media03", "InkMode"), "B101,3202,4304,5408,6210,7320");
    EXPECT_EQ(Value("Media03", "Note"), "keep me");
    for (const char* section : {"Media01", "Media02", "Media04"}) {
        EXPECT_EQ(Value(section, "Mode"), "<none>") << section;
    }
    EXPECT_EQ(Value("Media02", "Density"), "2");
    EXPECT_EQ(Value("Media04", "CustomName"), "Four");
    EXPECT_EQ(Value("Media05", "CustomName"), "<none>");
    EXPECT_TRUE(testsupport::ScratchDir::Read(path_).starts_with("; exported settings\n"));
}

TEST_F(UserSettingsTest, ANameHeldTwiceIsTheLowestNumberedSectionAndTheOtherStaysAlone) {
    // The name in sections 4 and 2 (in file order 4 first) and once more past the count.
    scratch_.Write("settings.ASU",
                   "[Base]\nModel=ARVEN WL-4000\nMediaCount=4\n"
                   "[Media01]\nCustomName=One\nDensity=1\n"
                   "[Media04]\nCustomName=Twice\nDensity=4\n"
                   "[Media02]\nCustomName=Twice\nDensity=2\n"
                   "[Media03]\nCustomName=Three\nDensity=3\n"
                   "[Media05]\nCustomName=Twice\nDensity=5\n");
    EXPECT_EQ(settings_.ExportFind(path_, "Twice"), 2);
    EXPECT_EQ(util::CheckExportFile(settings_, path_, "Twice"),
              util::ExportTarget::ReplacesSetting);
    ASSERT_TRUE(settings_.ExportSetting(path_, "Twice"));
    EXPECT_EQ(Value("Media02", "Density"), "-12");
    EXPECT_EQ(Value("Media04", "Density"), "4");
    EXPECT_EQ(Value("Media05", "Density"), "5");
    EXPECT_EQ(Value("Media04", "CustomName"), "Twice");
    // A replacement writes the count right: it covers the section past the old count.
    EXPECT_EQ(Value("Base", "MediaCount"), "5");
    EXPECT_EQ(settings_.ExportFind(path_, "Twice"), 2);
}

TEST_F(UserSettingsTest, NewNameIsAppendedAfterTheCountedSections) {
    ASSERT_TRUE(settings_.ExportWrite(path_, "First", 0, 0, 0));
    ASSERT_TRUE(settings_.ExportWrite(path_, "Second", 0, 0, 0));
    ASSERT_TRUE(settings_.ExportWrite(path_, "First", 0, 0, 0));
    EXPECT_EQ(Value("Base", "MediaCount"), "2");
    EXPECT_EQ(settings_.ExportFind(path_, "First"), 1);
    EXPECT_EQ(settings_.ExportFind(path_, "Second"), 2);
    EXPECT_EQ(settings_.ExportFind(path_, "first"), 0);
    EXPECT_EQ(settings_.ExportFind(path_, "Third"), 0);
}

// A count above the sections present: the new section goes behind the count and is found there,
// so exporting the name again replaces it.
TEST_F(UserSettingsTest, SectionBeyondTheSectionsPresentIsFoundAgain) {
    scratch_.Write(
        "settings.ASU",
        "[Base]\nModel=ARVEN WL-4000\nMediaCount=99\n"
        "[Media01]\nCustomName=One\n[media02]\nCustomName=Two\n[Media2]\nCustomName=Z\n");
    EXPECT_EQ(settings_.ExportFind(path_, "Two"), 2);
    EXPECT_EQ(settings_.ExportFind(path_, "Z"), 0);
    ASSERT_TRUE(settings_.ExportWrite(path_, "Z", 0, 0, 0));
    EXPECT_EQ(Value("Media100", "CustomName"), "Z");
    EXPECT_EQ(settings_.ExportFind(path_, "Z"), 100);
    ASSERT_TRUE(settings_.ExportWrite(path_, "Z", 0, 0, 0));
    EXPECT_EQ(Value("Base", "MediaCount"), "100");
    EXPECT_EQ(Value("Media101", "CustomName"), "<none>");
}

TEST_F(UserSettingsTest, LongNameIsStoredAsItsFirst16BytesLikeTheDriversRecord) {
    const std::string name = "Premium Luster 260g";  // 19 characters
    const std::string twenty = name + "X";
    ASSERT_TRUE(settings_.ExportWrite(path_, twenty, 0, 0, 0));
    EXPECT_EQ(Value("Media01", "CustomName"), "Premium Luster 2");
    EXPECT_EQ(settings_.ExportFind(path_, twenty), 0);
    EXPECT_EQ(settings_.ExportFind(path_, "Premium Luster 2"), 1);
    // The same long name again is not found, so it becomes a further section.
    ASSERT_TRUE(settings_.ExportWrite(path_, twenty, 0, 0, 0));
    EXPECT_EQ(Value("Base", "MediaCount"), "2");

    // The rule of the driver's user configuration: 16 bytes, never half a character.
    const std::string umlauts = "äöüäöüäöüäöüäöüäöü";  // 18 characters, 36 bytes
    ASSERT_TRUE(settings_.ExportWrite(path_, umlauts, 0, 0, 0));
    UserMediaRecord stored;
    stored.SetName(umlauts);
    EXPECT_EQ(Value("Media03", "CustomName"), "äöüäöüäö");
    EXPECT_EQ(Value("Media03", "CustomName"), stored.Name());
    ASSERT_TRUE(settings_.ExportWrite(path_, "Photo glänzend✓", 0, 0, 0));
    EXPECT_EQ(Value("Media04", "CustomName"), "Photo glänzend");
}

TEST_F(UserSettingsTest, AnExportedNameKeepsSixteenBytesAndLosesTheRest) {
    const struct {
        std::string name;
        std::string stored;
    } cases[] = {
        {std::string(15, 'a'), std::string(15, 'a')},
        {std::string(16, 'b'), std::string(16, 'b')},
        {std::string(17, 'c'), std::string(16, 'c')},
        {std::string(14, 'd') + "\xC3\xA4", std::string(14, 'd') + "\xC3\xA4"},
        {std::string(15, 'e') + "\xC3\xA4", std::string(15, 'e')},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ASSERT_TRUE(settings_.ExportWrite(path_, cases[i].name, 0, 0, 0)) << i;
        EXPECT_EQ(Value(UserSettings::MediaSectionName(static_cast<int32_t>(i) + 1), "CustomName"),
                  cases[i].stored)
            << i;
        EXPECT_EQ(settings_.ExportFind(path_, cases[i].stored), static_cast<int32_t>(i) + 1) << i;
    }
}

TEST_F(UserSettingsTest, PaperdrawAndPaperCutAreExportedMapped) {
    const std::vector<std::pair<uint8_t, std::string>> cases = {{6, "-4"},  {7, "-3"},  {10, "-3"},
                                                                {11, "-2"}, {30, "-2"}, {31, "-1"},
                                                                {50, "-1"}, {51, "0"}};
    for (const auto& [raw, exported] : cases) {
        settings_.working.SetPaperdraw(raw);
        ASSERT_TRUE(settings_.ExportWrite(path_, "Draw", 0, 0, 0));
        EXPECT_EQ(Value("Media01", "Paperdraw"), exported) << int{raw};
    }
    settings_.working.SetPaperCut(2);
    ASSERT_TRUE(settings_.ExportWrite(path_, "Draw", 0, 0, 0));
    EXPECT_EQ(Value("Media01", "PaperCut"), "3");
}

TEST_F(UserSettingsTest, MediaUnknownToTheTableExportsIdMinusOne) {
    settings_.record.SetMediaId(0x0801);
    ASSERT_TRUE(settings_.ExportWrite(path_, "Proof", 0, 0, 0));
    EXPECT_EQ(Value("Media01", "ID"), "-1");
    EXPECT_EQ(Value("Media01", "Hres"), "0");
}

TEST_F(UserSettingsTest, SectionNamesGrowPastTwoDigits) {
    EXPECT_EQ(UserSettings::MediaSectionName(1), "Media01");
    EXPECT_EQ(UserSettings::MediaSectionName(99), "Media99");
    EXPECT_EQ(UserSettings::MediaSectionName(100), "Media100");
    std::string file = "[Base]\nModel=ARVEN WL-4000\nMediaCount=100\n";
    for (int i = 1; i <= 100; ++i) {
        file +=
            "[" + UserSettings::MediaSectionName(i) + "]\nCustomName=S" + std::to_string(i) + "\n";
    }
    scratch_.Write("settings.ASU", file);
    EXPECT_EQ(settings_.ExportFind(path_, "S100"), 100);
    ASSERT_TRUE(settings_.ExportWrite(path_, "New", 0, 0, 0));
    EXPECT_EQ(Value("Media101", "CustomName"), "New");
    EXPECT_EQ(Value("Base", "MediaCount"), "101");
}

TEST_F(UserSettingsTest, CorruptCountsAreReadSafely) {
    scratch_.Write("settings.ASU", "[Base]\nMediaCount=2147483647\n[Media01]\nCustomName=Only\n");
    EXPECT_EQ(settings_.ExportFind(path_, "Only"), 1);
    EXPECT_EQ(settings_.ExportFind(path_, "Other"), 0);  // at once, not after 2^31 sections
    EXPECT_TRUE(settings_.ExportWrite(path_, "Only", 0, 0, 0));
    EXPECT_FALSE(settings_.ExportWrite(path_, "Other", 0, 0, 0));  // the count cannot grow
    EXPECT_EQ(Value("Base", "MediaCount"), "2147483647");

    scratch_.Write("settings.ASU", "[Base]\nMediaCount=-5\n");
    ASSERT_TRUE(settings_.ExportWrite(path_, "New", 0, 0, 0));
    EXPECT_EQ(Value("Base", "MediaCount"), "1");
    EXPECT_EQ(Value("Media01", "CustomName"), "New");
}

TEST_F(UserSettingsTest, ModelMatchesOnlyTheExactDriverName) {
    EXPECT_FALSE(settings_.ExportModelMatches(path_));  // no file
    scratch_.Write("settings.ASU", "[base]\nmodel = ARVEN WL-4000 \n");
    EXPECT_TRUE(settings_.ExportModelMatches(path_));
    scratch_.Write("settings.ASU", "[Base]\nModel=ARVEN wl-4000\n");
    EXPECT_FALSE(settings_.ExportModelMatches(path_));
    scratch_.Write("settings.ASU", "[Base]\nModel=ARVEN Wideline 400U\n");
    EXPECT_FALSE(settings_.ExportModelMatches(path_));
}

TEST_F(UserSettingsTest, WriteFailureIsReportedAndLeavesTheFileAsItWas) {
    const std::filesystem::path folder = scratch_.Path() / "locked";
    std::filesystem::create_directories(folder);
    const std::string locked = (folder / "settings.ASU").string();
    const std::string before = "[Base]\nModel=ARVEN WL-4000\nMediaCount=0\n";
    scratch_.Write("locked/settings.ASU", before);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    EXPECT_FALSE(settings_.ExportWrite(locked, "Name", 0, 0, 0));
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(testsupport::ScratchDir::Read(locked), before);

    EXPECT_FALSE(settings_.ExportWrite(scratch_ / "missing/settings.ASU", "Name", 0, 0, 0));
    EXPECT_FALSE(std::filesystem::exists(scratch_.Path() / "missing"));

    // A path that is not a file cannot be read, so nothing is written over it.
    std::filesystem::create_directories(scratch_.Path() / "folder.ASU");
    EXPECT_FALSE(settings_.ExportWrite(scratch_ / "folder.ASU", "Name", 0, 0, 0));
}

TEST_F(UserSettingsTest, ReadOnlyFileIsNotReplaced) {
    const std::string before = "[Base]\nModel=ARVEN WL-4000\n";
    scratch_.Write("settings.ASU", before);
    ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
    EXPECT_FALSE(settings_.ExportWrite(path_, "Name", 0, 0, 0));
    EXPECT_EQ(testsupport::ScratchDir::Read(path_), before);
}

}  // namespace

namespace {

// However wrong the count, a new name never takes a section that holds another name, and the
// count written covers every section.
TEST_F(UserSettingsTest, ANewNameGoesPastEverySectionWhateverTheCountSays) {
    const struct {
        const char* count;
        const char* written;
    } cases[] = {
        {"", "3"},
        {"MediaCount=-4\n", "3"},
        {"MediaCount=two\n", "3"},
        {"MediaCount=1\n", "3"},
        {"MediaCount=4294967297\n", "3"},  // wraps to 1 when read
        {"MediaCount=5\n", "6"},
    };
    for (const auto& c : cases) {
        scratch_.Write("settings.ASU", std::string("[Base]\nModel=ARVEN WL-4000\n") + c.count +
                                           "[Media01]\nCustomName=One\nDensity=1\n"
                                           "[Media02]\nCustomName=Two\nDensity=2\n");
        ASSERT_TRUE(settings_.ExportWrite(path_, "New", 0, 0, 0)) << c.count;
        EXPECT_EQ(Value("Media01", "CustomName"), "One") << c.count;
        EXPECT_EQ(Value("Media02", "CustomName"), "Two") << c.count;
        EXPECT_EQ(Value("Media02", "Density"), "2") << c.count;
        EXPECT_EQ(Value("Base", "MediaCount"), c.written) << c.count;
        const std::string section = UserSettings::MediaSectionName(std::stoi(c.written));
        EXPECT_EQ(Value(section, "CustomName"), "New") << c.count;
        // The name of a section the count left out is found there and replaced in place.
        EXPECT_EQ(settings_.ExportFind(path_, "Two"), 2) << c.count;
    }
}

}  // namespace

namespace {

// The GUI and plenwise-cli tell what stands at the target instead of calling it another model's.
TEST_F(UserSettingsTest, AnExportTargetThatIsNoFileIsNamedForWhatItIs) {
    std::filesystem::create_directories(scratch_ / "folder.ASU");
    ASSERT_EQ(::mkfifo((scratch_ / "fifo.ASU").c_str(), 0600), 0);
    const struct {
        std::string path;
        const char* text;
    } cases[] = {
        {scratch_ / "folder.ASU", " is a folder, not a settings file."},
        {scratch_ / "fifo.ASU", " is a FIFO (named pipe), not a settings file."},
        {"/dev/null", " is a device, not a settings file."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(util::CheckExportFile(settings_, c.path, "New"), util::ExportTarget::NotAFile)
            << c.path;
        EXPECT_EQ(util::NotAFileText(c.path), c.path + c.text);
    }
    // An empty file holds nothing to lose; a file of another model is kept.
    scratch_.Write("settings.ASU", "");
    EXPECT_EQ(util::CheckExportFile(settings_, path_, "New"), util::ExportTarget::NewSetting);
    ASSERT_TRUE(settings_.ExportWrite(path_, "New", 0, 0, 0));
    EXPECT_EQ(Value("Media01", "CustomName"), "New");
    scratch_.Write("settings.ASU", "[Base]\nModel=ARVEN WL-2000\n");
    EXPECT_EQ(util::CheckExportFile(settings_, path_, "New"), util::ExportTarget::OtherModel);
}

}  // namespace

namespace {

// Exports from two processes into one file take turns: every export that succeeded is in it.
TEST_F(UserSettingsTest, TwoProcessesExportingIntoOneFileLoseNoSetting) {
    constexpr int kEach = 40;
    EXPECT_TRUE(testsupport::WritersAtOnceAllSucceed(2, [&](int writer) {
        bool all = true;
        for (int i = 0; i < kEach; ++i) {
            all = settings_.ExportWrite(
                      path_, "W" + std::to_string(writer) + "-" + std::to_string(i), 0, 0, 0) &&
                  all;
        }
        return all;
    }));
    for (int writer = 0; writer < 2; ++writer) {
        for (int i = 0; i < kEach; ++i) {
            const std::string name = "W" + std::to_string(writer) + "-" + std::to_string(i);
            EXPECT_NE(settings_.ExportFind(path_, name), 0) << name;
        }
    }
    EXPECT_EQ(Value("Base", "MediaCount"), std::to_string(2 * kEach));
}

}  // namespace

namespace {

TEST_F(UserSettingsTest, EveryFaultOfAnExportLeavesTheOldOrTheNewFile) {
    testsupport::SweepWriter(
        path_,
        [&] {
            scratch_.Write("settings.ASU",
                           "[Base]\nVersion=1.00\nModel=ARVEN WL-4000\nMediaCount=2\n"
                           "[Media01]\nCustomName=One\nDensity=1\n"
                           "[Media02]\nCustomName=Two\nDensity=2\n");
        },
        [&] { return settings_.ExportWrite(path_, "Two", 720, 720, 3); });
}

}  // namespace
