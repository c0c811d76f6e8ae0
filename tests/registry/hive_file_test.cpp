// What keeps a hive whole: corrupt files kept aside, atomic replacement, two writers at once.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/system/operator_notice.h"
#include "registry_environment.h"
#include "tests/support/faulty_file_calls.h"

using namespace reg;

namespace {

class HiveFileTest : public RegistryEnvironment {
  protected:
    std::vector<std::string> AsideFiles() const {
        std::vector<std::string> aside;
        for (const std::string& name : FileNames(folder() + "/config/plenwise")) {
            if (name.rfind("user.reg.corrupt-", 0) == 0) {
                aside.push_back(folder() + "/config/plenwise/" + name);
            }
        }
        return aside;
    }
};

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\n\n";

struct Malformed {
    const char* what;
    std::string text;
};

class CorruptHiveTest : public HiveFileTest, public ::testing::WithParamInterface<Malformed> {};

TEST_P(CorruptHiveTest, IsKeptAsideAndAFreshOneStarted) {
    const std::string& content = GetParam().text;
    WriteText(UserHivePath(), content);

    // A read finds nothing, and the unreadable file is moved aside untouched.
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "SoftWare", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    std::vector<std::string> aside = AsideFiles();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadText(aside[0]), content);
    EXPECT_EQ(ReadText(UserHivePath()), std::string(kHeader) + "[HKEY_CURRENT_USER]\n\n");

    // The fresh hive takes writes as usual.
    key = Create(HKEY_CURRENT_USER, "SoftWare\\ARVEN");
    EXPECT_EQ(SetString(key, "Name", "x"), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, "Name").data, Bytes("x"));
    RegCloseKey(key);
    EXPECT_EQ(AsideFiles().size(), 1u);
}

std::string DeepSection() {
    std::string section = "[HKEY_CURRENT_USER";
    for (int i = 0; i < 600; ++i) {
        section += "\\k";
    }
    return section + "]\n";
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, CorruptHiveTest,
    ::testing::Values(
        Malformed{"NoHeader", "[HKEY_CURRENT_USER]\n\"a\"=\"b\"\n"},
        Malformed{"OtherHeader", "REGEDIT4\n\n[HKEY_CURRENT_USER]\n"},
        Malformed{"Garbage", "\x01\x02garbage\xff\n"},
        Malformed{"OnlyHeader",
                  "Windows Registry Editor Version 5.00"
                  "\nthis is not a value\n"},
        Malformed{"ValueBeforeSection", std::string(kHeader) + "\"a\"=\"b\"\n"},
        Malformed{"OtherRoot", std::string(kHeader) + "[HKEY_LOCAL_MACHINE\\Software]\n"},
        Malformed{"UnclosedSection", std::string(kHeader) + "[HKEY_CURRENT_USER\\a\n"},
        Malformed{"EmptyKeyName", std::string(kHeader) + "[HKEY_CURRENT_USER\\a\\\\b]\n"},
        Malformed{"LongKeyName",
                  std::string(kHeader) + "[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\n"},
        Malformed{"TooDeep", std::string(kHeader) + DeepSection()},
        Malformed{"UnterminatedString",
                  std::string(kHeader) + "[HKEY_CURRENT_USER]\n\"a\"=\"b\n\"c\"=\"d\"\n"},
        Malformed{"EscapedClosingQuote",
                  std::string(kHeader) + "[HKEY_CURRENT_USER]\n\"a\"=\"b\\\"\n"},
        Malformed{"TextAfterString", std::string(kHeader) + "[HKEY_CURRENT_USER]\n\"a\"=\"b\" c\n"},
        Malformed{"NoEquals", std::string(kHeader) + "[HKEY_CURRENT_USER]\n\"a\" \"b\"\n"},
        Malformed{"LongDword", std::string(kHeader) + "[HKEY_CURRENT_USER]\n@=dword:123456789\n"},
        Malformed{"BadDword", std::string(kHeader) + "[HKEY_CURRENT_USER]\n@=dword:12x4\n"},
        Malformed{"BadHexByte", std::string(kHeader) + "[HKEY_CURRENT_USER]\n@=hex:01,2g\n"},
        Malformed{"LongHexByte", std::string(kHeader) + "[HKEY_CURRENT_USER]\n@=hex:012\n"},
        Malformed{"TrailingComma", std::string(kHeader) + "[HKEY_CURRENT_USER]\n@=hex:01,\n"},
        Malformed{"ContinuationAtEnd", std::string(kHeader) + "[HKEY_CURRENT_USER]\n@=hex:01,\\"},
        Malformed{"BadHexType", std::string(kHeader) + "[HKEY_CURRENT_USER]\n@=hex(zz):01\n"},
        Malformed{"UnclosedHexType", std::string(kHeader) + "[HKEY_CURRENT_USER]\n@=hex(2:01\n"},
        Malformed{"UnknownForm", std::string(kHeader) + "[HKEY_CURRENT_USER]\n@=qword:1\n"},
        Malformed{"Deletion", std::string(kHeader) + "[HKEY_CURRENT_USER]\n\"a\"=-\n"},
        Malformed{"NulByte", std::string(kHeader) + std::string("[HKEY_CURRENT_USER]\n\0\n", 21)},
        Malformed{"ControlInName",
                  std::string(kHeader) + "[HKEY_CURRENT_USER]\n\"a\x01\"=\"b\"\n"}),
    [](const ::testing::TestParamInfo<Malformed>& param) { return param.param.what; });

TEST_F(HiveFileTest, AnOversizedHiveIsKeptAsideUnread) {
    WriteText(UserHivePath(), "");
    ASSERT_EQ(truncate(UserHivePath().c_str(), off_t{65} << 20), 0);  // sparse: costs no space
    Stored stored = Query(HKEY_CURRENT_USER, "Anything");
    EXPECT_EQ(stored.status, ERROR_FILE_NOT_FOUND);
    std::vector<std::string> aside = AsideFiles();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(aside[0]), uintmax_t{65} << 20);
}

TEST_F(HiveFileTest, SeveralCorruptHivesAreAllKept) {
    for (const char* content : {"first", "second", "third"}) {
        WriteText(UserHivePath(), content);
        EXPECT_EQ(Query(HKEY_CURRENT_USER, "Anything").status, ERROR_FILE_NOT_FOUND);
    }
    std::vector<std::string> kept;
    for (const std::string& path : AsideFiles()) {
        kept.push_back(ReadText(path));
    }
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"first", "second", "third"}));
}

TEST_F(HiveFileTest, WritesLeaveOnlyTheHiveAndItsLock) {
    HKEY key = Create(HKEY_CURRENT_USER, "SoftWare\\ARVEN");
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(SetString(key, "Name", std::to_string(i)), ERROR_SUCCESS);
    }
    RegCloseKey(key);
    EXPECT_EQ(FileNames(folder() + "/config/plenwise"),
              (std::vector<std::string>{"user.reg", "user.reg.lock"}));
}

TEST_F(HiveFileTest, AWriteThatCannotLockFailsAndKeepsTheHive) {
    HKEY key = Create(HKEY_CURRENT_USER, "SoftWare");
    ASSERT_EQ(SetString(key, "Name", "kept"), ERROR_SUCCESS);
    // A directory where the lock file belongs cannot be opened for writing, even by root.
    std::string lock = UserHivePath() + ".lock";
    std::filesystem::remove(lock);
    std::filesystem::create_directory(lock);
    EXPECT_EQ(SetString(key, "Name", "lost"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Query(key, "Name").data, Bytes("kept"));
    RegCloseKey(key);
}

TEST_F(HiveFileTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kWrites = 200;
    RegCloseKey(Create(HKEY_CURRENT_USER, "SoftWare\\ARVEN\\Tarnwell"));
    std::vector<pid_t> children;
    for (char writer : {'A', 'B'}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            HKEY key = nullptr;
            int failures = 0;
            if (RegOpenKeyEx(HKEY_CURRENT_USER, "SoftWare\\ARVEN\\Tarnwell", KEY_ALL_ACCESS,
                             &key) != ERROR_SUCCESS) {
                _exit(100);
            }
            for (int i = 0; i < kWrites; ++i) {
                std::string name = writer + std::to_string(i);
                failures += SetString(key, name.c_str(), name) != ERROR_SUCCESS;
            }
            _exit(failures > 99 ? 99 : failures);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "failed writes in a child";
    }

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "SoftWare\\ARVEN\\Tarnwell", KEY_READ, &key),
              ERROR_SUCCESS);
    int found = 0;
    for (char writer : {'A', 'B'}) {
        for (int i = 0; i < kWrites; ++i) {
            std::string name = writer + std::to_string(i);
            Stored stored = Query(key, name.c_str());
            found += stored.status == ERROR_SUCCESS && stored.data == Bytes(name);
        }
    }
    EXPECT_EQ(found, 2 * kWrites);
    RegCloseKey(key);
    EXPECT_TRUE(AsideFiles().empty());
}

}  // namespace

namespace {

TEST_F(HiveFileTest, ADamagedMachineHiveGetsItsDefaultsBackAndTheOperatorIsToldOnce) {
    std::vector<std::string> told;
    sys::SetNoticeTeller([&told](sys::Notice notice, const std::string& text) {
        EXPECT_EQ(notice, sys::Notice::HiveSetAside);
        told.push_back(text);
    });
    WriteText(MachineHivePath(), "damaged");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                           KEY_READ, &key),
              ERROR_SUCCESS);
    const std::string programFiles = folder() + "/machine/Program Files";
    EXPECT_EQ(Query(key, "ProgramFilesDir").data, Bytes(programFiles));
    EXPECT_EQ(Query(key, "ProgramFilesPath").data, Bytes(programFiles));
    RegCloseKey(key);
    EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "Anything").status, ERROR_FILE_NOT_FOUND);
    sys::SetNoticeTeller(nullptr);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find(MachineHivePath() + ".corrupt-"), std::string::npos) << told[0];
}

// A FIFO would block a plain open for ever; it is no hive, and is set aside like a damaged one.
TEST_F(HiveFileTest, AFifoInPlaceOfAHiveNeitherBlocksNorStaysInTheWay) {
    WriteText(UserHivePath(), "");
    std::filesystem::remove(UserHivePath());
    ASSERT_EQ(::mkfifo(UserHivePath().c_str(), 0600), 0);
    ::alarm(20);  // a hang ends the test program rather than the suite's time
    EXPECT_EQ(Query(HKEY_CURRENT_USER, "Anything").status, ERROR_FILE_NOT_FOUND);
    HKEY key = Create(HKEY_CURRENT_USER, "Software");
    EXPECT_EQ(SetString(key, "Name", "x"), ERROR_SUCCESS);
    RegCloseKey(key);
    ::alarm(0);
    EXPECT_TRUE(std::filesystem::is_regular_file(UserHivePath()));
    EXPECT_EQ(AsideFiles().size(), 1u);
}

TEST_F(HiveFileTest, ALinkedHiveIsWrittenThroughAndKeepsItsMode) {
    const std::string kept = folder() + "/dotfiles/user.reg";
    WriteText(kept, std::string(kHeader) + "[HKEY_CURRENT_USER]\n\n");
    ::chmod(kept.c_str(), 0600);
    std::filesystem::create_directories(folder() + "/config/plenwise");
    std::filesystem::create_symlink(kept, UserHivePath());
    HKEY key = Create(HKEY_CURRENT_USER, "Software");
    EXPECT_EQ(SetString(key, "Name", "x"), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(std::filesystem::is_symlink(UserHivePath()));
    EXPECT_NE(ReadText(kept).find("\"Name\"=\"x\""), std::string::npos);
    EXPECT_EQ(std::filesystem::status(kept).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

}  // namespace

namespace {

TEST_F(HiveFileTest, EveryFaultOfAWriteLeavesTheOldOrTheNewHive) {
    testsupport::SweepWriter(
        UserHivePath(),
        [&] {
            WriteText(UserHivePath(), std::string(kHeader) +
                                          "[HKEY_CURRENT_USER]\n\n[HKEY_CURRENT_USER\\Software]\n"
                                          "\"Name\"=\"old\"\n\n");
        },
        [&] {
            HKEY key = nullptr;
            const bool opened =
                RegOpenKeyEx(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS, &key) == ERROR_SUCCESS;
            const bool set = opened && SetString(key, "Name", "new") == ERROR_SUCCESS;
            RegCloseKey(key);
            return set;
        });
}

}  // namespace
