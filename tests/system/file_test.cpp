#include "platform/system/file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

class FileAttributesTest : public ::testing::Test {
  protected:
    std::string MakeFile(const std::string& name) { return scratch_.Write(name, "x"); }

    testsupport::ScratchDir scratch_;
};

TEST_F(FileAttributesTest, MissingPathsAreInvalid) {
    EXPECT_EQ(sys::GetFileAttributes(scratch_ / "missing"), sys::kInvalidFileAttributes);
    EXPECT_EQ(sys::GetFileAttributes(""), sys::kInvalidFileAttributes);
    // A file is no folder: a trailing slash does not reach it.
    EXPECT_EQ(sys::GetFileAttributes(MakeFile("plain") + "/"), sys::kInvalidFileAttributes);
    fs::create_symlink(scratch_ / "missing", scratch_ / "dangling");
    EXPECT_EQ(sys::GetFileAttributes(scratch_ / "dangling"), sys::kInvalidFileAttributes);
}

TEST_F(FileAttributesTest, FilesAndDirectoriesAreTold) {
    EXPECT_EQ(sys::GetFileAttributes(MakeFile("plain")), sys::kFileAttributeArchive);
    EXPECT_EQ(sys::GetFileAttributes(scratch_.Path().string()), sys::kFileAttributeDirectory);
    fs::create_directory_symlink(scratch_.Path(), scratch_ / "link");
    EXPECT_EQ(sys::GetFileAttributes(scratch_ / "link"), sys::kFileAttributeDirectory);
}

TEST_F(FileAttributesTest, NoWritePermissionForAnyoneIsReadOnly) {
    const std::string file = MakeFile("locked");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(sys::GetFileAttributes(file),
              sys::kFileAttributeArchive | sys::kFileAttributeReadOnly);

    // Writable by its group only is still writable.
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_write);
    EXPECT_EQ(sys::GetFileAttributes(file), sys::kFileAttributeArchive);

    const std::string folder = scratch_ / "sealed";
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(sys::GetFileAttributes(folder),
              sys::kFileAttributeDirectory | sys::kFileAttributeReadOnly);
    fs::permissions(folder, fs::perms::owner_all);
}

class ExpandEnvironmentStringsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("PLENWISE_FOO", "toto", 1);
        ::setenv("PLENWISE_PERCENT", "%PLENWISE_FOO%", 1);
        ::setenv("PLENWISE_EMPTY", "", 1);
        ::setenv("PLENWISE_Mixed", "mixed", 1);
        ::setenv("PLENWISE_MIXED", "upper", 1);
        ::unsetenv("PLENWISE_UNSET");
    }
    void TearDown() override {
        for (const char* name : {"PLENWISE_FOO", "PLENWISE_PERCENT", "PLENWISE_EMPTY",
                                 "PLENWISE_Mixed", "PLENWISE_MIXED"}) {
            ::unsetenv(name);
        }
    }
};

TEST_F(ExpandEnvironmentStringsTest, ReplacesKnownVariables) {
    EXPECT_EQ(sys::ExpandEnvironmentStrings("hello%PLENWISE_FOO%world"), "hellototoworld");
    EXPECT_EQ(sys::ExpandEnvironmentStrings("%PLENWISE_FOO%%PLENWISE_FOO%"), "totototo");
    EXPECT_EQ(sys::ExpandEnvironmentStrings("[%PLENWISE_EMPTY%]"), "[]");
    EXPECT_EQ(sys::ExpandEnvironmentStrings("no references"), "no references");
    EXPECT_EQ(sys::ExpandEnvironmentStrings(""), "");
}

TEST_F(ExpandEnvironmentStringsTest, KeepsWhatItCannotExpandAsWritten) {
    EXPECT_EQ(sys::ExpandEnvironmentStrings("hello%PLENWISE_UNSET%world"),
              "hello%PLENWISE_UNSET%world");
    EXPECT_EQ(sys::ExpandEnvironmentStrings("hello%PLENWISE_FOO"), "hello%PLENWISE_FOO");
    EXPECT_EQ(sys::ExpandEnvironmentStrings("100%"), "100%");
    EXPECT_EQ(sys::ExpandEnvironmentStrings("100%% sure"), "100%% sure");
    EXPECT_EQ(sys::ExpandEnvironmentStrings("%A=B%"), "%A=B%");
}

TEST_F(ExpandEnvironmentStringsTest, ScanningGoesOnAfterAnUnknownName) {
    // The closing '%' of an unknown name does not open the next reference.
    EXPECT_EQ(sys::ExpandEnvironmentStrings("%PLENWISE_UNSET%%PLENWISE_FOO%"),
              "%PLENWISE_UNSET%toto");
    EXPECT_EQ(sys::ExpandEnvironmentStrings("%PLENWISE_UNSET%PLENWISE_FOO%"),
              "%PLENWISE_UNSET%PLENWISE_FOO%");
    EXPECT_EQ(sys::ExpandEnvironmentStrings("%%PLENWISE_FOO%%"), "%%PLENWISE_FOO%%");
}

TEST_F(ExpandEnvironmentStringsTest, ValuesAreNotExpandedAgain) {
    EXPECT_EQ(sys::ExpandEnvironmentStrings("%PLENWISE_PERCENT%"), "%PLENWISE_FOO%");
}

TEST_F(ExpandEnvironmentStringsTest, NamesMatchExactlyFirstThenIgnoringCase) {
    EXPECT_EQ(sys::ExpandEnvironmentStrings("%PLENWISE_Mixed%"), "mixed");
    EXPECT_EQ(sys::ExpandEnvironmentStrings("%PLENWISE_MIXED%"), "upper");
    EXPECT_EQ(sys::ExpandEnvironmentStrings("%plenwise_foo%"), "toto");
}

TEST_F(FileAttributesTest, InputFilesAreRegularFilesReadWithinTheirSize) {
    const sys::InputFile file(scratch_.Write("data", "0123456789"));
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Size(), 10u);
    char buffer[8] = {};
    EXPECT_EQ(file.ReadAt(6, buffer, sizeof buffer), 4u);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(file.ReadAt(2, 3), (std::vector<uint8_t>{'2', '3', '4'}));
    EXPECT_TRUE(file.ReadAt(10, 5).empty());
    EXPECT_TRUE(file.ReadAt(~uint64_t{0}, 5).empty());

    EXPECT_FALSE(sys::InputFile("").IsOpen());
    EXPECT_FALSE(sys::InputFile(scratch_ / "missing").IsOpen());
    EXPECT_FALSE(sys::InputFile(scratch_.Path().string()).IsOpen());
    // Opening a FIFO that nobody writes would block; it is no input file.
    const std::string fifo = scratch_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const sys::InputFile pipe(fifo);
    EXPECT_FALSE(pipe.IsOpen());
    EXPECT_EQ(pipe.ReadAt(0, buffer, sizeof buffer), 0u);
}

}  // namespace
