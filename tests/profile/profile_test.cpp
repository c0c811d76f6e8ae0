#include "platform/profile/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/support/scratch.h"

namespace {

using profile::GetPrivateProfileInt;
using profile::GetPrivateProfileString;
using profile::WritePrivateProfileString;

class ProfileTest : public ::testing::Test {
  protected:
    std::string Get(const char* section, const char* key, std::size_t size = 256) const {
        return GetPrivateProfileString(section, key, "<default>", size, path_);
    }
    std::string Content() const { return testsupport::ScratchDir::Read(path_); }
    void Put(const std::string& content) const { scratch_.Write("test.ini", content); }

    testsupport::ScratchDir scratch_;
    std::string path_ = scratch_ / "test.ini";
};

TEST_F(ProfileTest, MissingFileGivesTheDefaults) {
    EXPECT_EQ(GetPrivateProfileString("Base", "Model", "none  ", 256, path_), "none");
    EXPECT_EQ(GetPrivateProfileString("Base", "Model", "", 256, path_), "");
    EXPECT_EQ(GetPrivateProfileInt("Base", "MediaCount", 7, path_), 7);
    EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(ProfileTest, NamesMatchIgnoringCaseAndBlanks) {
    Put("[Base]\n  MediaCount =  3  \nModel=ARVEN WL-4000\n[media01]\nCustomName=Glossy\n");
    EXPECT_EQ(Get("BASE", "mediacount"), "3");
    EXPECT_EQ(Get(" base ", "MODEL"), "ARVEN WL-4000");
    EXPECT_EQ(Get("Media01", "customname"), "Glossy");
    EXPECT_EQ(Get("Media01", "Model"), "<default>");  // keys belong to their section
    EXPECT_EQ(Get("Media02", "CustomName"), "<default>");
    EXPECT_EQ(GetPrivateProfileInt("base", "MEDIACOUNT", 0, path_), 3);
}

TEST_F(ProfileTest, FirstSectionAndKeyOfASpellingWin) {
    Put("[A]\nk=first\nK=second\n[a]\nk=third\nother=x\n");
    EXPECT_EQ(Get("A", "k"), "first");
    EXPECT_EQ(Get("A", "other"), "<default>");
}

TEST_F(ProfileTest, ValuesLoseOuterQuotesButCommentsAndOddLinesAreNoKeys) {
    Put("; a comment=1\n[S]\nq=\"  padded \"\ns='single'\nhalf=\"open\nplain line\n;k=v\n");
    EXPECT_EQ(Get("S", "q"), "  padded ");
    EXPECT_EQ(Get("S", "s"), "single");
    EXPECT_EQ(Get("S", "half"), "\"open");
    EXPECT_EQ(Get("S", ";k"), "<default>");
    EXPECT_EQ(Get("S", "plain line"), "<default>");
}

TEST_F(ProfileTest, StringsAreCutToTheBufferSize) {
    Put("[S]\nk=abcdefgh\n");
    EXPECT_EQ(Get("S", "k", 0), "");
    EXPECT_EQ(Get("S", "k", 1), "");
    EXPECT_EQ(Get("S", "k", 5), "abcd");
    EXPECT_EQ(Get("S", "k", 9), "abcdefgh");
    EXPECT_EQ(Get("S", "missing", 4), "<de");
}

TEST_F(ProfileTest, IntegersReadLikeWindowsReadsThem) {
    Put("[N]\na=12ab\nb=ab\nc=-7\nd= +5\ne=\nf=4294967297\ng=" + std::string(29, '0') + "5\n");
    EXPECT_EQ(GetPrivateProfileInt("N", "a", 9, path_), 12);
    EXPECT_EQ(GetPrivateProfileInt("N", "b", 9, path_), 0);
    EXPECT_EQ(GetPrivateProfileInt("N", "c", 9, path_), -7);
    EXPECT_EQ(GetPrivateProfileInt("N", "d", 9, path_), 5);
    EXPECT_EQ(GetPrivateProfileInt("N", "e", 9, path_), 9);  // empty value
    EXPECT_EQ(GetPrivateProfileInt("N", "f", 9, path_), 1);  // wraps like 32 bits
    EXPECT_EQ(GetPrivateProfileInt("N", "g", 9, path_), 0);  // the 30th character is cut off
}

TEST_F(ProfileTest, FirstWriteCreatesTheFile) {
    ASSERT_TRUE(WritePrivateProfileString("Base", "Version", "1.00", path_));
    ASSERT_TRUE(WritePrivateProfileString("Base", "Model", "ARVEN WL-4000", path_));
    ASSERT_TRUE(WritePrivateProfileString("Media01", "CustomName", "Matte", path_));
    EXPECT_EQ(Content(),
              "[Base]\nVersion=1.00\nModel=ARVEN WL-4000\n[Media01]\nCustomName=Matte\n");
}

TEST_F(ProfileTest, WritesKeepEveryOtherLineInPlace) {
    Put("; settings\n[Base]\nVERSION = 0.9 \n\n[Media01]\n; note\nCustomName=Old\nextra=1\n\n"
        "[Tail]\nx=1");
    ASSERT_TRUE(WritePrivateProfileString("base", "version", "1.00", path_));
    ASSERT_TRUE(WritePrivateProfileString("BASE", "MediaCount", "1", path_));
    ASSERT_TRUE(WritePrivateProfileString("media01", "customname", "New", path_));
    EXPECT_EQ(Content(),
              "; settings\n[Base]\nVERSION=1.00\nMediaCount=1\n\n[Media01]\n; note\n"
              "CustomName=New\nextra=1\n\n[Tail]\nx=1\n");
}

TEST_F(ProfileTest, CrLfFilesAndByteOrderMarkStayAsTheyWere) {
    Put("\xEF\xBB\xBF[S]\r\na=1\r\n");
    ASSERT_TRUE(WritePrivateProfileString("S", "b", "2", path_));
    EXPECT_EQ(Content(), "\xEF\xBB\xBF[S]\r\na=1\r\nb=2\r\n");
    EXPECT_EQ(Get("S", "a"), "1");
}

// Stray carriage returns at a line's end are line-end bytes, in the first read as in every later
// one.
TEST_F(ProfileTest, CarriageReturnsEndingALineAreNoPartOfIt) {
    Put("[S]\na=1\r\r\nb=2\r\r");
    EXPECT_EQ(Get("S", "a"), "1");
    EXPECT_EQ(Get("S", "b"), "2");
    ASSERT_TRUE(WritePrivateProfileString("S", "c", "3", path_));
    EXPECT_EQ(Content(), "[S]\na=1\nb=2\nc=3\n");
}

TEST_F(ProfileTest, NullValueRemovesTheKeyAndNullKeyTheSection) {
    Put("[A]\nk=1\nj=2\n[B]\nk=3\n[C]\nz=4\n");
    ASSERT_TRUE(WritePrivateProfileString("a", "K", nullptr, path_));
    ASSERT_TRUE(WritePrivateProfileString("b", nullptr, nullptr, path_));
    EXPECT_EQ(Content(), "[A]\nj=2\n[C]\nz=4\n");
    // Nothing to remove: the file is not created.
    const std::string absent = scratch_ / "absent.ini";
    EXPECT_TRUE(WritePrivateProfileString("A", "k", nullptr, absent));
    EXPECT_FALSE(std::filesystem::exists(absent));
}

TEST_F(ProfileTest, NamesAndValuesThatWouldBreakTheFileAreRefused) {
    Put("[S]\nk=1\n");
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "two\nlines", path_));
    EXPECT_FALSE(WritePrivateProfileString("S]x", "k", "1", path_));
    EXPECT_FALSE(WritePrivateProfileString("S", "a=b", "1", path_));
    EXPECT_FALSE(WritePrivateProfileString("S", "[k", "1", path_));
    EXPECT_FALSE(WritePrivateProfileString("S", " ", "1", path_));
    EXPECT_FALSE(WritePrivateProfileString("S\r", "k", "1", path_));
    EXPECT_EQ(Content(), "[S]\nk=1\n");
    EXPECT_TRUE(WritePrivateProfileString("S", "k", "a=b;c", path_));
    EXPECT_EQ(Get("S", "k"), "a=b;c");
}

TEST_F(ProfileTest, WriteFailuresAreReported) {
    const std::filesystem::path folder = scratch_.Path() / "locked";
    std::filesystem::create_directories(folder);
    const std::string inLocked = (folder / "a.ini").string();
    scratch_.Write("locked/a.ini", "[S]\nk=1\n");
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "2", inLocked));
    EXPECT_FALSE(WritePrivateProfileString("S", "new", "2", (folder / "b.ini").string()));
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(testsupport::ScratchDir::Read(inLocked), "[S]\nk=1\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "b.ini"));

    EXPECT_FALSE(WritePrivateProfileString("S", "k", "1", scratch_ / "no/such/dir.ini"));

    Put("[S]\nk=1\n");
    ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "2", path_));
    EXPECT_EQ(Get("S", "k"), "1");
}

TEST_F(ProfileTest, ReplacingLeavesNoTemporaryFilesAndKeepsTheMode) {
    Put("[S]\nk=1\n");
    ASSERT_EQ(chmod(path_.c_str(), 0600), 0);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(WritePrivateProfileString("S", "k", std::to_string(i).c_str(), path_));
    }
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(scratch_.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
    struct stat info {};
    ASSERT_EQ(stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(ProfileTest, LinkedFileIsWrittenThrough) {
    Put("[S]\nk=1\n");
    const std::string link = scratch_ / "link.ini";
    std::filesystem::create_symlink(path_, link);
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "2", link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(Get("S", "k"), "2");
}

TEST_F(ProfileTest, OversizedOrUnreadableFilesAreNeitherReadNorReplaced) {
    Put("[S]\nk=1\n");
    std::filesystem::resize_file(path_, (std::uintmax_t{16} << 20) + 1);
    EXPECT_EQ(Get("S", "k"), "<default>");
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "2", path_));
    EXPECT_EQ(std::filesystem::file_size(path_), (std::uintmax_t{16} << 20) + 1);

    const std::string folder = scratch_ / "folder.ini";
    std::filesystem::create_directories(folder);
    EXPECT_EQ(GetPrivateProfileString("S", "k", "d", 8, folder), "d");
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "2", folder));
}

TEST(ProfileFile, BatchOfChangesIsSavedAtOnce) {
    testsupport::ScratchDir scratch;
    const std::string path = scratch / "batch.ini";
    profile::ProfileFile file;
    ASSERT_TRUE(file.Load(path));
    ASSERT_TRUE(file.Set("A", "x", "1"));
    ASSERT_TRUE(file.Set("B", "y", "2"));
    ASSERT_TRUE(file.Set("a", "z", "3"));
    EXPECT_EQ(file.Value("A", "Z"), "3");
    EXPECT_EQ(file.IntValue("b", "Y", 0), 2);
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(file.Save(path));
    EXPECT_EQ(testsupport::ScratchDir::Read(path), "[A]\nx=1\nz=3\n[B]\ny=2\n");
}

}  // namespace
