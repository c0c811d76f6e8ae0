// The driver's user configuration: listing, finding and loading user entries, and saving one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/driver_config/config_fixture.h"
#include "tests/support/faulty_file_calls.h"

namespace {

using configtest::ConfigTest;
using configtest::DriverRecord;
using configtest::Ucf;
using configtest::UserEntry;
using testsupport::ScratchDir;

class UcfTest : public ConfigTest {
  protected:
    UcfTest() {
        store_.userSlotCount = 5;
        store_.extraRecordCount = 3;
    }

    std::string Slot(const std::string& file, std::size_t index) const {
        return file.substr(2 + index * UserMediaRecord::kSize, UserMediaRecord::kSize);
    }
    static std::string Bytes(const UserMediaRecord& record) {
        return std::string(record.bytes.begin(), record.bytes.end());
    }

    // Saves a new name in a process that the system kills once a file would grow past `bytes`.
    void SaveWithinBytes(rlim_t bytes) {
        const rlimit noCore{0, 0};
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        config_.SaveUser("Fresh");
        std::_Exit(0);
    }
    // 0 when the save fails; root, who reads every file, saves as nobody.
    int SaveAsAnotherUser(const char* name) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 2;
        }
        return config_.SaveUser(name) == DriverMediaConfig::kSaveFailed ? 0 : 1;
    }

    // A record to save, with adjusted values in the working copy.
    void PrepareStore(uint32_t mediaId) {
        store_.record = DriverRecord(mediaId, 2, 0);
        store_.record.bytes[20] = 0x77;
        store_.working.TakeFrom(store_.record);
        store_.working.SetDensity(-7);
        store_.working.SetForward(12);
        store_.working.SetDrytime(30);
        store_.working.SetPaperthick(4);
        store_.working.SetPaperdraw(31);
        store_.working.SetPaperCut(2);
        store_.working.bytes[0] = 0x11;  // not one of the six: never saved
    }
};

TEST_F(UcfTest, ListsTheNamesUpToTheFirstFreeSlot) {
    std::vector<std::string> names{"stale"};
    EXPECT_EQ(config_.ListUserNames(100, names), DriverMediaConfig::kNoUserFile);
    EXPECT_TRUE(names.empty());

    WriteFile(config_.UcfPath(), Ucf({UserEntry("Banner", 0x10), UserEntry("Proof", 0x20),
                                      UserMediaRecord{}, UserEntry("Hidden", 0x30)},
                                     5));
    EXPECT_EQ(config_.ListUserNames(100, names), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"Banner", "Proof"}));
    EXPECT_EQ(config_.ListUserNames(1, names), 1);
    EXPECT_EQ(names, (std::vector<std::string>{"Banner"}));
    EXPECT_EQ(config_.ListUserNames(0, names), 0);
    EXPECT_FALSE(config_.UserExists("Hidden"));

    // The store's slot count bounds the scan, and so does the file's end.
    store_.userSlotCount = 1;
    EXPECT_EQ(config_.ListUserNames(100, names), 1);
    store_.userSlotCount = 2;
    EXPECT_EQ(config_.ListUserNames(100, names), 2);
    store_.userSlotCount = 5;
    const std::string whole = ScratchDir::Read(config_.UcfPath());
    WriteFile(config_.UcfPath(), whole.substr(0, 2 + 102 + 101));
    EXPECT_EQ(config_.ListUserNames(100, names), 1);
    WriteFile(config_.UcfPath(), whole.substr(0, 2 + 102 + 102));
    EXPECT_EQ(config_.ListUserNames(100, names), 2);
    WriteFile(config_.UcfPath(), "\x05");
    EXPECT_EQ(config_.ListUserNames(100, names), 0);
}

TEST_F(UcfTest, FindsEntriesByTheSixteenBytesAStoredNameHolds) {
    UserMediaRecord full = UserEntry("ABCDEFGHIJKLMNOP", 0x21);  // no room for a NUL
    full.bytes[UserMediaRecord::kDensityOffset] = 5;
    full.bytes[30] = 0x42;
    WriteFile(config_.UcfPath(), Ucf({UserEntry("Canvas", 0x50), full}, 5));

    EXPECT_TRUE(config_.UserExists("ABCDEFGHIJKLMNOP"));
    EXPECT_TRUE(config_.UserExists("ABCDEFGHIJKLMNOPQRST"));
    EXPECT_FALSE(config_.UserExists("ABCDEFGHIJKLMNO"));
    EXPECT_FALSE(config_.UserExists("canvas"));
    EXPECT_EQ(config_.UserMediaId("ABCDEFGHIJKLMNOPQRST"), 0x21u);
    EXPECT_EQ(config_.UserMediaId("Canvas"), 0x50u);
    EXPECT_EQ(config_.UserMediaId("Nothing"), 0u);

    store_.working.SetDensity(-100);
    ASSERT_TRUE(config_.LoadUser("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(store_.record.bytes, full.bytes);
    EXPECT_EQ(store_.working.Density(), 5);
    EXPECT_EQ(store_.working.bytes[30 - MediaWorkingCopy::kRecordOffset], 0x42);
    EXPECT_FALSE(config_.LoadUser("Nothing"));
    EXPECT_EQ(store_.record.bytes, full.bytes);
}

TEST_F(UcfTest, SavingANewNameTakesTheFirstFreeSlot) {
    const std::string before =
        Ucf({UserEntry("One", 1), UserEntry("Two", 2), UserEntry("Three", 3)}, 5, 3);
    WriteFile(config_.UcfPath(), before);
    PrepareStore(0x30);
    ASSERT_EQ(config_.SaveUser("Four"), 0);

    const std::string after = ScratchDir::Read(config_.UcfPath());
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(0, 308), before.substr(0, 308));
    EXPECT_EQ(after.substr(308 + 102), before.substr(308 + 102));
    EXPECT_EQ(Slot(after, 3), Bytes(store_.record));
    std::vector<std::string> names;
    EXPECT_EQ(config_.ListUserNames(100, names), 4);

    // What went into the slot: the six adjustments, the name and the entry type.
    const UserMediaRecord& saved = store_.record;
    EXPECT_EQ(static_cast<int8_t>(saved.bytes[56]), -7);
    EXPECT_EQ(saved.bytes[57], 12);
    EXPECT_EQ(saved.bytes[58], 30);
    EXPECT_EQ(saved.bytes[59], 4);
    EXPECT_EQ(saved.bytes[60], 31);
    EXPECT_EQ(saved.bytes[61], 2);
    EXPECT_EQ(saved.bytes[16], 0);  // working byte 0 stays behind
    EXPECT_EQ(saved.bytes[20], 0x77);
    EXPECT_EQ(saved.EntryType(), UserMediaRecord::kUserEntry);
    EXPECT_EQ(saved.Name(), "Four");
    EXPECT_EQ(saved.MediaId(), 0x30u);
}

TEST_F(UcfTest, SavingAStoredNameOverwritesItsSlot) {
    UserMediaRecord old = UserEntry("Same name that is long", 7);
    const std::string before = Ucf({UserEntry("One", 1), UserEntry("Two", 2), old}, 5, 3);
    WriteFile(config_.UcfPath(), before);
    PrepareStore(0x31);
    ASSERT_EQ(config_.SaveUser("Same name that is long"), 0);
    const std::string after = ScratchDir::Read(config_.UcfPath());
    EXPECT_EQ(Slot(after, 2), Bytes(store_.record));
    EXPECT_EQ(Slot(after, 3), Slot(before, 3));
    EXPECT_EQ(config_.UserMediaId("Same name that is long"), 0x31u);
}

TEST_F(UcfTest, SavingWithoutAUcfCreatesOne) {
    PrepareStore(0x20);
    const std::string path = config_.UcfPath();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    ASSERT_EQ(config_.SaveUser("Fresh"), 0);

    const std::string file = ScratchDir::Read(path);
    ASSERT_EQ(file.size(), 2u + 5 * 102 + 3 * 84);
    EXPECT_EQ(file.substr(0, 2), std::string("\x00\x05", 2));
    EXPECT_EQ(Slot(file, 0), Bytes(store_.record));
    for (std::size_t slot = 1; slot < 5; ++slot) {
        EXPECT_EQ(Slot(file, slot), std::string(102, '\0')) << slot;
    }
    for (std::size_t i = 0; i < 3; ++i) {
        std::string expected(drivercfg::kExtraRecordTemplate.begin(),
                             drivercfg::kExtraRecordTemplate.end());
        expected[0] = static_cast<char>(i);
        EXPECT_EQ(file.substr(2 + 5 * 102 + i * 84, 84), expected) << i;
    }
    EXPECT_EQ(drivercfg::kExtraRecordTemplate[6], 0x71);
    EXPECT_EQ(drivercfg::kExtraRecordTemplate[83], 0x2D);
}

TEST_F(UcfTest, AnEmptyUcfIsMadeWholeAndAKilledSaveLeavesNoShortOne) {
    PrepareStore(0x20);
    const std::string path = WriteFile(config_.UcfPath(), "");
    ASSERT_EQ(config_.SaveUser("Fresh"), 0);
    std::string file = ScratchDir::Read(path);
    ASSERT_EQ(file.size(), 2u + 5 * 102 + 3 * 84);
    EXPECT_EQ(file.substr(0, 2), std::string("\x00\x05", 2));
    EXPECT_EQ(Slot(file, 0), Bytes(store_.record));

    // Killed halfway through writing a new UCF (here by the file size limit).
    std::filesystem::remove(path);
    EXPECT_EXIT(SaveWithinBytes(200), ::testing::KilledBySignal(SIGXFSZ), "");
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_EQ(config_.SaveUser("Fresh"), 0);
    EXPECT_EQ(ScratchDir::Read(path).size(), file.size());
}

TEST_F(UcfTest, AUcfThatCannotBeReadIsNotWrittenBlind) {
    PrepareStore(0x20);
    const std::string before = Ucf({UserEntry("One", 1)}, 5);
    const std::string path = WriteFile(config_.UcfPath(), before);
    // Writable but not readable, also for the user the save runs as below.
    ASSERT_EQ(::chmod(path.c_str(), 0222), 0);
    for (std::filesystem::path dir = std::filesystem::path(path).parent_path();
         dir.has_relative_path() && dir != std::filesystem::temp_directory_path();
         dir = dir.parent_path()) {
        std::filesystem::permissions(dir, std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add);
    }
    EXPECT_EXIT(std::_Exit(SaveAsAnotherUser("Two")), ::testing::ExitedWithCode(0), "");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    EXPECT_EQ(ScratchDir::Read(path), before);
}

TEST_F(UcfTest, AFullUcfTakesNoNewName) {
    store_.userSlotCount = 3;
    const std::string before =
        Ucf({UserEntry("One", 1), UserEntry("Two", 2), UserEntry("Three", 3)}, 3, 1);
    WriteFile(config_.UcfPath(), before);
    PrepareStore(0x20);
    EXPECT_EQ(config_.SaveUser("Four"), DriverMediaConfig::kSaveFailed);
    EXPECT_EQ(ScratchDir::Read(config_.UcfPath()), before);
    // A stored name still saves.
    EXPECT_EQ(config_.SaveUser("Two"), 0);
    // No slots at all: nowhere to put anything, and no file is made.
    store_.userSlotCount = 0;
    std::filesystem::remove(config_.UcfPath());
    EXPECT_EQ(config_.SaveUser("Two"), DriverMediaConfig::kSaveFailed);
    EXPECT_FALSE(std::filesystem::exists(config_.UcfPath()));
}

TEST_F(UcfTest, TheLastFreeSlotIsTakenAndOneMoreRefused) {
    store_.userSlotCount = 3;
    WriteFile(config_.UcfPath(), Ucf({UserEntry("One", 1), UserEntry("Two", 2)}, 3, 1));
    PrepareStore(0x20);
    ASSERT_EQ(config_.SaveUser("Three"), 0);
    const std::string full = ScratchDir::Read(config_.UcfPath());
    EXPECT_EQ(Slot(full, 2), Bytes(store_.record));
    EXPECT_EQ(config_.SaveUser("Four"), DriverMediaConfig::kSaveFailed);
    EXPECT_EQ(ScratchDir::Read(config_.UcfPath()), full);
}

TEST_F(UcfTest, ANameKeepsSixteenBytesAndLosesTheRest) {
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
    PrepareStore(0x20);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        WriteFile(config_.UcfPath(), Ucf({}, 5));
        ASSERT_EQ(config_.SaveUser(cases[i].name), 0) << i;
        const std::string slot = Slot(ScratchDir::Read(config_.UcfPath()), 0);
        std::string field = cases[i].stored;
        field.resize(UserMediaRecord::kNameCapacity, '\0');
        EXPECT_EQ(slot.substr(UserMediaRecord::kNameOffset), field) << i;
        std::vector<std::string> names;
        EXPECT_EQ(config_.ListUserNames(100, names), 1) << i;
        EXPECT_EQ(names, std::vector<std::string>{cases[i].stored}) << i;
    }
}

TEST_F(UcfTest, AShortUcfGrowsByTheSlotItGets) {
    WriteFile(config_.UcfPath(), Ucf({UserEntry("One", 1)}, 1));
    PrepareStore(0x20);
    ASSERT_EQ(config_.SaveUser("Two"), 0);
    const std::string after = ScratchDir::Read(config_.UcfPath());
    ASSERT_EQ(after.size(), 2u + 2 * 102);
    EXPECT_EQ(Slot(after, 1), Bytes(store_.record));
}

TEST_F(UcfTest, AUcfThatCannotBeWrittenIsAFailure) {
    PrepareStore(0x20);
    // The folder does not exist: the file cannot be created.
    EXPECT_EQ(config_.SaveUser("Fresh"), DriverMediaConfig::kSaveFailed);
    EXPECT_FALSE(std::filesystem::exists(config_.UcfPath()));

    // Something stands at the path that cannot be opened for writing.
    std::filesystem::create_directories(config_.UcfPath());
    EXPECT_EQ(config_.SaveUser("Fresh"), DriverMediaConfig::kSaveFailed);
}

TEST_F(UcfTest, AFifoInPlaceOfTheFilesNeitherBlocksNorCounts) {
    for (const std::string& path : {config_.UcfPath(), config_.CfgPath()}) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
    }
    std::vector<std::string> names;
    EXPECT_EQ(config_.ListUserNames(100, names), 0);
    EXPECT_FALSE(config_.UserExists("One"));
    PrepareStore(0x20);
    EXPECT_EQ(config_.SaveUser("One"), DriverMediaConfig::kSaveFailed);
    EXPECT_FALSE(config_.ReadSlotCounts());
    EXPECT_FALSE(config_.LoadBase(0x20, 1));
}

TEST_F(UcfTest, AReadOnlyUcfIsAFailure) {
    PrepareStore(0x20);
    const std::string before = Ucf({UserEntry("One", 1)}, 5);
    WriteFile(config_.UcfPath(), before);
    ASSERT_EQ(::chmod(config_.UcfPath().c_str(), 0444), 0);
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes read-only files";
    }
    EXPECT_EQ(config_.SaveUser("Two"), DriverMediaConfig::kSaveFailed);
    EXPECT_EQ(ScratchDir::Read(config_.UcfPath()), before);
}

TEST_F(UcfTest, WindowsNinetyEightKeepsItsUcfInTheWindowsDirectory) {
    host_.kind = OsKind::Windows9x;
    host_.inkSet = 2;
    PrepareStore(0x20);
    ASSERT_EQ(config_.SaveUser("Nine"), 0);
    EXPECT_TRUE(std::filesystem::exists(Machine() + "/Windows/AriuiJ78.UC1"));
    std::vector<std::string> names;
    EXPECT_EQ(config_.ListUserNames(100, names), 1);
    EXPECT_EQ(names, std::vector<std::string>{"Nine"});
}

}  // namespace

namespace {

// What stands at the UCF path but is no UCF of this family is refused and left as it was, and a
// link there is not followed into a file nobody named.
TEST_F(UcfTest, WhatIsNoUcfOfThisFamilyIsRefusedAndKept) {
    const std::string path = config_.UcfPath();
    const std::string valid = Ucf({UserEntry("One", 1)}, 5, 3);
    const std::string elsewhere = scratch_ / "elsewhere.UCF";
    const struct {
        const char* what;
        std::string bytes;
        bool link;
    } cases[] = {
        {"a text file", std::string("Notes of the print shop, not a settings file.\n") + valid,
         false},
        {"the second family's header", "\x10\x07" + valid.substr(2), false},
        {"a slot cut short", Ucf({UserEntry("One", 1)}, 1) + "\x01\x02\x03", false},
        {"a link to a UCF", valid, true},
    };
    PrepareStore(0x20);
    for (const auto& c : cases) {
        std::filesystem::remove(path);
        if (c.link) {
            WriteFile(elsewhere, c.bytes);
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            std::filesystem::create_symlink(elsewhere, path);
        } else {
            WriteFile(path, c.bytes);
        }
        EXPECT_EQ(config_.SaveUser("Two"), DriverMediaConfig::kSaveFailed) << c.what;
        EXPECT_EQ(ScratchDir::Read(c.link ? elsewhere : path), c.bytes) << c.what;
        EXPECT_EQ(std::filesystem::is_symlink(path), c.link) << c.what;
    }
}

}  // namespace

namespace {

// Saves from two processes into one UCF take turns: every entry saved is in it.
TEST_F(UcfTest, TwoProcessesSavingIntoOneUcfLoseNoEntry) {
    constexpr int kEach = 10;
    store_.userSlotCount = 2 * kEach;
    std::filesystem::create_directories(std::filesystem::path(config_.UcfPath()).parent_path());
    PrepareStore(0x20);
    EXPECT_TRUE(testsupport::WritersAtOnceAllSucceed(2, [&](int writer) {
        bool all = true;
        for (int i = 0; i < kEach; ++i) {
            all = config_.SaveUser("W" + std::to_string(writer) + "-" + std::to_string(i)) == 0 &&
                  all;
        }
        return all;
    }));
    std::vector<std::string> names;
    EXPECT_EQ(config_.ListUserNames(100, names), 2 * kEach);
    for (int writer = 0; writer < 2; ++writer) {
        for (int i = 0; i < kEach; ++i) {
            EXPECT_TRUE(config_.UserExists("W" + std::to_string(writer) + "-" + std::to_string(i)));
        }
    }
}

}  // namespace

namespace {

// Faults at every call of a save, and kills across its bytes, leave the old UCF or the new one,
// as the save reported: over an existing entry, and into a UCF that does not exist yet.
TEST_F(UcfTest, EveryFaultOfASaveLeavesTheOldOrTheNewUcf) {
    const std::string path = config_.UcfPath();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    PrepareStore(0x20);
    testsupport::SweepWriter(
        path,
        [&] {
            WriteFile(path, Ucf({UserEntry("One", 1), UserEntry("Two", 2)}, 5, 3));
        },
        [&] { return config_.SaveUser("Two") == 0; });
    testsupport::SweepWriter(
        path, [&] { std::filesystem::remove(path); },
        [&] { return config_.SaveUser("Fresh") == 0; });
}

}  // namespace
