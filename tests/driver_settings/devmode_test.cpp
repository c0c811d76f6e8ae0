// Reading the public part of a device mode block, which comes from the driver and is checked.
#include "platform/gdi/devmode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> Block(const gdi::DevMode& mode, std::size_t extra) {
    std::vector<uint8_t> block(sizeof mode + extra, 0xEE);
    std::memcpy(block.data(), &mode, sizeof mode);
    return block;
}

gdi::DevMode Complete() {
    gdi::DevMode mode;
    std::memcpy(mode.deviceName, "WL4000", 7);
    mode.fields = gdi::kDevModePaperWidth | gdi::kDevModePaperLength | gdi::kDevModePrintQuality |
                  gdi::kDevModeYResolution;
    mode.paperWidth = 11176;
    mode.paperLength = 2970;
    mode.printQuality = 720;
    mode.yResolution = 1440;
    mode.driverExtra = 16;
    return mode;
}

TEST(DevModeTest, ReadsACompleteBlock) {
    const auto block = Block(Complete(), 16);
    gdi::DevMode read;
    ASSERT_TRUE(gdi::ReadDevMode(block.data(), block.size(), read));
    EXPECT_EQ(read.paperWidth, 11176);
    EXPECT_EQ(read.yResolution, 1440);
    EXPECT_EQ(read.TotalSize(), block.size());
}

TEST(DevModeTest, RefusesBlocksThatLieOrLackFields) {
    gdi::DevMode read;
    read.paperWidth = -1;
    const auto complete = Block(Complete(), 16);
    EXPECT_FALSE(gdi::ReadDevMode(nullptr, complete.size(), read));
    EXPECT_FALSE(gdi::ReadDevMode(complete.data(), sizeof(gdi::DevMode) - 1, read));
    // The driver's part claims more than the block holds.
    EXPECT_FALSE(gdi::ReadDevMode(complete.data(), complete.size() - 1, read));

    gdi::DevMode mode = Complete();
    mode.specVersion = 0x0300;
    EXPECT_FALSE(gdi::ReadDevMode(Block(mode, 16).data(), complete.size(), read));
    mode = Complete();
    mode.size = sizeof(gdi::DevMode) - 4;
    EXPECT_FALSE(gdi::ReadDevMode(Block(mode, 16).data(), complete.size(), read));
    mode = Complete();
    mode.fields &= ~gdi::kDevModeYResolution;
    EXPECT_FALSE(gdi::ReadDevMode(Block(mode, 16).data(), complete.size(), read));
    mode = Complete();
    mode.paperLength = 0;
    EXPECT_FALSE(gdi::ReadDevMode(Block(mode, 16).data(), complete.size(), read));
    EXPECT_EQ(read.paperWidth, -1);
}

TEST(DevModeTest, CutsAnUnterminatedDeviceName) {
    gdi::DevMode mode = Complete();
    std::memset(mode.deviceName, 'Q', sizeof mode.deviceName);
    const auto block = Block(mode, 16);
    gdi::DevMode read;
    ASSERT_TRUE(gdi::ReadDevMode(block.data(), block.size(), read));
    EXPECT_EQ(std::strlen(read.deviceName), gdi::DevMode::kDeviceNameSize - 1);
}

}  // namespace
