#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/scratch.h"
#include "tools/datc/data_source.h"
#include "util/settings/media_type_table.h"

namespace {

std::string Compile(const std::string& source) {
    datc::DataSource data(datc::Kind::Util);
    EXPECT_TRUE(data.AddSource("util.txt", source));
    for (const auto& error : data.Errors()) {
        ADD_FAILURE() << error;
    }
    const auto bytes = data.Encode();
    return std::string(bytes.begin(), bytes.end());
}

void PutInt32(std::string& out, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>(bits >> shift));
    }
}

// A data file with no texts and the given raw media records (15 int32 each).
std::string MediaFile(const std::vector<std::vector<int32_t>>& records, int32_t count) {
    std::string bytes;
    PutInt32(bytes, 0);
    PutInt32(bytes, count);
    for (const auto& record : records) {
        for (const int32_t value : record) {
            PutInt32(bytes, value);
        }
    }
    return bytes;
}

std::vector<int32_t> Record(int32_t order, uint32_t id, int32_t fileId) {
    std::vector<int32_t> record{order, static_cast<int32_t>(id), fileId};
    for (int32_t i = 0; i < 12; ++i) {
        record.push_back(fileId * 100 + i);
    }
    return record;
}

class MediaTypeTableTest : public ::testing::Test {
  protected:
    // Loads the bytes into the fixture's data file, replacing what it held.
    const UtilDataFile& LoadBytes(const std::string& bytes) {
        file_.Load(scratch_.Write("util.dat", bytes));
        return file_;
    }

    testsupport::ScratchDir scratch_;
    UtilDataFile file_;
};

TEST_F(MediaTypeTableTest, CompiledFileGivesTextsThenMediaTypes) {
    const UtilDataFile& file =
        LoadBytes(Compile("[texts]\n100 Next >\n[media-types]\n"
                          "150 | 0x0101 | 1 | 360x360 720x360 720x720 720x1440 | 2 2 4 4\n"
                          "130 | 769 | 5 | 720x720 720x1440 1440x1440 2880x1440 | 4 4 8 16\n"));
    EXPECT_EQ(file.GetText(100), "Next >");
    const MediaTypeTable& media = file.MediaTypes();
    ASSERT_EQ(media.Count(), 2);
    EXPECT_EQ(media.OrderOf(0x0101), 150);
    EXPECT_EQ(media.FileIdOf(0x0101), 1);
    EXPECT_EQ(media.OrderOf(0x0301), 130);
    EXPECT_EQ(media.FileIdOf(0x0301), 5);
    EXPECT_EQ(media.ResolutionsOf(0x0301),
              (ResolutionsByMode{{{720, 720}, {720, 1440}, {1440, 1440}, {2880, 1440}}}));
    EXPECT_EQ(media.MwOf(0x0301), (MwByMode{4, 4, 8, 16}));
    EXPECT_EQ(media.ResolutionsOf(0x0101)->at(1), (Resolution{720, 360}));
}

TEST_F(MediaTypeTableTest, OrderMatchesTheLow16BitsButFileIdAllBits) {
    const UtilDataFile& file = LoadBytes(MediaFile({Record(42, 0x0302, 6)}, 1));
    const MediaTypeTable& media = file.MediaTypes();
    EXPECT_EQ(media.OrderOf(0x00070302), 42);
    EXPECT_EQ(media.FileIdOf(0x00070302), -1);
    EXPECT_FALSE(media.ResolutionsOf(0x00070302));
    EXPECT_FALSE(media.MwOf(0x00070302));
    EXPECT_EQ(media.FileIdOf(0x0302), 6);
}

TEST_F(MediaTypeTableTest, RecordWithUpperBitsIsNeverFoundByOrder) {
    // The argument is cut to 16 bits, the record's ID is not.
    const UtilDataFile& file = LoadBytes(MediaFile({Record(42, 0x10302, 6)}, 1));
    EXPECT_EQ(file.MediaTypes().OrderOf(0x10302), -1);
    EXPECT_EQ(file.MediaTypes().FileIdOf(0x10302), 6);
}

TEST_F(MediaTypeTableTest, FirstMatchingRecordWins) {
    const UtilDataFile& file =
        LoadBytes(MediaFile({Record(1, 0x0201, 3), Record(2, 0x0201, 4)}, 2));
    EXPECT_EQ(file.MediaTypes().OrderOf(0x0201), 1);
    EXPECT_EQ(file.MediaTypes().FileIdOf(0x0201), 3);
    EXPECT_EQ(file.MediaTypes().MwOf(0x0201)->at(0), 308);
}

TEST_F(MediaTypeTableTest, EmptyTableMakesEveryLookupFail) {
    for (const std::string& bytes : {MediaFile({}, 0), MediaFile({}, -3), std::string()}) {
        const UtilDataFile& file = LoadBytes(bytes);
        const MediaTypeTable& media = file.MediaTypes();
        EXPECT_EQ(media.Count(), 0);
        EXPECT_EQ(media.OrderOf(0), -1);
        EXPECT_EQ(media.FileIdOf(0), -1);
        EXPECT_FALSE(media.ResolutionsOf(0));
        EXPECT_FALSE(media.MwOf(0));
    }
}

TEST_F(MediaTypeTableTest, MissingFileLeavesTextsAndMediaEmpty) {
    UtilDataFile file;
    file.Load(scratch_ / "absent.dat");
    EXPECT_EQ(file.GetText(100), "");
    EXPECT_EQ(file.MediaTypes().Count(), 0);
    EXPECT_EQ(file.MediaTypes().OrderOf(0), -1);
}

TEST_F(MediaTypeTableTest, ShortFileLeavesTheMissingRecordsZero) {
    // Three records announced, one and a half present: the rest reads as zeros, never beyond.
    std::string bytes = MediaFile({Record(42, 0x0501, 10)}, 3);
    bytes += std::string(30, '\x7F');
    const UtilDataFile& file = LoadBytes(bytes);
    const MediaTypeTable& media = file.MediaTypes();
    ASSERT_EQ(media.Count(), 3);
    EXPECT_EQ(media.OrderOf(0x0501), 42);
    // The zero records have media ID 0, order 0 and file ID 0.
    EXPECT_EQ(media.FileIdOf(0), 0);
    EXPECT_EQ(media.MwOf(0), (MwByMode{0, 0, 0, 0}));
}

TEST_F(MediaTypeTableTest, TruncatedTextTableLeavesNoMediaTable) {
    std::string bytes;
    PutInt32(bytes, 2);
    bytes += std::string(132, '\0');  // one text record of two
    const UtilDataFile& file = LoadBytes(bytes);
    EXPECT_EQ(file.MediaTypes().Count(), 0);
}

TEST_F(MediaTypeTableTest, DataFileOfAModulePathWithoutExtension) {
    // The module's folder must hold no '.' either, as the last '.' of the whole path counts.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("plenwise_util_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    {
        std::ofstream out(folder / "util.dat", std::ios::binary);
        out << MediaFile({Record(7, 0x0101, 1)}, 1);
    }
    UtilDataFile file;
    file.Load(DataFilePath((folder / "util").string()));
    std::filesystem::remove_all(folder);
    EXPECT_EQ(file.MediaTypes().OrderOf(0x0101), 7);
    EXPECT_EQ(DataFilePath("util"), "util.dat");
    EXPECT_EQ(DataFilePath(".util"), ".util.dat");
    EXPECT_EQ(DataFilePath("/lib/util.so"), "/lib/util.dat");
}

TEST(DatcMediaTypes, MalformedLinesAreRejected) {
    const std::vector<std::string> bad = {
        "1 | 0x0101 | 1 | 360x360 720x360 720x720 | 2 2 4 4",            // three resolutions
        "1 | 0x0101 | 1 | 360x360 720x360 720x720 720x1440 | 2 2 4",     // three Mw
        "1 | 0x10000 | 1 | 360x360 720x360 720x720 720x1440 | 2 2 4 4",  // beyond 16 bits
        "1 | 0x0101 | 1 | 360*360 720x360 720x720 720x1440 | 2 2 4 4",   // no 'x'
        "x | 0x0101 | 1 | 360x360 720x360 720x720 720x1440 | 2 2 4 4",   // order
        "1 | 0x0101 | 1 | 360x360 720x360 720x720 720x1440",             // no Mw field
    };
    for (const auto& line : bad) {
        datc::DataSource data(datc::Kind::Util);
        EXPECT_FALSE(data.AddSource("util.txt", "[media-types]\n" + line + "\n")) << line;
        ASSERT_EQ(data.Errors().size(), 1u) << line;
        EXPECT_TRUE(data.Errors()[0].starts_with("util.txt:2: ")) << data.Errors()[0];
    }
}

TEST(DatcMediaTypes, DuplicateIdsAndForeignKindsAreRejected) {
    datc::DataSource data(datc::Kind::Util);
    const std::string line = "1 | 0x0101 | 1 | 1x1 1x1 1x1 1x1 | 1 1 1 1\n";
    EXPECT_TRUE(data.AddSource("a.txt", "[media-types]\n" + line));
    EXPECT_FALSE(data.AddSource("b.txt", "[media-types]\n" + line));

    datc::DataSource hub(datc::Kind::Hub);
    EXPECT_FALSE(hub.AddSource("hub.txt", "[media-types]\n"));
    datc::DataSource util(datc::Kind::Util);
    EXPECT_FALSE(util.AddSource("util.txt", "[functions]\n"));
    EXPECT_EQ(datc::ParseKind("util"), datc::Kind::Util);
}

TEST(DatcMediaTypes, UtilKindWritesTextsThenMediaTypes) {
    datc::DataSource data(datc::Kind::Util);
    ASSERT_TRUE(data.AddSource("util.txt",
                               "[media-types]\n-5 | 258 | -1 | 1x2 3x4 5x6 7x8 | 9 10 11 -12\n"));
    const auto bytes = data.Encode();
    ASSERT_EQ(bytes.size(), 4u + 4u + datc::kMediaTypeRecordSize);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<uint8_t>{0, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 8, bytes.begin() + 24),
              (std::vector<uint8_t>{0xFB, 0xFF, 0xFF, 0xFF, 2, 1, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1,
                                    0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()),
              (std::vector<uint8_t>{0xF4, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
