// The simulated driver's ARSET32.so as util reaches it: installed in the driver directory, bound
// through DriverSettingsLibrary, answering the items util uses from each queue's settings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/devmode.h"
#include "sim/driver/media_catalog.h"
#include "tests/driver_settings/driver_fixture.h"
#include "util/settings/driver_settings_library.h"

namespace {

using namespace driverlib;

class ArsetTest : public drivertest::DriverMachine {
  protected:
    void SetUp() override {
        InstallLibrary();
        AddQueue("WL4000", "ARVEN WL-4000");
        AddQueue("W400U", "ARVEN Wideline 400U");
        AddQueue("Plotter", "OTHER Plotter 9");
        ASSERT_TRUE(library_.Bind("WL4000"));
    }

    // A handle of the queue; the test fails when it does not open.
    int32_t Open(const std::string& queue) {
        int32_t handle = 0;
        EXPECT_EQ(library_.Open(queue, "plenwise:/" + queue, &handle), 0) << queue;
        return handle;
    }

    InkSetQuery InkSetAnswer(const std::string& queue) {
        const int32_t handle = Open(queue);
        InkSetQuery query;
        EXPECT_EQ(library_.GetData(handle, kItemInkSet, &query), 0);
        library_.Close(handle);
        return query;
    }
    int32_t InkSetCode(const std::string& queue) {
        return InkSetAnswer(queue).values[InkSetQuery::kInkSetIndex];
    }
    std::vector<uint16_t> MediaList(const std::string& queue) {
        const int32_t handle = Open(queue);
        std::vector<uint16_t> ids;
        EXPECT_EQ(library_.GetMediaList(handle, ids), 0);
        library_.Close(handle);
        return ids;
    }

    std::vector<uint8_t> DevModeOf(int32_t handle) {
        const int32_t size = library_.GetDevMode(handle, nullptr);
        EXPECT_GT(size, static_cast<int32_t>(sizeof(gdi::DevMode)));
        std::vector<uint8_t> block(static_cast<std::size_t>(std::max(size, 0)));
        EXPECT_EQ(library_.GetDevMode(handle, block.data()), 1);
        return block;
    }

    gdi::DevMode PublicPartOf(int32_t handle) {
        const std::vector<uint8_t> block = DevModeOf(handle);
        gdi::DevMode mode;
        EXPECT_TRUE(gdi::ReadDevMode(block.data(), block.size(), mode));
        return mode;
    }

    DriverSettingsLibrary library_;
};

std::vector<uint16_t> CatalogueIds(int inkSet) {
    std::vector<uint16_t> ids;
    for (const simdriver::Media* media : simdriver::MediaOf(inkSet)) {
        ids.push_back(media->id);
    }
    return ids;
}

TEST_F(ArsetTest, OpensOnlyQueuesOfItsModels) {
    int32_t handle = -3;
    EXPECT_NE(library_.Open("Nobody", "", &handle), 0);
    EXPECT_NE(library_.Open("Plotter", "plenwise:/Plotter", &handle), 0);
    EXPECT_NE(library_.Open("", "", &handle), 0);
    EXPECT_NE(library_.Open("../WL4000", "", &handle), 0);
    EXPECT_EQ(handle, -3);
    const int32_t first = Open("WL4000");
    const int32_t second = Open("WL4000");
    EXPECT_GT(first, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(library_.Close(first), 0);
    EXPECT_NE(library_.Close(first), 0);
    InkSetQuery query;
    EXPECT_NE(library_.GetData(first, kItemInkSet, &query), 0);
    EXPECT_EQ(library_.Close(second), 0);
}

TEST_F(ArsetTest, ReportsTheInkSetConfiguredForTheQueue) {
    EXPECT_EQ(InkSetCode("WL4000"), 1);
    ConfigureQueue("W400U", "InkSet=2\n");
    EXPECT_EQ(InkSetCode("W400U"), 11);
    EXPECT_EQ(InkSetCode("WL4000"), 1);

    const int32_t handle = Open("W400U");
    InkSetQuery malformed;
    malformed.values[0] = 0;
    EXPECT_NE(library_.GetData(handle, kItemInkSet, &malformed), 0);
    EXPECT_EQ(malformed.values[InkSetQuery::kInkSetIndex], 0);
    library_.Close(handle);
}

TEST_F(ArsetTest, TheSecondFamilyAnswersItsFourInkSetsByCode) {
    AddQueue("WL2000", "ARVEN WL-2000");
    AddQueue("W300D", "ARVEN Wideline 300-D");
    struct Case {
        const char* setting;
        int32_t fourth;
        int32_t seventh;
    };
    // An ink set the family does not have counts as ink set 1.
    for (const Case& c :
         {Case{"InkSet=1\n", 0, 0xA01}, Case{"InkSet=2\n", 0, 0xA0B}, Case{"InkSet=3\n", 0, 0xB0B},
          Case{"InkSet=4\n", 1, 0xA01}, Case{"InkSet=5\n", 0, 0xA01}}) {
        SCOPED_TRACE(c.setting);
        ConfigureQueue("WL2000", c.setting);
        const InkSetQuery answer = InkSetAnswer("WL2000");
        EXPECT_EQ(answer.values[0], 1);
        EXPECT_EQ(answer.values[3], c.fourth);
        EXPECT_EQ(answer.values[6], c.seventh);
        EXPECT_EQ(answer.values[10], 0);
    }
    // Ink sets 3 and 4 list the media of ink sets 2 and 1.
    ConfigureQueue("WL2000", "InkSet=3\n");
    EXPECT_EQ(MediaList("WL2000"), CatalogueIds(2));
    ConfigureQueue("WL2000", "InkSet=4\n");
    EXPECT_EQ(MediaList("WL2000"), CatalogueIds(1));
    // A "-D" model keeps one configuration, that of ink set 1, and lists its media.
    ConfigureQueue("W300D", "InkSet=2\n");
    EXPECT_EQ(InkSetAnswer("W300D").values[6], 0xA0B);
    EXPECT_EQ(MediaList("W300D"), CatalogueIds(1));
    // The first family keeps its two ink sets and codes.
    ConfigureQueue("W400U", "InkSet=3\n");
    EXPECT_EQ(InkSetCode("W400U"), 1);
    EXPECT_EQ(InkSetAnswer("W400U").values[3], 0);
}

TEST_F(ArsetTest, ListsTheMediaOfTheQueuesInkSetWithTheirNames) {
    ConfigureQueue("W400U", "InkSet=2\n");
    const int32_t first = Open("WL4000");
    const int32_t second = Open("W400U");
    std::vector<uint16_t> ids;
    ASSERT_EQ(library_.GetMediaList(first, ids), 0);
    EXPECT_EQ(ids, CatalogueIds(1));
    ASSERT_EQ(library_.GetMediaList(second, ids), 0);
    EXPECT_EQ(ids, CatalogueIds(2));
    EXPECT_NE(CatalogueIds(1), CatalogueIds(2));
    for (uint16_t id : ids) {
        std::string name;
        EXPECT_EQ(library_.GetMediaName(second, id, name), 0);
        EXPECT_EQ(name, simdriver::FindMedia(id)->name);
    }
    std::string name = "kept";
    EXPECT_NE(library_.GetMediaName(second, 0x7777, name), 0);
    EXPECT_EQ(name, "kept");

    // A buffer smaller than the list is refused, not overrun.
    std::vector<uint16_t> small(2, 0xAAAA);
    MediaListRange range{2, 2, small.data()};
    EXPECT_NE(library_.GetRange(first, kItemMediaList, &range), 0);
    EXPECT_EQ(small, std::vector<uint16_t>(2, 0xAAAA));
    // So is a name buffer declared shorter than the name: it is cut.
    char text[8];
    std::memset(text, 'x', sizeof text);
    MediaNameQuery query;
    query.capacity = 6;
    query.mediaId = ids.front();
    query.name = text;
    ASSERT_EQ(library_.GetData(first, kItemMediaName, &query), 0);
    EXPECT_EQ(std::string(text), std::string(simdriver::FindMedia(ids.front())->name.substr(0, 5)));
    EXPECT_EQ(text[6], 'x');
    library_.Close(first);
    library_.Close(second);
}

TEST_F(ArsetTest, PaperWidthIsBoundByTheModel) {
    const int32_t wide = Open("WL4000");
    const int32_t narrow = Open("W400U");
    uint8_t work[PaperWidthRange::kWorkAreaSize + 8] = {};
    PaperWidthRange range;
    range.workArea = work;
    ASSERT_EQ(library_.GetRange(wide, kItemPaperWidth, &range), 0);
    EXPECT_EQ(range.largestWidth, 11176);
    EXPECT_LT(strnlen(reinterpret_cast<char*>(work), sizeof work), PaperWidthRange::kWorkAreaSize);
    ASSERT_EQ(library_.GetRange(narrow, kItemPaperWidth, &range), 0);
    EXPECT_EQ(range.largestWidth, 6096);

    PaperWidthSetting setting{6096, range.carried, 256, 0};
    EXPECT_EQ(library_.SetBlock(narrow, kItemPaperWidth, &setting), 0);
    EXPECT_EQ(PublicPartOf(narrow).paperWidth, 6096);
    setting.width = 6097;
    EXPECT_NE(library_.SetBlock(narrow, kItemPaperWidth, &setting), 0);
    setting = {5000, static_cast<int16_t>(range.carried + 1), 256, 0};
    EXPECT_NE(library_.SetBlock(narrow, kItemPaperWidth, &setting), 0);
    setting = {5000, range.carried, 256, 0};
    EXPECT_EQ(library_.SetBlock(narrow, kItemPaperWidth, &setting), 0);
    EXPECT_EQ(PublicPartOf(narrow).paperWidth, 5000);
    library_.Close(wide);
    library_.Close(narrow);
}

TEST_F(ArsetTest, OutputModeAndFlagsAreKept) {
    ConfigureQueue("WL4000", "OutputMode=7\n");
    int32_t handle = Open("WL4000");
    int16_t mode = 0;
    ASSERT_EQ(library_.GetData(handle, kItemOutputMode, &mode), 0);
    EXPECT_EQ(mode, 7);
    EXPECT_EQ(library_.SetValue(handle, kItemOutputMode, 4), 0);
    EXPECT_NE(library_.SetValue(handle, kItemOutputMode, 5), 0);
    OutputFlags flags;
    ASSERT_EQ(library_.GetData(handle, kItemOutputFlags, &flags), 0);
    flags.flags |= 1;
    EXPECT_EQ(library_.SetBlock(handle, kItemOutputFlags, &flags), 0);
    OutputFlags wrongForm;
    wrongForm.size = 16;
    EXPECT_NE(library_.SetBlock(handle, kItemOutputFlags, &wrongForm), 0);
    library_.Close(handle);

    handle = Open("WL4000");
    ASSERT_EQ(library_.GetData(handle, kItemOutputMode, &mode), 0);
    EXPECT_EQ(mode, 4);
    OutputFlags read;
    ASSERT_EQ(library_.GetData(handle, kItemOutputFlags, &read), 0);
    EXPECT_EQ(read.flags, flags.flags);
    library_.Close(handle);
}

TEST_F(ArsetTest, SelectsOnlyModesTheMediaHas) {
    const int32_t handle = Open("WL4000");
    for (const simdriver::Media* media : simdriver::MediaOf(1)) {
        for (int32_t index = 0; index < 4; ++index) {
            static constexpr uint8_t kFlagOfIndex[] = {2, 1, 4, 8};
            const bool has = (media->modes & kFlagOfIndex[index]) != 0;
            EXPECT_EQ(library_.SelectPrintMode(handle, index, media->id) == 0, has)
                << media->name << " mode " << index;
            if (has) {
                const gdi::DevMode mode = PublicPartOf(handle);
                EXPECT_EQ(mode.printQuality, media->resolutions[index].horizontal);
                EXPECT_EQ(mode.yResolution, media->resolutions[index].vertical);
            }
        }
    }
    EXPECT_NE(library_.SelectPrintMode(handle, 1, 0x7777), 0);
    library_.Close(handle);
}

TEST_F(ArsetTest, SettingsLiveInTheMachineFolder) {
    const simdriver::Media& media = *simdriver::MediaOf(1).back();
    int32_t handle = Open("WL4000");
    ASSERT_EQ(library_.SelectPrintMode(handle, 1, media.id), 0);
    MediaValues values;
    values.data[0] = 0xFD;
    values.data[6] = 9;
    ASSERT_EQ(library_.SetBlock(handle, kItemMediaValues, &values), 0);
    library_.Close(handle);
    EXPECT_TRUE(std::filesystem::exists(SettingsFile("WL4000")));

    handle = Open("WL4000");
    MediaModeSelection selection;
    ASSERT_EQ(library_.GetData(handle, kItemMediaMode, &selection), 0);
    EXPECT_EQ(selection.mediaId, media.id);
    EXPECT_EQ(selection.modeLevel, 1);
    MediaValues read;
    ASSERT_EQ(library_.GetData(handle, kItemMediaValues, &read), 0);
    EXPECT_EQ(std::memcmp(read.data, values.data, sizeof values.data), 0);
    library_.Close(handle);

    // Another queue keeps its own.
    handle = Open("W400U");
    ASSERT_EQ(library_.GetData(handle, kItemMediaValues, &read), 0);
    EXPECT_EQ(read.data[0], 0);
    library_.Close(handle);
}

TEST_F(ArsetTest, HandsOutADeviceModeThatGdiReads) {
    const int32_t handle = Open("WL4000");
    const gdi::DevMode mode = PublicPartOf(handle);
    EXPECT_STREQ(mode.deviceName, "WL4000");
    EXPECT_EQ(mode.paperWidth, 11176);
    EXPECT_GT(mode.paperLength, 0);
    EXPECT_EQ(library_.GetDevMode(handle + 100, nullptr), 0);
    uint8_t untouched[4] = {1, 2, 3, 4};
    EXPECT_EQ(library_.GetDevMode(handle + 100, untouched), 0);
    EXPECT_EQ(untouched[0], 1);
    library_.Close(handle);
}

TEST_F(ArsetTest, DeviceContextsCarryADeviceMode) {
    const int32_t handle = Open("WL4000");
    void* current = nullptr;
    void* given = nullptr;
    ASSERT_EQ(library_.CreateDC(handle, nullptr, &current), 0);
    std::vector<uint8_t> block = DevModeOf(handle);
    ASSERT_EQ(library_.CreateDC(handle, block.data(), &given), 0);
    EXPECT_NE(current, given);
    EXPECT_EQ(library_.ResetDC(handle, current, block.data()), 0);

    std::vector<uint8_t> corrupt = block;
    corrupt[offsetof(gdi::DevMode, specVersion)] ^= 0xFF;
    EXPECT_NE(library_.ResetDC(handle, current, corrupt.data()), 0);
    void* none = nullptr;
    EXPECT_NE(library_.CreateDC(handle, corrupt.data(), &none), 0);
    EXPECT_EQ(none, nullptr);

    EXPECT_EQ(library_.DeleteDC(handle, current), 0);
    EXPECT_NE(library_.DeleteDC(handle, current), 0);
    EXPECT_NE(library_.ResetDC(handle, current, block.data()), 0);
    EXPECT_EQ(library_.DeleteDC(handle, given), 0);
    library_.Close(handle);
}

TEST_F(ArsetTest, NamesItselfAndItsCommandLevel) {
    const int32_t handle = Open("W400U");
    char text[64];
    ASSERT_EQ(library_.GetDriverInfo(handle, text, sizeof text), 0);
    EXPECT_NE(std::string(text).find("ARVEN Wideline 400U"), std::string::npos);
    char tiny[4] = {'x', 'x', 'x', 'x'};
    ASSERT_EQ(library_.GetDriverInfo(handle, tiny, 3), 0);
    EXPECT_EQ(std::string(tiny), "AR");
    EXPECT_EQ(tiny[3], 'x');
    int32_t level = 0;
    ASSERT_EQ(library_.GetCommandLevel(handle, &level), 0);
    EXPECT_GT(level, 0);
    library_.Close(handle);
}

}  // namespace
