#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/ui_text_table.h"
#include "tests/text_table/temp_files.h"

namespace {

// Builds data files byte by byte, independent of the compiler under test.
class FileBytes {
  public:
    FileBytes& Int32(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes_.push_back(static_cast<uint8_t>(value >> shift));
        }
        return *this;
    }
    FileBytes& Field(const std::string& text, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) {
            bytes_.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
        }
        return *this;
    }
    FileBytes& Text(int32_t number, const std::string& text) {
        return Int32(static_cast<uint32_t>(number)).Field(text, 128);
    }
    FileBytes& Function(uint32_t key, const std::string& name, const std::string& file) {
        return Int32(key).Int32(0xDEADBEEF).Field(name, 256).Field(file, 256);
    }
    FileBytes& Model(uint32_t key, const std::string& driver) {
        return Int32(key).Int32(0xDEADBEEF).Field(driver, 256);
    }
    FileBytes& Cut(std::size_t bytesOff) {
        bytes_.resize(bytes_.size() - bytesOff);
        return *this;
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

using TextTableTest = TempDirTest;

TEST_F(TextTableTest, BackslashNBecomesLineBreakAndCrLfInPanes) {
    UiTextTable table;
    table.Load(Write("m.dat", FileBytes()
                                  .Int32(3)
                                  .Text(10, R"(one\ntwo\nthree)")
                                  .Text(11, R"(path C:\dir\\n and a lone \)")
                                  .Text(12, "plain")
                                  .Bytes()));
    EXPECT_EQ(table.GetText(10), "one\ntwo\nthree");
    EXPECT_EQ(ToCrLf(table.GetText(10)), "one\r\ntwo\r\nthree");
    // Only the pair backslash-n changes; other backslashes stay.
    EXPECT_EQ(table.GetText(11), "path C:\\dir\\\n and a lone \\");
    EXPECT_EQ(table.GetText(12), "plain");
    EXPECT_EQ(table.GetText(13), "");
    EXPECT_EQ(ToCrLf("\n\nend\n"), "\r\n\r\nend\r\n");
}

TEST_F(TextTableTest, FirstRecordWinsForADuplicatedNumber) {
    UiTextTable table;
    table.Load(Write(
        "m.dat", FileBytes().Int32(3).Text(5, "first").Text(6, "other").Text(5, "second").Bytes()));
    EXPECT_EQ(table.GetText(5), "first");
}

TEST_F(TextTableTest, TextFillingTheWholeFieldEndsAtTheRecordEnd) {
    const std::string full(128, 'x');
    UiTextTable table;
    table.Load(Write("m.dat", FileBytes().Int32(2).Text(1, full).Text(2, "next").Bytes()));
    EXPECT_EQ(table.GetText(1), full);
    EXPECT_EQ(table.GetText(2), "next");
}

TEST_F(TextTableTest, TextFillingItsFieldNeverEndsInsideACharacter) {
    // 128 bytes without a NUL, as a damaged or foreign file may hold them.
    const std::string cut = std::string(126, 'x') + "\xE6\x97";          // 日 lacks a byte
    const std::string whole = std::string(125, 'x') + "\xE6\x97\xA5";    // 日 complete
    const std::string cutLong = std::string(125, 'x') + "\xF0\x9F\x98";  // a 4-byte one cut
    UiTextTable table;
    table.Load(
        Write("m.dat", FileBytes().Int32(3).Text(1, cut).Text(2, whole).Text(3, cutLong).Bytes()));
    EXPECT_EQ(table.GetText(1), std::string(126, 'x'));
    EXPECT_EQ(table.GetText(2), whole);
    EXPECT_EQ(table.GetText(3), std::string(125, 'x'));
}

TEST_F(TextTableTest, TruncatedFileLeavesZeroRecordsThatNumberZeroMatches) {
    // Three records announced, one and a half present.
    UiTextTable table;
    table.Load(Write("m.dat", FileBytes()
                                  .Int32(3)
                                  .Text(7, "kept")
                                  .Text(8, "half of this record is missing")
                                  .Cut(70)
                                  .Bytes()));
    EXPECT_EQ(table.GetText(7), "kept");
    EXPECT_EQ(table.GetText(8), "half of this record is missing");
    EXPECT_EQ(table.GetText(0), "");
}

TEST_F(TextTableTest, MissingOrEmptyFileGivesEmptyTables) {
    HubTables tables;
    tables.Load(PathOf("absent.dat"));
    EXPECT_EQ(tables.GetText(0), "");
    EXPECT_EQ(tables.FunctionCount(), 0);
    EXPECT_EQ(tables.PrinterModelCount(), 0);

    tables.Load(Write("empty.dat", std::string()));
    EXPECT_EQ(tables.FunctionCount(), 0);

    // A count cut short counts as unreadable.
    tables.Load(Write("short.dat", std::string("\x01\x00", 2)));
    EXPECT_EQ(tables.GetText(1), "");
}

TEST_F(TextTableTest, LoadingAgainReplacesTheTables) {
    HubTables tables;
    tables.Load(Write("m.dat", FileBytes()
                                   .Int32(1)
                                   .Text(1, "old")
                                   .Int32(1)
                                   .Function(0x10001, "f", "util.so")
                                   .Int32(0)
                                   .Bytes()));
    ASSERT_EQ(tables.GetText(1), "old");
    tables.Load(PathOf("absent.dat"));
    EXPECT_EQ(tables.GetText(1), "");
    EXPECT_EQ(tables.FunctionCount(), 0);
}

TEST_F(TextTableTest, NegativeOrHugeCountGivesAnEmptyTable) {
    for (const uint32_t count : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu}) {
        SCOPED_TRACE(count);
        // The refused table reads nothing, so the next table's count follows at once.
        HubTables tables;
        tables.Load(Write("m.dat", FileBytes()
                                       .Int32(count)
                                       .Int32(1)
                                       .Function(0x10001, "Media", "util.so")
                                       .Int32(count)
                                       .Bytes()));
        EXPECT_EQ(tables.GetText(0), "");
        EXPECT_EQ(tables.FunctionCount(), 1);
        EXPECT_EQ(tables.FunctionFile(0), "util.so");
        EXPECT_EQ(tables.PrinterModelCount(), 0);
    }
}

TEST_F(TextTableTest, CountsAreBoundedBySizeNotByWhatTheFileHolds) {
    // 16 MiB of 520-byte records: 32263 fit, zero-filled beyond the file's end; 32264 do not.
    HubTables tables;
    tables.Load(Write(
        "fits.dat",
        FileBytes().Int32(0).Int32(32263).Function(0x20003, "Firmware", "fwload.so").Bytes()));
    EXPECT_EQ(tables.FunctionCount(), 32263);
    EXPECT_EQ(tables.FunctionKey(0), 0x20003u);
    EXPECT_EQ(tables.FunctionKey(32262), 0u);
    EXPECT_EQ(tables.FunctionName(32262), "");

    tables.Load(Write(
        "refused.dat",
        FileBytes().Int32(0).Int32(32264).Function(0x20003, "Firmware", "fwload.so").Bytes()));
    EXPECT_EQ(tables.FunctionCount(), 0);
}

TEST_F(TextTableTest, HubTablesReadAllThreeTablesInOrder) {
    const std::string longName(256, 'n');
    HubTables tables;
    tables.Load(Write("selhub.dat", FileBytes()
                                        .Int32(1)
                                        .Text(160, "Caption")
                                        .Int32(4)
                                        .Function(0x10001, "Media settings", "util.so")
                                        .Function(0x10002, longName, "util.so")
                                        .Function(0x10001, "Duplicate key", "other.so")
                                        .Function(0x20001, "Media settings", "altutil.so")
                                        .Int32(2)
                                        .Model(0x10000, "ARVEN WL-4000")
                                        .Model(0x20000, "ARVEN WL-3000")
                                        .Bytes()));
    EXPECT_EQ(tables.GetText(160), "Caption");

    ASSERT_EQ(tables.FunctionCount(), 4);
    EXPECT_EQ(tables.FunctionKey(1), 0x10002u);
    EXPECT_EQ(tables.FunctionName(0), "Media settings");
    EXPECT_EQ(tables.FunctionName(1), longName);  // no NUL: ends with the field
    EXPECT_EQ(tables.FunctionFile(1), "util.so");
    EXPECT_EQ(tables.FunctionFile(3), "altutil.so");

    EXPECT_EQ(tables.FileOfKey(0x10001), "util.so");  // first record with the key
    EXPECT_EQ(tables.FileOfKey(0x20001), "altutil.so");
    EXPECT_EQ(tables.FileOfKey(0x10003), "");
    EXPECT_EQ(tables.FileOfKey(0xFFFFFFFF), "");

    ASSERT_EQ(tables.PrinterModelCount(), 2);
    EXPECT_EQ(tables.PrinterModelKey(1), 0x20000u);
    EXPECT_EQ(tables.PrinterModelDriver(0), "ARVEN WL-4000");

    for (const int32_t outside : {4, -1, 1000}) {
        SCOPED_TRACE(outside);
        EXPECT_EQ(tables.FunctionKey(outside), 0xFFFFFFFFu);
        EXPECT_EQ(tables.FunctionName(outside), "");
        EXPECT_EQ(tables.FunctionFile(outside), "");
    }
    EXPECT_EQ(tables.PrinterModelKey(2), 0xFFFFFFFFu);
    EXPECT_EQ(tables.PrinterModelKey(-1), 0xFFFFFFFFu);
    EXPECT_EQ(tables.PrinterModelDriver(2), "");
}

TEST_F(TextTableTest, OnlyAWholeFileWithEveryTableIsComplete) {
    const FileBytes hub = FileBytes()
                              .Int32(1)
                              .Text(160, "Caption")
                              .Int32(1)
                              .Function(0x10001, "Media settings", "util.so")
                              .Int32(1)
                              .Model(0x10000, "ARVEN WL-4000");
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        bool complete;
    } cases[] = {
        {"whole", hub.Bytes(), true},
        {"empty", {}, false},
        {"cut in the last record", FileBytes(hub).Cut(1).Bytes(), false},
        {"cut before the last count", FileBytes(hub).Cut(264 + 4).Bytes(), false},
        {"no models", FileBytes(hub).Cut(264 + 4).Int32(0).Bytes(), false},
        {"absurd text count", FileBytes().Int32(0x7FFFFFFF).Text(1, "x").Bytes(), false},
        {"texts only", FileBytes().Int32(1).Text(160, "Caption").Bytes(), false},
    };
    for (const auto& [what, bytes, complete] : cases) {
        HubTables tables;
        tables.Load(Write("selhub.dat", bytes));
        EXPECT_EQ(tables.Complete(), complete) << what;
    }
    // A module of texts alone needs only those.
    UiTextTable texts;
    texts.Load(Write("upkeep.dat", FileBytes().Int32(1).Text(1, "x").Bytes()));
    EXPECT_TRUE(texts.Complete());
    texts.Load(Write("upkeep.dat", FileBytes().Int32(2).Text(1, "x").Bytes()));
    EXPECT_FALSE(texts.Complete());
    texts.Load(Write("upkeep.dat", std::string()) + ".none");
    EXPECT_FALSE(texts.Complete());
}

TEST(DataFilePathTest, ReplacesTheExtensionAfterTheFirstCharacter) {
    EXPECT_EQ(DataFilePath("/a/b/selhub.so"), "/a/b/selhub.dat");
    EXPECT_EQ(DataFilePath("/a/b/util.x.so"), "/a/b/util.x.dat");
    EXPECT_EQ(DataFilePath("/a/b/selhub"), "/a/b/selhub.dat");
    EXPECT_EQ(DataFilePath(".so"), ".so.dat");  // a '.' at position 0 is not cut
    EXPECT_EQ(DataFilePath("x.so"), "x.dat");
    EXPECT_EQ(DataFilePath(""), ".dat");
    // The last '.' is cut wherever it stands, also in a directory name.
    EXPECT_EQ(DataFilePath("/a.b/selhub"), "/a.dat");
}

}  // namespace
