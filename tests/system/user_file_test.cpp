#include "platform/system/user_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "tests/support/faulty_file_calls.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ScratchDir;

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A process id that no process has any more.
pid_t GonePid() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(UserFileTest, ReplacedFileKeepsItsModeAndANewOneTakesTheGivenMode) {
    ScratchDir scratch;
    const std::string hive = scratch.Write("user.reg", "old");
    ::chmod(hive.c_str(), 0600);
    ASSERT_TRUE(sys::ReplaceUserFile(hive, "new", {}));
    EXPECT_EQ(ScratchDir::Read(hive), "new");
    EXPECT_EQ(ModeOf(hive), 0600u);

    const mode_t mask = ::umask(0);
    sys::ReplaceOptions options;
    options.newMode = 0640;
    const std::string fresh = scratch / "fresh";
    const bool made = sys::ReplaceUserFile(fresh, "x", options);
    ::umask(mask);
    ASSERT_TRUE(made);
    EXPECT_EQ(ModeOf(fresh), 0640u);
}

TEST(UserFileTest, ALinkIsWrittenThroughOrRefusedAsAsked) {
    ScratchDir scratch;
    const std::string target = scratch.Write("dotfiles/user.reg", "old");
    const std::string link = scratch / "user.reg";
    fs::create_symlink("dotfiles/user.reg", link);

    ASSERT_TRUE(sys::ReplaceUserFile(link, "new", {}));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ScratchDir::Read(target), "new");

    sys::ReplaceOptions noLinks;
    noLinks.followLink = false;
    std::string error;
    EXPECT_FALSE(sys::ReplaceUserFile(link, "other", noLinks, &error));
    EXPECT_EQ(error, link + ": is a symbolic link");
    EXPECT_EQ(ScratchDir::Read(target), "new");
    EXPECT_TRUE(fs::is_symlink(link));
}

TEST(UserFileTest, LeftoversOfGoneWritersOfThatFileAreRemoved) {
    ScratchDir scratch;
    const std::string file = scratch.Write("A.UCF", "old");
    const std::string gone = std::to_string(GonePid());
    const std::string alive = std::to_string(::getpid());
    const struct {
        std::string name;
        bool removed;
    } cases[] = {
        {"A.UCF.tmp-" + gone + "-7", true},
        {"A.UCF.new", true},
        {"A.UCF.tmp-" + alive + "-999", false},  // a writer at work
        {"A.UCF.tmp-" + gone, false},            // not a name this writer gives
        {"B.UCF.tmp-" + gone + "-1", false},     // another file's
        {"A.UCF.lock", false},
    };
    for (const auto& c : cases) {
        scratch.Write(c.name, "x");
    }
    ASSERT_TRUE(sys::ReplaceUserFile(file, "new", {}));
    for (const auto& c : cases) {
        EXPECT_EQ(!fs::exists(scratch / c.name), c.removed) << c.name;
    }
}

TEST(UserFileTest, KeepExistingLeavesAFileThatStands) {
    ScratchDir scratch;
    const std::string file = scratch.Write("version.ini", "mine");
    sys::ReplaceOptions keep;
    keep.keepExisting = true;
    EXPECT_TRUE(sys::ReplaceUserFile(file, "default", keep));
    EXPECT_EQ(ScratchDir::Read(file), "mine");
    EXPECT_TRUE(sys::ReplaceUserFile(scratch / "other.ini", "default", keep));
    EXPECT_EQ(ScratchDir::Read(scratch / "other.ini"), "default");
}

TEST(UserFileTest, FoldersAreMade0700AndExistingOnesKeepTheirMode) {
    ScratchDir scratch;
    fs::create_directories(scratch / "state");
    ::chmod((scratch / "state").c_str(), 0755);
    const mode_t mask = ::umask(0);
    const bool made = sys::MakeUserFolders(scratch / "state/plenwise/deep");
    ::umask(mask);
    ASSERT_TRUE(made);
    EXPECT_EQ(ModeOf(scratch / "state"), 0755u);
    EXPECT_EQ(ModeOf(scratch / "state/plenwise"), 0700u);
    EXPECT_EQ(ModeOf(scratch / "state/plenwise/deep"), 0700u);
    scratch.Write("file", "");
    std::string error;
    EXPECT_FALSE(sys::MakeUserFolders(scratch / "file", &error));
    EXPECT_EQ(error, scratch / "file" + ": not a folder");
}

TEST(UserFileTest, AppendRefusesWhatIsNoPlainFileAndLeavesTheLogAsItWas) {
    ScratchDir scratch;
    const std::string real = scratch.Write("elsewhere.log", "kept\n");
    fs::create_symlink(real, scratch / "link.log");
    fs::create_directories(scratch / "folder.log");
    ASSERT_EQ(::mkfifo((scratch / "fifo.log").c_str(), 0600), 0);
    const struct {
        const char* name;
        std::string reason;
    } cases[] = {
        {"link.log", ": is a symbolic link"},
        {"folder.log", std::string(": ") + std::strerror(EISDIR)},
        {"fifo.log", ": not a regular file"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(sys::AppendUserFileLine(scratch / c.name, "line\n", &error)) << c.name;
        EXPECT_EQ(error, scratch / c.name + c.reason);
    }
    EXPECT_EQ(ScratchDir::Read(real), "kept\n");
}

TEST(UserFileTest, AppendStartsAfterATornLineAndCutsAShortWriteOff) {
    ScratchDir scratch;
    const std::string log = scratch.Write("service.log", "one\ntor");
    ASSERT_TRUE(sys::AppendUserFileLine(log, "two\n"));
    EXPECT_EQ(ScratchDir::Read(log), "one\ntor\ntwo\n");

    testsupport::FaultyFileCalls calls(log);
    calls.ShortenNthWrite(1, 2);
    const testsupport::ScopedFileCalls installed(calls);
    std::string error;
    EXPECT_FALSE(sys::AppendUserFileLine(log, "three\n", &error));
    EXPECT_EQ(error, log + ": " + std::strerror(ENOSPC));
    EXPECT_EQ(ScratchDir::Read(log), "one\ntor\ntwo\n");
}

TEST(UserFileTest, ALockHeldElsewhereIsWaitedForWithinABound) {
    ScratchDir scratch;
    const std::string file = scratch / "settings.ASU";
    constexpr uint32_t kWaitMs = 30;
    {
        const sys::UserFileLock first(file);
        ASSERT_TRUE(first.Held());
        const auto start = std::chrono::steady_clock::now();
        const sys::UserFileLock second(file, sys::UserFileLock::Kind::Exclusive, kWaitMs);
        EXPECT_FALSE(second.Held());
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kWaitMs));
        EXPECT_EQ(second.Error(), file + ".lock: held by another program");
        // A reader waits for the writer too.
        const sys::UserFileLock reader(file, sys::UserFileLock::Kind::Shared, kWaitMs);
        EXPECT_FALSE(reader.Held());
    }
    const sys::UserFileLock again(file, sys::UserFileLock::Kind::Exclusive, kWaitMs);
    EXPECT_TRUE(again.Held());

    fs::create_symlink(scratch / "elsewhere", scratch / "other.lock");
    const sys::UserFileLock linked(scratch / "other");
    EXPECT_FALSE(linked.Held());
    EXPECT_EQ(linked.Error(), scratch / "other.lock: is a symbolic link");
    EXPECT_FALSE(fs::exists(scratch / "elsewhere"));
}

}  // namespace
