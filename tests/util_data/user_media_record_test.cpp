#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "util/settings/text_cut.h"
#include "util/settings/user_media_record.h"

namespace {

TEST(UserMediaRecord, FieldsSitAtTheirBytesLittleEndian) {
    UserMediaRecord record;
    record.SetModeCode(0x0F06);
    record.SetModeLevel(2);
    record.SetMediaId(0x11223344);
    record.SetInUse(1);
    record.SetEntryType(2);
    EXPECT_EQ(record.bytes[0], 0x06);
    EXPECT_EQ(record.bytes[1], 0x0F);
    EXPECT_EQ(record.bytes[2], 2);
    EXPECT_EQ(std::vector<uint8_t>(record.bytes.begin() + 8, record.bytes.begin() + 16),
              (std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11, 1, 0, 0, 0}));
    EXPECT_EQ(record.bytes[84], 2);
    EXPECT_EQ(record.bytes[85], 0);
    EXPECT_EQ(record.ModeCode(), 0x0F06);
    EXPECT_EQ(record.MediaId(), 0x11223344u);
    EXPECT_EQ(record.InUse(), 1u);

    record.bytes[62] = 0xA5;
    EXPECT_EQ(record.MediaExtra(), 0xA5);
}

TEST(UserMediaRecord, NameFieldIsSixteenBytesNulPadded) {
    UserMediaRecord record;
    std::fill(record.bytes.begin(), record.bytes.end(), 0xEE);
    record.SetName("Glossy 20");
    EXPECT_EQ(record.Name(), "Glossy 20");
    EXPECT_EQ(record.bytes[86 + 9], 0);
    EXPECT_EQ(record.bytes[86 + 15], 0);
    EXPECT_EQ(record.bytes[85], 0xEE);  // the entry type before it is kept

    record.SetName("ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(record.Name(), "ABCDEFGHIJKLMNOP");  // all 16 bytes, no terminator
    EXPECT_EQ(record.bytes[101], 'P');             // up to the record's end

    record.SetName("Canvas");
    EXPECT_EQ(record.Name(), "Canvas");
}

TEST(UserMediaRecord, NameIsNotCutInsideACharacter) {
    UserMediaRecord record;
    record.SetName("Photo glänzend✓");  // "✓" takes bytes 15 to 17
    EXPECT_EQ(record.Name(), "Photo glänzend");
    EXPECT_EQ(PrefixFittingBytes("ab✓", 3), "ab");
}

TEST(MediaWorkingCopy, CopiesRecordBytes16To63AndBackOnlyTheSixValues) {
    UserMediaRecord record;
    std::iota(record.bytes.begin(), record.bytes.end(), uint8_t{0});
    MediaWorkingCopy working;
    working.TakeFrom(record);
    EXPECT_EQ(working.bytes[0], 16);
    EXPECT_EQ(working.bytes[47], 63);
    EXPECT_EQ(working.Density(), 56);
    EXPECT_EQ(working.PaperCut(), 61);

    working.SetDensity(-12);
    working.SetForward(-70);
    working.SetDrytime(50);
    working.SetPaperthick(15);
    working.SetPaperdraw(100);
    working.SetPaperCut(2);
    working.bytes[0] = 0xAA;   // record byte 16: not copied back
    working.bytes[46] = 0xBB;  // record byte 62: not copied back
    TakeAdjustments(record, working);
    EXPECT_EQ(record.bytes[16], 16);
    EXPECT_EQ(record.bytes[55], 55);
    EXPECT_EQ(static_cast<int8_t>(record.bytes[56]), -12);
    EXPECT_EQ(static_cast<int8_t>(record.bytes[57]), -70);
    EXPECT_EQ(record.bytes[58], 50);
    EXPECT_EQ(record.bytes[59], 15);
    EXPECT_EQ(record.bytes[60], 100);
    EXPECT_EQ(record.bytes[61], 2);
    EXPECT_EQ(record.bytes[62], 62);
}

}  // namespace
