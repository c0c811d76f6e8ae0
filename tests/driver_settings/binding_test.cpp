// Binding the driver settings library: where it is loaded from, what an incomplete or missing
// library answers, release, and the blocks that the print mode selection passes.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/system/module.h"
#include "tests/driver_settings/driver_fixture.h"
#include "util/settings/driver_settings_library.h"

namespace {

using drivertest::IsMapped;
constexpr int32_t kUnbound = DriverSettingsLibrary::kUnbound;

class BindingTest : public drivertest::DriverMachine {
  protected:
    // What the incomplete library beside the test program recorded since it was loaded.
    static std::vector<std::string> RecordedCalls() {
        void* module = dlopen(kRecordingLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (module == nullptr) {
            return {};
        }
        using Calls = const std::vector<std::string>* (*)();
        auto calls = reinterpret_cast<Calls>(dlsym(module, "RecordedCalls"));
        std::vector<std::string> copy = calls ? *calls() : std::vector<std::string>{};
        dlclose(module);
        return copy;
    }

    static inline const std::string kRecordingLibrary =
        std::filesystem::path(sys::ExecutablePath()).parent_path().string() + "/ARSET32.so";
};

TEST_F(BindingTest, LoadsTheLibraryBesideTheDriverFile) {
    const std::string installed = InstallLibrary();
    spool_->AddQueue("WL4000", "ARVEN WL-4000", "plenwise:/WL4000");
    spool_->SetDriverFiles("WL4000", driverDirectory_ + "/ARVENDRV.so", "", "");
    EXPECT_EQ(DriverSettingsLibrary::LibraryPathFor("WL4000"), installed);

    DriverSettingsLibrary library;
    EXPECT_TRUE(library.Bind("WL4000"));
    EXPECT_TRUE(library.IsLoaded());
    EXPECT_TRUE(IsMapped(installed));
    EXPECT_FALSE(IsMapped(kRecordingLibrary));
    EXPECT_EQ(spool_->OpenHandles(), 0u);
    int32_t handle = 0;
    ASSERT_EQ(library.Open("WL4000", "plenwise:/WL4000", &handle), 0);
    EXPECT_GT(handle, 0);
    EXPECT_EQ(library.Close(handle), 0);
}

TEST_F(BindingTest, TakesThePlainNameWhenTheDriverFileIsUnknown) {
    spool_->AddQueue("NoFiles", "ARVEN WL-4000", "plenwise:/NoFiles");
    spool_->AddQueue("BareName", "ARVEN WL-4000", "plenwise:/BareName");
    spool_->SetDriverFiles("BareName", "ARVENDRV.so", "", "");
    EXPECT_EQ(DriverSettingsLibrary::LibraryPathFor("Missing"), "ARSET32.so");
    EXPECT_EQ(DriverSettingsLibrary::LibraryPathFor("NoFiles"), "ARSET32.so");
    EXPECT_EQ(DriverSettingsLibrary::LibraryPathFor("BareName"), "ARSET32.so");

    AddQueue("WL4000", "ARVEN WL-4000");
    spool_->Fail(spooler::MemorySpooler::Step::kOpen, 0, 1);
    EXPECT_EQ(DriverSettingsLibrary::LibraryPathFor("WL4000"), "ARSET32.so");
    spool_->Fail(spooler::MemorySpooler::Step::kGetDriver, 0, 1);
    EXPECT_EQ(DriverSettingsLibrary::LibraryPathFor("WL4000"), "ARSET32.so");
    EXPECT_EQ(spool_->OpenHandles(), 0u);
}

TEST_F(BindingTest, AnIncompleteLibraryKeepsWhatItHas) {
    DriverSettingsLibrary library;
    // The plain name finds the incomplete library beside the program.
    EXPECT_FALSE(library.Bind("Missing"));
    ASSERT_TRUE(library.IsLoaded());
    ASSERT_TRUE(IsMapped(kRecordingLibrary));

    int32_t handle = 0;
    EXPECT_EQ(library.Open("Missing", "port", &handle), 0);
    EXPECT_EQ(handle, 42);
    int16_t value = 7;
    EXPECT_EQ(library.GetData(handle, driverlib::kItemOutputMode, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(library.SetValue(handle, driverlib::kItemOutputMode, 256), 0);
    EXPECT_EQ(library.Close(handle), 0);

    char text[16];
    int32_t level = 0;
    void* dc = nullptr;
    std::vector<uint16_t> ids{1};
    EXPECT_EQ(library.GetDriverInfo(handle, text, sizeof text), kUnbound);
    EXPECT_EQ(library.GetCommandLevel(handle, &level), kUnbound);
    EXPECT_EQ(library.GetRange(handle, driverlib::kItemMediaList, nullptr), kUnbound);
    EXPECT_EQ(library.GetMediaList(handle, ids), kUnbound);
    EXPECT_TRUE(ids.empty());
    EXPECT_EQ(library.CreateDC(handle, nullptr, &dc), kUnbound);
    EXPECT_EQ(library.ResetDC(handle, dc, nullptr), kUnbound);
    EXPECT_EQ(library.DeleteDC(handle, dc), kUnbound);
    EXPECT_EQ(library.GetDevMode(handle, nullptr), kUnbound);

    EXPECT_EQ(RecordedCalls(), (std::vector<std::string>{"Open Missing", "GetData 40",
                                                         "SetData 40 256", "Close 42"}));
}

TEST_F(BindingTest, AMissingLibraryAnswersUnboundEverywhere) {
    AddQueue("WL4000", "ARVEN WL-4000");  // the driver directory holds no ARSET32.so
    DriverSettingsLibrary library;
    EXPECT_FALSE(library.Bind("WL4000"));
    EXPECT_FALSE(library.IsLoaded());

    int32_t handle = 5;
    int32_t level = 0;
    char text[8];
    uint8_t block[64] = {};
    void* dc = nullptr;
    std::vector<uint16_t> ids;
    std::string name = "kept";
    EXPECT_EQ(library.Open("WL4000", "plenwise:/WL4000", &handle), kUnbound);
    EXPECT_EQ(handle, 5);
    EXPECT_EQ(library.GetDriverInfo(handle, text, sizeof text), kUnbound);
    EXPECT_EQ(library.GetCommandLevel(handle, &level), kUnbound);
    EXPECT_EQ(library.GetRange(handle, driverlib::kItemPaperWidth, block), kUnbound);
    EXPECT_EQ(library.GetData(handle, driverlib::kItemInkSet, block), kUnbound);
    EXPECT_EQ(library.SetValue(handle, driverlib::kItemOutputMode, 4), kUnbound);
    EXPECT_EQ(library.SetBlock(handle, driverlib::kItemMediaValues, block), kUnbound);
    EXPECT_EQ(library.CreateDC(handle, nullptr, &dc), kUnbound);
    EXPECT_EQ(library.ResetDC(handle, dc, nullptr), kUnbound);
    EXPECT_EQ(library.DeleteDC(handle, dc), kUnbound);
    EXPECT_EQ(library.GetDevMode(handle, nullptr), kUnbound);
    EXPECT_EQ(library.Close(handle), kUnbound);
    EXPECT_EQ(library.GetMediaList(handle, ids), kUnbound);
    EXPECT_EQ(library.GetMediaName(handle, 0x10, name), kUnbound);
    EXPECT_EQ(name, "kept");
    for (int32_t mode = 0; mode < 4; ++mode) {
        EXPECT_EQ(library.SelectPrintMode(handle, mode, 0x10), kUnbound) << mode;
    }
    EXPECT_EQ(library.SelectPrintMode(handle, 4, 0x10), DriverSettingsLibrary::kBadPrintMode);
}

TEST_F(BindingTest, ReleaseUnloadsOnceAndLeavesEveryCallUnbound) {
    const std::string installed = InstallLibrary();
    AddQueue("WL4000", "ARVEN WL-4000");
    DriverSettingsLibrary library;
    ASSERT_TRUE(library.Bind("WL4000"));
    library.Release();
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_FALSE(IsMapped(installed));
    int32_t handle = 0;
    EXPECT_EQ(library.Open("WL4000", "plenwise:/WL4000", &handle), kUnbound);
    EXPECT_EQ(library.Close(1), kUnbound);
    library.Release();
    EXPECT_FALSE(library.IsLoaded());

    // Binding again works, and a new binding lets go of the one before.
    ASSERT_TRUE(library.Bind("WL4000"));
    EXPECT_EQ(library.Open("WL4000", "plenwise:/WL4000", &handle), 0);
    EXPECT_EQ(library.Close(handle), 0);
    EXPECT_FALSE(library.Bind("Missing"));
    EXPECT_FALSE(IsMapped(installed));
    EXPECT_TRUE(IsMapped(kRecordingLibrary));
}

TEST_F(BindingTest, AMediaListNoDriverCouldMeanIsTheLibrarysFailure) {
    spool_->AddQueue("Liar", "ARVEN WL-4000", "plenwise:/Liar");
    spool_->SetDriverFiles("Liar", LYING_ARSET32, "", "");
    DriverSettingsLibrary library;
    ASSERT_TRUE(library.Bind("Liar"));
    void* module = dlopen(LYING_ARSET32, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(module, nullptr);
    auto stage =
        reinterpret_cast<void (*)(int16_t, int16_t, int16_t)>(dlsym(module, "StageMediaList"));
    dlclose(module);

    std::vector<uint16_t> ids{1};
    for (auto [count, entrySize] : {std::pair<int16_t, int16_t>{-3, 2}, {4, 65}, {4, 1}}) {
        stage(count, entrySize, 0);
        EXPECT_EQ(library.GetMediaList(9, ids), DriverSettingsLibrary::kBadAnswer) << count;
        EXPECT_TRUE(ids.empty());
    }
    // Four announced, two written: two IDs, none made up.
    stage(4, 2, 2);
    EXPECT_EQ(library.GetMediaList(9, ids), 0);
    EXPECT_EQ(ids, (std::vector<uint16_t>{0x100, 0x101}));
    // More written than announced: no more than the buffer held.
    stage(1, 2, 3);
    EXPECT_EQ(library.GetMediaList(9, ids), 0);
    EXPECT_EQ(ids, (std::vector<uint16_t>{0x100}));
    stage(0, 2, 0);
    EXPECT_EQ(library.GetMediaList(9, ids), 0);
    EXPECT_TRUE(ids.empty());
}

TEST_F(BindingTest, PrintModesSelectItem70Or214WithTheirBlocks) {
    DriverSettingsLibrary library;
    library.Bind("Missing");
    const int32_t handle = 42;
    EXPECT_EQ(library.SelectPrintMode(handle, 0, 0x0021), 0);
    EXPECT_EQ(library.SelectPrintMode(handle, 1, 0x0021), 0);
    EXPECT_EQ(library.SelectPrintMode(handle, 2, 0x0030), 0);
    EXPECT_EQ(library.SelectPrintMode(handle, 3, 0x0030), 0);
    EXPECT_EQ(library.SelectPrintMode(handle, -1, 0x0030), DriverSettingsLibrary::kBadPrintMode);
    EXPECT_EQ(library.SelectPrintMode(handle, 4, 0x0030), DriverSettingsLibrary::kBadPrintMode);
    EXPECT_EQ(RecordedCalls(), (std::vector<std::string>{
                                   "SetData 70 0100020021000200",
                                   "SetData 70 0100010021000200",
                                   "SetData 214 0100000014000000020000003000000006000000",
                                   "SetData 214 010000001400000002000000300000000f000000",
                               }));
}

TEST_F(BindingTest, BlocksOfTheOtherItemsAreLaidOutAsTheDriverReadsThem) {
    DriverSettingsLibrary library;
    library.Bind("Missing");
    driverlib::PaperWidthSetting width;
    width.width = 11176;
    width.carried = 1;
    driverlib::OutputFlags flags;
    flags.flags = 0x81;
    driverlib::MediaValues values;
    values.data[0] = 0xFB;  // Density -5
    values.data[6] = 0x04;  // the media extra byte
    library.SetBlock(42, driverlib::kItemPaperWidth, &width);
    library.SetBlock(42, driverlib::kItemOutputFlags, &flags);
    library.SetBlock(42, driverlib::kItemMediaValues, &values);
    EXPECT_EQ(RecordedCalls(), (std::vector<std::string>{
                                   "SetData 30 a82b010000010000",
                                   "SetData 205 010000000c00000081000000",
                                   "SetData 219 0100000014000000fb0000000000040000000000",
                               }));
}

}  // namespace
