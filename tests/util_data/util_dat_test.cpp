// The util.dat that the build puts beside util.so: every text that util looks up is there, the
// message panes read as sentences, and the media type table agrees with docs/media-types.md,
// on which the simulated driver's media lists are built.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scratch.h"
#include "util/settings/media_type_table.h"

namespace {

std::string OutPath(const std::string& name) {
    const char* out = std::getenv("PLENWISE_OUT");
    return std::string(out != nullptr ? out : ".") + "/" + name;
}

std::string SourcePath(const std::string& name) {
    const char* source = std::getenv("PLENWISE_SOURCE");
    return std::string(source != nullptr ? source : ".") + "/" + name;
}

std::vector<int32_t> Range(int32_t first, int32_t last) {
    std::vector<int32_t> numbers;
    for (int32_t n = first; n <= last; ++n) {
        numbers.push_back(n);
    }
    return numbers;
}

// The message panes: each joins its texts without a separator.
const std::vector<std::pair<int32_t, int32_t>> kPanes = {
    {1000, 1004}, {1050, 1054}, {1100, 1113}, {1150, 1163}, {1200, 1204},
    {1250, 1260}, {1300, 1304}, {1350, 1354}, {1400, 1424}, {1450, 1454},
    {1500, 1504}, {1550, 1559}, {1600, 1614}, {1650, 1654}};

std::vector<int32_t> LookedUpNumbers() {
    std::vector<int32_t> numbers = {
        99,  100, 101, 102, 105, 106, 107, 108, 110, 111, 112, 113, 114, 120, 121, 122,
        123, 124, 125, 130, 131, 140, 141, 142, 143, 144, 145, 146, 150, 151, 160, 161,
        162, 163, 170, 171, 172, 173, 174, 180, 191, 192, 201, 210, 211, 212, 213, 214,
        215, 216, 217, 218, 238, 239, 240, 241, 242, 243, 260, 261, 262, 263, 300, 302,
        303, 304, 305, 306, 307, 308, 316, 330, 331, 332, 341, 342, 350, 351};
    for (const auto& range : {Range(231, 237), Range(250, 255)}) {
        numbers.insert(numbers.end(), range.begin(), range.end());
    }
    for (const auto& [first, last] : kPanes) {
        const auto range = Range(first, last);
        numbers.insert(numbers.end(), range.begin(), range.end());
    }
    return numbers;
}

// The driver media IDs of util.dat, read from the file's bytes after the text table.
std::vector<uint32_t> MediaIdsOf(const std::string& path) {
    const std::string bytes = testsupport::ScratchDir::Read(path);
    auto u32 = [&bytes](std::size_t at) {
        uint32_t value = 0;
        for (std::size_t i = 0; i < 4 && at + i < bytes.size(); ++i) {
            value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
        }
        return value;
    };
    const std::size_t media = 4 + std::size_t{u32(0)} * 132;
    std::vector<uint32_t> ids;
    for (uint32_t i = 0; i < u32(media); ++i) {
        ids.push_back(u32(media + 4 + i * 60 + 4));
    }
    return ids;
}

class UtilDat : public ::testing::Test {
  protected:
    void SetUp() override { file_.Load(OutPath("util.dat")); }
    UtilDataFile file_;
};

TEST_F(UtilDat, HoldsEveryTextThatUtilLooksUp) {
    for (const int32_t number : LookedUpNumbers()) {
        EXPECT_FALSE(file_.GetText(number).empty()) << "text " << number;
    }
}

TEST_F(UtilDat, PaneTextsEndWithASeparatorSoJoinedTextsReadApart) {
    for (const auto& [first, last] : kPanes) {
        for (int32_t number = first; number < last; ++number) {
            const std::string text = file_.GetText(number);
            EXPECT_TRUE(text.ends_with(' ') || text.ends_with('\n')) << "text " << number;
        }
    }
    // Messages shown as one box of two texts.
    for (const int32_t number : {306, 331, 332, 350}) {
        EXPECT_TRUE(file_.GetText(number).ends_with('\n')) << "text " << number;
    }
}

TEST_F(UtilDat, MediaTypesHaveUnique16BitIdsAndFileIds) {
    const std::vector<uint32_t> ids = MediaIdsOf(OutPath("util.dat"));
    ASSERT_GE(ids.size(), 10u);
    ASSERT_EQ(file_.MediaTypes().Count(), static_cast<int32_t>(ids.size()));
    std::set<uint32_t> seenIds;
    std::set<int32_t> seenFileIds;
    for (const uint32_t id : ids) {
        EXPECT_LE(id, 0xFFFFu);
        EXPECT_TRUE(seenIds.insert(id).second) << id;
        const int32_t fileId = file_.MediaTypes().FileIdOf(id);
        EXPECT_GT(fileId, 0) << id;
        EXPECT_TRUE(seenFileIds.insert(fileId).second) << fileId;
        EXPECT_GE(file_.MediaTypes().OrderOf(id), 0) << id;
        const auto resolutions = file_.MediaTypes().ResolutionsOf(id);
        ASSERT_TRUE(resolutions);
        for (const Resolution& resolution : *resolutions) {
            EXPECT_GT(resolution.horizontal, 0);
            EXPECT_GT(resolution.vertical, 0);
        }
    }
}

TEST(MediaTypesDocument, ListsExactlyTheIdsOfUtilDat) {
    std::ifstream document(SourcePath("docs/media-types.md"));
    ASSERT_TRUE(document);
    std::set<uint32_t> known;
    std::set<uint32_t> unknown;
    bool inUnknown = false;
    for (std::string line; std::getline(document, line);) {
        if (line.starts_with("## ")) {
            inUnknown = line.find("does not know") != std::string::npos;
        } else if (line.starts_with("| 0x")) {
            (inUnknown ? unknown : known)
                .insert(static_cast<uint32_t>(std::stoul(line.substr(2), nullptr, 16)));
        }
    }
    const std::vector<uint32_t> ids = MediaIdsOf(OutPath("util.dat"));
    EXPECT_EQ(known, std::set<uint32_t>(ids.begin(), ids.end()));
    ASSERT_FALSE(unknown.empty());
    UtilDataFile file;
    file.Load(OutPath("util.dat"));
    for (const uint32_t id : unknown) {
        EXPECT_EQ(file.MediaTypes().OrderOf(id), -1) << id;
    }
}

}  // namespace
