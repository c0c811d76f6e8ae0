#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/ui_text_table.h"
#include "tests/text_table/temp_files.h"
#include "tools/datc/data_source.h"

namespace {

using DatcTest = TempDirTest;

std::vector<std::string> ErrorsOf(datc::Kind kind, const std::string& source) {
    datc::DataSource data(kind);
    EXPECT_FALSE(data.AddSource("src.txt", source));
    return data.Errors();
}

TEST_F(DatcTest, CompiledHubFileLoadsBack) {
    datc::DataSource data(datc::Kind::Hub);
    ASSERT_TRUE(data.AddSource("common.txt", "[texts]\n100 Next >\n101\n"));
    ASSERT_TRUE(data.AddSource("hub.txt",
                               "# comment\r\n"
                               "[functions]\n"
                               "  1:2 | Head gap adjustment | util.so  \n"
                               "0x00020004 | Power cleaning | upkeep.so\n"
                               "[printer-models]\n"
                               "1:0 | ARVEN WL-4000\n"
                               "[texts]\n"
                               "155 \tNo printer.\\nInstall one.\r\n"
                               "500 \"  Blanks kept.  \"\n"
                               "501 \"quoted\" inside\"\n"
                               "-7 Ünïcode ✓"));
    ASSERT_TRUE(data.Errors().empty());
    const auto bytes = data.Encode();
    ASSERT_EQ(bytes.size(), 4 + 6 * 132 + 4 + 2 * 520 + 4 + 1 * 264u);

    HubTables tables;
    tables.Load(Write("selhub.dat", bytes));
    EXPECT_EQ(tables.GetText(100), "Next >");
    EXPECT_EQ(tables.GetText(101), "");
    EXPECT_EQ(tables.GetText(155), "No printer.\nInstall one.");
    EXPECT_EQ(tables.GetText(500), "  Blanks kept.  ");
    EXPECT_EQ(tables.GetText(501), "quoted\" inside");
    EXPECT_EQ(tables.GetText(-7), "Ünïcode ✓");
    ASSERT_EQ(tables.FunctionCount(), 2);
    EXPECT_EQ(tables.FunctionKey(0), 0x10002u);
    EXPECT_EQ(tables.FunctionName(0), "Head gap adjustment");
    EXPECT_EQ(tables.FunctionFile(0), "util.so");
    EXPECT_EQ(tables.FunctionKey(1), 0x20004u);
    ASSERT_EQ(tables.PrinterModelCount(), 1);
    EXPECT_EQ(tables.PrinterModelKey(0), 0x10000u);
    EXPECT_EQ(tables.PrinterModelDriver(0), "ARVEN WL-4000");

    // Records keep the stored backslash-n, and the unread words are zero.
    const std::string stored = "No printer.\\nInstall one.";
    const auto text155 = bytes.begin() + 4 + 2 * 132 + 4;
    EXPECT_EQ(std::string(text155, text155 + std::ssize(stored) + 1), stored + '\0');
    const std::size_t functions = 4 + 6 * 132;
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + functions, bytes.begin() + functions + 12),
              (std::vector<uint8_t>{2, 0, 0, 0, 2, 0, 1, 0, 0, 0, 0, 0}));
}

TEST_F(DatcTest, TextsKindWritesTheTextTableOnly) {
    datc::DataSource data(datc::Kind::Texts);
    ASSERT_TRUE(data.AddSource("t.txt", "[texts]\n1 a\n2 b\n"));
    EXPECT_EQ(data.Encode().size(), 4 + 2 * 132u);
    EXPECT_FALSE(data.AddSource("f.txt", "[functions]\n1:1 | x | y.so\n"));
}

TEST_F(DatcTest, LimitsAreTheFieldWidthsLessTheNul) {
    const std::string text127(127, 't');
    const std::string name255(255, 'n');
    datc::DataSource data(datc::Kind::Hub);
    ASSERT_TRUE(data.AddSource("ok.txt", "[texts]\n1 " + text127 + "\n[functions]\n1:1 | " +
                                             name255 + " | " + name255 + "\n"));
    HubTables tables;
    tables.Load(Write("m.dat", data.Encode()));
    EXPECT_EQ(tables.GetText(1), text127);
    EXPECT_EQ(tables.FunctionFile(0), name255);

    EXPECT_EQ(ErrorsOf(datc::Kind::Hub, "[texts]\n1 ok\n2 " + text127 + "x\n"),
              std::vector<std::string>{"src.txt:3: text 2 is 128 bytes long; at most 127 fit"});
    EXPECT_EQ(ErrorsOf(datc::Kind::Hub, "[printer-models]\n1:0 | " + name255 + "n\n").size(), 1u);
    EXPECT_EQ(ErrorsOf(datc::Kind::Hub, "[functions]\n1:1 | a | " + name255 + "n\n").size(), 1u);
}

TEST_F(DatcTest, MalformedSourcesAreRejectedWithTheirLine) {
    const std::vector<std::string> malformed = {
        "100 text before any section",      "[text]",
        "[texts]\nNext > without a number", "[texts]\n12a Next",
        "[texts]\n99999999999 too big",     "[texts]\n5 \"unclosed",
        "[texts]\n5 bad \xC3( utf-8",       "[texts]\n5 tab\tinside",
        "[functions]\n1:1 | missing file",  "[functions]\n1:1 | a | b | c",
        "[functions]\n1:1 |  | util.so",    "[functions]\n256:1 | a | b.so",
        "[functions]\n1:65536 | a | b.so",  "[functions]\n0x1FFFFFFFF | a | b.so",
        "[functions]\nfamily | a | b.so",   "[printer-models]\n1:0",
    };
    for (const auto& source : malformed) {
        SCOPED_TRACE(source);
        const auto errors = ErrorsOf(datc::Kind::Hub, source);
        ASSERT_EQ(errors.size(), 1u);
        const std::string where =
            source.find('\n') == std::string::npos ? "src.txt:1: " : "src.txt:2: ";
        EXPECT_EQ(errors[0].rfind(where, 0), 0u) << errors[0];
    }
}

TEST_F(DatcTest, DuplicateTextNumbersAreRejectedAcrossSources) {
    datc::DataSource data(datc::Kind::Texts);
    ASSERT_TRUE(data.AddSource("common.txt", "[texts]\n100 Next\n"));
    EXPECT_FALSE(data.AddSource("own.txt", "[texts]\n101 Back\n100 Again\n101 Twice\n"));
    ASSERT_EQ(data.Errors().size(), 2u);
    EXPECT_EQ(data.Errors()[0], "own.txt:3: text number 100 is defined twice");
    EXPECT_EQ(data.Errors()[1], "own.txt:4: text number 101 is defined twice");
    // The failed source added nothing.
    EXPECT_EQ(data.Encode().size(), 4 + 132u);
}

TEST_F(DatcTest, HubSourcesHoldEveryTextAndDriverTheHubUses) {
    const char* sourceRoot = std::getenv("PLENWISE_SOURCE");
    ASSERT_NE(sourceRoot, nullptr) << "run through ctest, which sets PLENWISE_SOURCE";
    const auto path = std::filesystem::path(sourceRoot) / "resources/selhub/hub.txt";
    const auto content = ReadBytes(path.string());
    ASSERT_FALSE(content.empty()) << path;
    datc::DataSource data(datc::Kind::Hub);
    ASSERT_TRUE(data.AddSource(path.string(), std::string(content.begin(), content.end())))
        << testing::PrintToString(data.Errors());
    HubTables tables;
    tables.Load(Write("selhub.dat", data.Encode()));

    for (const int32_t number :
         {100, 101, 102, 150, 151, 155, 160, 161, 162, 163, 310, 500, 501, 502, 503, 504}) {
        EXPECT_NE(tables.GetText(number), "") << number;
    }
    const std::vector<std::pair<std::string, uint32_t>> drivers = {
        {"ARVEN WL-4000", 1},       {"ARVEN Wideline 400U", 1}, {"ARVEN Wideline 400C", 3},
        {"ARVEN Wideline 400D", 3}, {"ARVEN WL-3000", 2},       {"ARVEN WL-2000", 2},
        {"ARVEN Wideline 300", 2},  {"ARVEN Wideline 200", 2},  {"ARVEN Wideline 300-D", 2},
        {"ARVEN Wideline 200-D", 2}};
    ASSERT_EQ(tables.PrinterModelCount(), static_cast<int32_t>(drivers.size()));
    for (int32_t i = 0; i < tables.PrinterModelCount(); ++i) {
        EXPECT_EQ(tables.PrinterModelDriver(i), drivers[i].first);
        EXPECT_EQ(tables.PrinterModelKey(i) >> 16 & 0xFF, drivers[i].second);
    }
    // Every function number is offered in the first two families, by the family's own plug-in.
    for (const uint32_t family : {1u, 2u}) {
        const std::string utility = family == 1 ? "util.so" : "altutil.so";
        EXPECT_EQ(tables.FileOfKey(family << 16 | 1), utility);
        EXPECT_EQ(tables.FileOfKey(family << 16 | 2), utility);
        EXPECT_EQ(tables.FileOfKey(family << 16 | 3), "fwload.so");
        EXPECT_EQ(tables.FileOfKey(family << 16 | 4), "upkeep.so");
    }
    // The family without custom media settings offers the other three functions.
    EXPECT_EQ(tables.FileOfKey(3u << 16 | 1), "");
    EXPECT_EQ(tables.FileOfKey(3u << 16 | 2), "util.so");
    EXPECT_EQ(tables.FileOfKey(3u << 16 | 3), "fwload.so");
    EXPECT_EQ(tables.FileOfKey(3u << 16 | 4), "upkeep.so");
}

TEST_F(DatcTest, ToolWritesNothingWhenASourceIsBad) {
    const char* datcPath = std::getenv("DATC");
    ASSERT_NE(datcPath, nullptr) << "run through ctest, which sets DATC";
    const auto run = [&](const std::string& arguments) {
        const std::string command =
            std::string(datcPath) + " " + arguments + " 2>" + PathOf("stderr.txt");
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const auto good = Write("good.txt", "[texts]\n1 one\n");
    const auto bad = Write("bad.txt", "[texts]\n2 " + std::string(128, 'x') + "\n");
    const auto out = PathOf("out.dat");

    EXPECT_EQ(run("--kind texts --out " + out + " " + good + " " + bad), 1);
    EXPECT_FALSE(std::filesystem::exists(out));
    const auto message = ReadBytes(PathOf("stderr.txt"));
    EXPECT_EQ(std::string(message.begin(), message.end()),
              bad + ":2: text 2 is 128 bytes long; at most 127 fit\n");

    EXPECT_EQ(run("--kind texts --out " + out + " " + good), 0);
    datc::DataSource expected(datc::Kind::Texts);
    expected.AddSource("good.txt", "[texts]\n1 one\n");
    EXPECT_EQ(ReadBytes(out), expected.Encode());

    EXPECT_EQ(run("--kind nonsense --out " + out + " " + good), 2);
    EXPECT_EQ(run("--kind texts " + good), 2);
    EXPECT_EQ(run("--kind texts --out " + out + " " + PathOf("missing.txt")), 1);
}

}  // namespace
