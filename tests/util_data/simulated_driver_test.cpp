// util.dat and the simulated driver describe the same media: every medium the driver lists is one
// that util knows, with the same resolutions, except the ones kept unknown on purpose.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sim/driver/media_catalog.h"
#include "util/settings/media_type_table.h"

namespace {

constexpr uint16_t kFirstUnknownId = 0x0090;
constexpr uint16_t kLastUnknownId = 0x00FF;

TEST(SimulatedDriver, MediaAgreeWithUtilDat) {
    const char* out = std::getenv("PLENWISE_OUT");
    UtilDataFile file;
    file.Load(std::string(out != nullptr ? out : ".") + "/util.dat");
    const MediaTypeTable& table = file.MediaTypes();
    ASSERT_GT(table.Count(), 0);

    int32_t known = 0;
    int32_t unknown = 0;
    for (const simdriver::Media& media : simdriver::AllMedia()) {
        SCOPED_TRACE(media.name);
        if (media.id >= kFirstUnknownId && media.id <= kLastUnknownId) {
            EXPECT_EQ(table.OrderOf(media.id), -1);
            ++unknown;
            continue;
        }
        ASSERT_NE(table.OrderOf(media.id), -1);
        ++known;
        const auto resolutions = table.ResolutionsOf(media.id);
        ASSERT_TRUE(resolutions);
        for (std::size_t mode = 0; mode < kPrintModeCount; ++mode) {
            EXPECT_EQ((*resolutions)[mode].horizontal, media.resolutions[mode].horizontal);
            EXPECT_EQ((*resolutions)[mode].vertical, media.resolutions[mode].vertical);
        }
    }
    EXPECT_EQ(known, table.Count());  // util knows no medium the driver lacks
    EXPECT_GE(unknown, 1);
}

}  // namespace
