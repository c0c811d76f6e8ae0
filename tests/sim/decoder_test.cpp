#include "sim/printer/decoder.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/sim/blocks.h"

namespace {

using namespace simtest;
using printersim::DecodeJob;
using printersim::ItemKind;

std::vector<std::string> Lines(const Bytes& job) {
    auto decoded = DecodeJob(job);
    std::vector<std::string> lines;
    for (const auto& item : decoded.items) {
        lines.push_back(printersim::DescribeItem(item, job));
    }
    return lines;
}

std::string Kind(const Bytes& job) {
    return printersim::ClassifyJob(DecodeJob(job), job.size());
}

// The items of a decoded job lie end to end and cover the job exactly.
void ExpectTiled(const Bytes& job) {
    auto decoded = DecodeJob(job);
    size_t at = 0;
    for (const auto& item : decoded.items) {
        ASSERT_EQ(item.offset, at);
        ASSERT_GT(item.length, 0u);
        ASSERT_LE(item.dataOffset + item.dataLength, job.size());
        printersim::DescribeItem(item, job);
        at += item.length;
    }
    ASSERT_EQ(at, job.size());
    printersim::ClassifyJob(decoded, job.size());
}

TEST(Decoder, PowerCleaningBlock) {
    Bytes job = PowerCleaning();
    ASSERT_EQ(job.size(), 25u);
    EXPECT_EQ(Lines(job), (std::vector<std::string>{"reset (ESC @)", "enter remote mode (REMOTE1)",
                                                    "CH 00 10", "leave remote mode"}));
    EXPECT_EQ(Kind(job), "power cleaning");
    EXPECT_FALSE(DecodeJob(job).endsInRemoteMode);
}

TEST(Decoder, HeadGapStoreBlockNamesEveryValue) {
    Bytes job = HeadGapStore253({8, 9, 10, 11, 12});
    ASSERT_EQ(job.size(), 76u);
    EXPECT_EQ(Lines(job),
              (std::vector<std::string>{"reset (ESC @)", "enter remote mode (REMOTE1)", "PH 00 01",
                                        "SN v=03", "DA m=10 c=12 v=8", "DA m=10 c=13 v=9",
                                        "DA m=10 c=14 v=10", "DA m=10 c=15 v=11",
                                        "DA m=10 c=16 v=12", "SV", "leave remote mode"}));
    EXPECT_EQ(Kind(job), "head-gap store");
}

TEST(Decoder, HeadGapTestAndLeaveBlocks) {
    Bytes test =
        Join({RemoteHeader(), Command("PH", {0x00, 0x01}), Command("DA", {0x00, 0x00, 0x11, 15}),
              Command("DT", {0x00, 0x00, 0x1F}), Leave(), FormFeedTail()});
    EXPECT_EQ(Lines(test),
              (std::vector<std::string>{"reset (ESC @)", "enter remote mode (REMOTE1)", "PH 00 01",
                                        "DA m=00 c=11 v=15", "DT p=00 q=1F", "leave remote mode",
                                        "form feed (CR LF FF)", "reset (ESC @)"}));
    EXPECT_EQ(Kind(test), "head-gap test");

    Bytes leave = HeadGapLeave();
    ASSERT_EQ(leave.size(), 23u);
    EXPECT_EQ(Lines(leave)[2], "LD");
    EXPECT_EQ(Kind(leave), "head-gap leave");
}

TEST(Decoder, SampleSeriesSwitch) {
    EXPECT_EQ(Lines(SampleSeries(0x6D, 0x04, true)),
              std::vector<std::string>{"sample series on k1=6D k2=04"});
    EXPECT_EQ(Kind(SampleSeries(0x6D, 0x04, true)), "sample series on");
    EXPECT_EQ(Lines(SampleSeries(0x39, 0x03, false)),
              std::vector<std::string>{"sample series off k1=39 k2=03"});
    Bytes odd = SampleSeries(0x23, 0x03, true);
    odd[7] = 0x00;
    EXPECT_NE(Lines(odd)[0].find("unexpected parameters"), std::string::npos);
}

TEST(Decoder, FirmwarePreDownloadBlock) {
    Bytes job = FirmwarePreDownload();
    ASSERT_EQ(job.size(), 60u);
    EXPECT_EQ(Lines(job),
              (std::vector<std::string>{"reset (ESC @)", "packet-mode exit (@AJL 1284.4)",
                                        "reset (ESC @)", "enter remote mode (REMOTE1)", "ST 00 00",
                                        "SM 00 00", "leave remote mode"}));
    EXPECT_EQ(Kind(job), "firmware pre-download");
}

TEST(Decoder, FirmwareTransferCarriesHeaderAndFile) {
    Bytes file = FirmwareFile("BN0105", 4000);
    Bytes job = FirmwareTransfer(kClass1, file);
    auto decoded = DecodeJob(job);
    ASSERT_EQ(decoded.items.size(), 1u);
    const auto& item = decoded.items[0];
    EXPECT_EQ(item.kind, ItemKind::kFirmwareTransfer);
    EXPECT_EQ(item.dataOffset, 16394u);
    EXPECT_EQ(Bytes(job.begin() + static_cast<long>(item.dataOffset), job.end()), file);
    EXPECT_EQ(printersim::DescribeItem(item, job),
              "firmware transfer: lead-in 16384 x 11, model header 1B 7D 01 05 00 23 03 70 8F 38, "
              "file 4000 bytes, version BN0105");
    EXPECT_EQ(Kind(job), "firmware transfer");

    EXPECT_NE(Lines(FirmwareTransfer(kClass2, FirmwareFile("", 10)))[0].find("no version"),
              std::string::npos);
    EXPECT_NE(Lines(Bytes(16384, 0x11))[0].find("ends before the model header"), std::string::npos);
    // One byte short of the lead-in is no transfer.
    Bytes shortLeadIn = FirmwareTransfer(kClass1, file);
    shortLeadIn.erase(shortLeadIn.begin());
    EXPECT_EQ(DecodeJob(shortLeadIn).items[0].kind, ItemKind::kUnparsed);
}

TEST(Decoder, PdfDocumentWithPages) {
    Bytes pdf = Text(
        "%PDF-1.4\n1 0 obj << /Type /Pages /Kids [2 0 R 3 0 R] >> endobj\n"
        "2 0 obj << /Type /Page >> endobj\n3 0 obj <</Type/Page>> endobj\n"
        "trailer << >>\n%%EOF\n");
    auto decoded = DecodeJob(pdf);
    ASSERT_EQ(decoded.items.size(), 1u);
    EXPECT_EQ(decoded.items[0].dataLength, pdf.size());
    EXPECT_EQ(Lines(pdf)[0], "PDF document, " + std::to_string(pdf.size()) + " bytes, 2 page(s)");
    EXPECT_EQ(Kind(pdf), "PDF document");
    Bytes cut(pdf.begin(), pdf.begin() + 40);
    EXPECT_NE(Lines(cut)[0].find("cut short"), std::string::npos);
}

TEST(Decoder, UnknownBytesAreFiledAsUnparsed) {
    EXPECT_EQ(Lines(Text("hello")),
              std::vector<std::string>{"unparsed 5 bytes at 0x0: 68 65 6C 6C 6F"});
    EXPECT_EQ(Kind(Text("hello")), "unparsed");
    EXPECT_EQ(Kind({}), "empty job");

    Bytes mixed = Join({Text("xy"), PowerCleaning(), {0xFF}});
    EXPECT_EQ(Lines(mixed).front(), "unparsed 2 bytes at 0x0: 78 79");
    EXPECT_EQ(Lines(mixed).back(), "unparsed 1 bytes at 0x1B: FF");
    EXPECT_EQ(Kind(mixed), "power cleaning + unparsed bytes");
}

TEST(Decoder, MalformedRemoteCommands) {
    // A command that announces more parameter bytes than the job holds.
    Bytes cut = Join({RemoteHeader(), {'D', 'A', 0x04, 0x00, 0x00, 0x10}});
    auto decoded = DecodeJob(cut);
    EXPECT_TRUE(decoded.endsInRemoteMode);
    EXPECT_NE(Lines(cut).back().find("DA cut short: 4 parameter bytes announced, 2 present"),
              std::string::npos);

    Bytes shortDa = Join({RemoteHeader(), Command("DA", {0x00, 0x10, 0x12}), Leave()});
    auto item = DecodeJob(shortDa).items[2];
    EXPECT_FALSE(printersim::IsWellFormedCommand(item));
    EXPECT_EQ(Lines(shortDa)[2],
              "DA 00 10 12 (unexpected parameters: 4 bytes beginning 00 expected)");

    Bytes unknown = Join({RemoteHeader(), Command("QQ", {0x01}), Leave()});
    EXPECT_EQ(Lines(unknown)[2], "QQ 01 (unknown command)");

    // Bytes that are no command end the remote-mode reading; the leave still counts as one.
    Bytes broken = Join({RemoteHeader(), {0x01, 0x02}, Leave()});
    EXPECT_EQ(Lines(broken)[2], "unparsed 2 bytes at 0xF: 01 02");
    EXPECT_EQ(Lines(broken)[3], "leave remote mode");
    EXPECT_EQ(Lines(Leave())[0], "leave remote mode (not in remote mode)");
}

TEST(Decoder, EveryPrefixAndRandomInputDecodesSafely) {
    std::vector<Bytes> blocks = {PowerCleaning(),       HeadGapStore253({1, 2, 3, 4, 5}),
                                 HeadGapLeave(),        SampleSeries(0x6D, 0x04, true),
                                 FirmwarePreDownload(), Text("%PDF-1.4 /Type /Page %%EOF")};
    for (const auto& block : blocks) {
        for (size_t length = 0; length <= block.size(); ++length) {
            ExpectTiled(Bytes(block.begin(), block.begin() + static_cast<long>(length)));
        }
    }
    Bytes transfer = FirmwareTransfer(kClass2, FirmwareFile("BA0001", 30));
    for (size_t length = 16380; length <= transfer.size(); ++length) {
        ExpectTiled(Bytes(transfer.begin(), transfer.begin() + static_cast<long>(length)));
    }
    // Random bytes drawn mostly from the ones that start elements.
    std::mt19937 random(4711);
    const uint8_t alphabet[] = {0x1B, 0x40, 0x28, 0x52, 0x00, 0x08, 'R',  'E',  'M',
                                'O',  'T',  '1',  'D',  'A',  0x7C, 0x01, 0x06, 0x0D,
                                0x0A, 0x0C, 0xFF, 0x11, '%',  'P',  'F'};
    for (int round = 0; round < 2000; ++round) {
        Bytes job(random() % 200);
        for (auto& byte : job) {
            byte = random() % 4 == 0 ? static_cast<uint8_t>(random())
                                     : alphabet[random() % sizeof alphabet];
        }
        if (round % 3 == 0) {
            job = Join({RemoteHeader(), job});
        }
        ExpectTiled(job);
    }
}

}  // namespace
