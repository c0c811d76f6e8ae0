#include <gtest/gtest.h>

#include <string>

#include "common/remote_commands.h"
#include "platform/system/clock.h"
#include "tests/printer_link/link_fixture.h"

namespace {

std::string Hex(const ByteBlock& block) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (uint8_t byte : block) {
        if (!text.empty()) {
            text += ' ';
        }
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

const std::string kHeader = "1B 40 1B 28 52 08 00 00 52 45 4D 4F 54 45 31";

TEST(RemoteBlocksTest, FixedBlocks) {
    EXPECT_EQ(Hex(PowerCleaningBlock()), kHeader + " 43 48 02 00 00 10 1B 00 00 00");
    EXPECT_EQ(PowerCleaningBlock().size(), 25u);
    EXPECT_EQ(Hex(HeadGapLeaveBlock()), kHeader + " 4C 44 00 00 1B 00 00 00");
    ByteBlock predownload = FirmwarePreDownloadBlock();
    ASSERT_EQ(predownload.size(), 60u);
    EXPECT_EQ(Hex(ByteBlock(predownload.begin(), predownload.begin() + 7)), "1B 40 00 00 00 1B 01");
    EXPECT_EQ(std::string(predownload.begin() + 7, predownload.begin() + 29),
              "@AJL 1284.4\n@AJL     \n");
    EXPECT_EQ(Hex(ByteBlock(predownload.begin() + 29, predownload.end())),
              kHeader + " 53 54 02 00 00 00 53 4D 02 00 00 00 1B 00 00 00");
}

TEST(RemoteBlocksTest, SnmpRequestAndValueCounts) {
    ByteBlock snmp = SnmpFirmwareRequest();
    ASSERT_EQ(snmp.size(), 46u);
    EXPECT_EQ(Hex(ByteBlock(snmp.begin(), snmp.begin() + 15)),
              "30 2C 02 01 00 04 06 76 65 74 72 69 6B A1 1F");
    EXPECT_EQ(Hex(ByteBlock(snmp.end() - 2, snmp.end())), "05 00");
    // Codes 253 and 254 leave the first value out: five "DA" records instead of six.
    auto records = [](const ByteBlock& block) {
        std::string hex = Hex(block);
        size_t count = 0;
        for (size_t at = hex.find("44 41 04 00"); at != std::string::npos;
             at = hex.find("44 41 04 00", at + 1)) {
            ++count;
        }
        return count;
    };
    EXPECT_EQ(records(UtilHeadGapBlock(HeadGapBlockKind::Store, 250, 0, {})), 6u);
    EXPECT_EQ(records(UtilHeadGapBlock(HeadGapBlockKind::Store, 253, 0, {})), 5u);
    EXPECT_EQ(records(AltUtilHeadGapBlock(HeadGapBlockKind::Store, 250, 0, {})), 7u);
    EXPECT_EQ(records(AltUtilHeadGapBlock(HeadGapBlockKind::Store, 253, 0, {})), 6u);
}

TEST(RemoteBlocksTest, SampleSeriesSwitchOfBothUtilities) {
    EXPECT_EQ(Hex(SampleSeriesCommandBlock(true, false, 0x10009)),
              "1B 7C 01 06 00 6D 04 E8 17 74 01");
    EXPECT_EQ(Hex(SampleSeriesCommandBlock(false, true, 9)), "1B 7C 01 06 00 39 03 E8 17 74 00");
    EXPECT_EQ(Hex(SampleSeriesCommandBlock(true, true, 0x26)), "1B 7C 01 06 00 23 03 E8 17 74 01");
}

TEST(RemoteBlocksTest, UtilStoreBlockWithTheFirstValueLeftOut) {
    ByteBlock block = UtilHeadGapBlock(HeadGapBlockKind::Store, 253, 0, {1, 2, -3, 4, 5, 6});
    EXPECT_EQ(block.size(), 76u);
    EXPECT_EQ(Hex(block), kHeader +
                              " 50 48 02 00 00 01 53 4E 03 00 00 01 03"
                              " 44 41 04 00 00 10 12 02 44 41 04 00 00 10 13 FD"
                              " 44 41 04 00 00 10 14 04 44 41 04 00 00 10 15 05"
                              " 44 41 04 00 00 10 16 06 53 56 00 00 1B 00 00 00");
}

TEST(RemoteBlocksTest, UtilTestBlockPatternsAndNoPlatenGap) {
    ByteBlock block =
        UtilHeadGapBlock(HeadGapBlockKind::Test, 251, kNoPlatenGap, {0, 0, 0, 0, 0, 0});
    std::string hex = Hex(block);
    EXPECT_EQ(hex.find("53 4E"), std::string::npos);
    EXPECT_NE(hex.find("44 41 04 00 00 01 11 00"), std::string::npos);
    EXPECT_NE(hex.find("44 54 03 00 00 01 1F 1B 00 00 00 0D 0A 0C 1B 40"), std::string::npos);
    // 252 and 255 send no pattern selection.
    EXPECT_EQ(Hex(UtilHeadGapBlock(HeadGapBlockKind::Test, 252, 1, {})).find("44 54"),
              std::string::npos);
}

TEST(RemoteBlocksTest, AltUtilBlocks) {
    std::string test =
        Hex(AltUtilHeadGapBlock(HeadGapBlockKind::Test, 251, 3, {1, 2, 3, 4, 5, 6, 7}));
    EXPECT_NE(test.find("53 4E 03 00 00 01 04"), std::string::npos);
    EXPECT_NE(test.find("44 41 04 00 00 00 10 01"), std::string::npos);
    EXPECT_NE(test.find("44 41 04 00 00 00 16 07"), std::string::npos);
    EXPECT_NE(test.find("44 54 03 00 00 00 10 44 54 03 00 00 00 11"), std::string::npos);
    std::string store =
        Hex(AltUtilHeadGapBlock(HeadGapBlockKind::Store, 255, 0, {1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(store.find("44 41 04 00 00 10 20"), std::string::npos);  // first value left out
    EXPECT_NE(store.find("44 41 04 00 00 10 21 02"), std::string::npos);
    EXPECT_EQ(store.find("44 54"), std::string::npos);
}

class QueriesTest : public LinkFixture {
  protected:
    QueriesTest() : link_(LinkVariant::Other) {
        sys::SetClock(&clock_);
        InstallDriver();
        EXPECT_TRUE(link_.Bind("P", false));
    }
    ~QueriesTest() override {
        link_.Unbind();
        sys::SetClock(nullptr);
    }
    PrinterQueries Queries(int32_t channel = 4) {
        return PrinterQueries(link_, "P", channel, "ARVEN WL-4000");
    }
    sys::VirtualClock clock_;
    PrinterLink link_;
};

TEST_F(QueriesTest, ReadyNeedsTheModelTheReadyCodeAndOnlyWaitsAfterOtherCodes) {
    DeviceId("MFG:ARVEN;DES:ARVEN WL-4000;CMD:X;");
    Status("ST:02;");
    Status("ST:04;");
    EXPECT_TRUE(Queries().PrinterReady(3));
    EXPECT_EQ(clock_.Sleeps(), (std::vector<uint32_t>{5000}));
    EXPECT_EQ(Closes(), 1);

    Call<void (*)()>("StageReset")();
    DeviceId("DES:ARVEN WL-4000;");
    Status("ST:02;");
    EXPECT_FALSE(Queries().PrinterReady(3));
    EXPECT_EQ(clock_.Sleeps().size(), 4u);  // three more waits, the last one too
    EXPECT_FALSE(Queries().PrinterReady(1));
    EXPECT_EQ(clock_.Sleeps().size(), 4u);  // one read, no wait
}

TEST_F(QueriesTest, MalformedAnswersFailTheReadyCheck) {
    Status("ST:04;");
    DeviceId("DES:ARVEN WL-4000");  // no ";" after the model
    EXPECT_FALSE(Queries().PrinterReady(3));
    DeviceId("DES:;");
    EXPECT_FALSE(Queries().PrinterReady(3));
    DeviceId("DES:ARVEN WL-2000;");  // another model
    EXPECT_FALSE(Queries().PrinterReady(3));
    EXPECT_EQ(Opens(), 0);

    DeviceId("DES:ARVEN WL-4000;");
    Call<void (*)()>("StageReset")();
    DeviceId("DES:ARVEN WL-4000;");
    Status("READY");  // no "ST:": read again at once
    EXPECT_FALSE(Queries().PrinterReady(3));
    EXPECT_TRUE(clock_.Sleeps().empty());
}

TEST_F(QueriesTest, InkSetTables) {
    Status("ST:04;INK:B101,3202,4304,5408,6210,7320;");
    EXPECT_EQ(Queries().PrinterInkSet(InkSetTable::Util), 2);
    EXPECT_EQ(Queries().PrinterInkSet(InkSetTable::AltUtil), 4);
    Call<void (*)()>("StageReset")();
    Status("INK:B101,3202,4304,5408,6210,7320,B140;");
    EXPECT_EQ(Queries().PrinterInkSet(InkSetTable::AltUtil), 3);
    Call<void (*)()>("StageReset")();
    Status("ST:04;");
    EXPECT_EQ(Queries().PrinterInkSet(InkSetTable::Util), -1);
}

TEST_F(QueriesTest, PaperWidthFromTheControlChannelOnly) {
    EXPECT_EQ(Queries(4).PrinterPaperWidth(), -1);
    EXPECT_EQ(Opens(), 0);
    Reply("PW:00003DE0;");  // 0x3DE0 = 15840 = 44 inches; the second reply never comes
    EXPECT_EQ(Queries(static_cast<int32_t>(kControlChannel)).PrinterPaperWidth(), 44);
    EXPECT_EQ(Queries(static_cast<int32_t>(kControlChannel)).PrinterPaperWidth(), -1);
}

TEST_F(QueriesTest, PaperWidthIsTheLargerReplyReadFromItsLastFourCharacters) {
    const auto control = static_cast<int32_t>(kControlChannel);
    // The first four characters are hexadecimal digits too: a read that starts early differs.
    Reply("PW:12341680;");  // 0x1680 = 5760 = 16 inches
    Reply("PW:ABCD3DE0;");  // 44 inches
    EXPECT_EQ(Queries(control).PrinterPaperWidth(), 44);
    EXPECT_EQ(Sent(0), std::string("\x50\x57\x03\x00\x01\x02\x00", 7));
    EXPECT_EQ(Sent(1), std::string("\x50\x57\x03\x00\x01\x03\x00", 7));
    Reply("PW:00013DE0;");
    Reply("PW:FFFF1680;");
    EXPECT_EQ(Queries(control).PrinterPaperWidth(), 44);
}

// A printer that keeps replying something else gets ten reads per request, and each reply is
// read alone: a "P" after "xW:00003DE0;" is no paper width.
TEST_F(QueriesTest, PaperWidthGivesUpOnChatterAndReadsEachReplyAlone) {
    const auto control = static_cast<int32_t>(kControlChannel);
    for (int i = 0; i < 2 * PrinterQueries::kMaxUnansweredReplies; ++i) {
        Reply("OK;");
    }
    Reply("PW:00003DE0;");
    EXPECT_EQ(Queries(control).PrinterPaperWidth(), -1);
    Call<void (*)()>("StageReset")();
    Reply("xW:00003DE0;");
    Reply("P");
    EXPECT_EQ(Queries(control).PrinterPaperWidth(), -1);
    Call<void (*)()>("StageReset")();
    for (int i = 0; i < PrinterQueries::kMaxUnansweredReplies - 1; ++i) {
        Reply("OK;");
    }
    Reply("PW:00003DE0;");
    EXPECT_EQ(Queries(control).PrinterPaperWidth(), 44);
}

TEST_F(QueriesTest, FirmwareVersionByControlRequestOrSnmp) {
    std::array<char, 6> version{};
    Reply("VI:00BN0102;");
    EXPECT_TRUE(Queries(static_cast<int32_t>(kControlChannel)).PrinterFirmwareVersion(version, 10));
    EXPECT_EQ(std::string(version.data(), 6), "BN0102");
    EXPECT_EQ(Opened(0), kControlChannel);

    std::string object = "\x2B\x06\x01\x04\x01\x8C\x23\x01\x02\x02\x02\x01\x01\x02";
    std::string snmp =
        std::string("\x30\x30\x02\x01\x00", 5) + object + "\x01\x02\x04\x06" + "BV0200";
    Reply(snmp);
    version = {};
    EXPECT_TRUE(Queries(4).PrinterFirmwareVersion(version, 10));
    EXPECT_EQ(std::string(version.data(), 6), "BV0200");
    EXPECT_EQ(Opened(1), 4u);

    Reply(object);  // 14 bytes: nothing copied, still a reply
    version = {};
    EXPECT_TRUE(Queries(4).PrinterFirmwareVersion(version, 10));
    EXPECT_EQ(version[0], '\0');
}

}  // namespace
