#include <gtest/gtest.h>

#include "common/printer_link.h"
#include "tests/printer_link/link_fixture.h"

namespace {

using PrinterLinkTest = LinkFixture;

TEST_F(PrinterLinkTest, NoLibraryNamedLeavesEveryCallAtMinusFive) {
    // The driver's data file has no "ABAPII" key (the plain-name search is left out: the
    // build's own stand-in lies on this program's library path).
    InstallDriver(TEST_ABAPI, /*withKey=*/false);
    PrinterLink link(LinkVariant::Other);
    EXPECT_FALSE(link.Bind("P", false));
    EXPECT_FALSE(link.IsLoaded());
    int32_t size = 0;
    char buffer[8];
    EXPECT_EQ(link.Initialize(), kLinkUnbound);
    EXPECT_EQ(link.GetDeviceID(1, "P", buffer, &size), kLinkUnbound);
    EXPECT_EQ(link.GetAvailableChannel(1, "P", nullptr, &size), kLinkUnbound);
    EXPECT_EQ(link.OpenChannel(1, "P", 4), kLinkUnbound);
    EXPECT_EQ(link.Send(1, buffer, 1), kLinkUnbound);
    EXPECT_EQ(link.Receive(1, buffer, &size, 10), kLinkUnbound);
    EXPECT_EQ(link.GetStatus(1, buffer, &size), kLinkUnbound);
    EXPECT_EQ(link.SelectChannel("P"), kLinkUnbound);
    EXPECT_FALSE(link.Unbind());  // nothing to release
    EXPECT_FALSE(link.IsLoaded());
}

TEST_F(PrinterLinkTest, LibraryPathIsTheDataFileValueInTheDriverFilesDirectory) {
    InstallDriver();
    EXPECT_EQ(PrinterLink::ResolveLibraryPath("P"), scratch_ / "drv/abapi-copy.so");
    // A driver path without a directory part gets the value appended directly.
    spooler_->SetDriverFiles("P", "driver.so", scratch_ / "drv/data.ini", "");
    EXPECT_EQ(PrinterLink::ResolveLibraryPath("P"), "driver.soabapi-copy.so");
    EXPECT_EQ(PrinterLink::ResolveLibraryPath("Unknown"), "");
}

TEST_F(PrinterLinkTest, BindsTheDriverNamedCopyAndChecksEveryEntry) {
    InstallDriver();
    PrinterLink link(LinkVariant::Other);
    EXPECT_TRUE(link.Bind("P", false));
    EXPECT_TRUE(link.Unbind());

    Call<void (*)(int32_t)>("StageInitResult")(3);
    EXPECT_FALSE(link.Bind("P", false));
    EXPECT_TRUE(link.IsLoaded());  // a library that failed to initialise is still called
    link.Unbind();

    InstallDriver(TEST_ABAPI_PARTIAL);  // lacks ABReceiveCancel
    PrinterLink partial(LinkVariant::Other);
    EXPECT_FALSE(partial.Bind("P", false));
}

TEST_F(PrinterLinkTest, UtilKeepsALoadedLibrary) {
    InstallDriver();
    PrinterLink link(LinkVariant::Util);
    Call<void (*)(int32_t)>("StageInitResult")(3);
    EXPECT_FALSE(link.Bind("P", false));
    EXPECT_TRUE(link.Bind("P", false));  // already loaded: true at once
}

TEST_F(PrinterLinkTest, ChannelPreferenceDependsOnTheModule) {
    InstallDriver();
    Channel(0x10000005, 1);
    Channel(0x02000001, 1);
    Channel(0x10010003, 1);
    Channel(4, 1);
    PrinterLink util(LinkVariant::Util);
    PrinterLink other(LinkVariant::Other);
    ASSERT_TRUE(util.Bind("P", false));
    ASSERT_TRUE(other.Bind("P", false));
    EXPECT_EQ(static_cast<uint32_t>(util.SelectChannel("P")), 0x10010003u);
    EXPECT_EQ(other.SelectChannel("P"), 4);  // before 0x10000005, listed first
}

TEST_F(PrinterLinkTest, UnusableChannelsAreSkippedAndOddAnswersPassThrough) {
    InstallDriver();
    Channel(4, 0);  // bit 0 clear
    Channel(0x10000005, 3);
    PrinterLink link(LinkVariant::Other);
    ASSERT_TRUE(link.Bind("P", false));
    EXPECT_EQ(link.SelectChannel("P"), 0x10000005);

    Call<void (*)()>("StageReset")();
    Channel(0x7, 1);
    EXPECT_EQ(link.SelectChannel("P"), 0);  // none of the preferred ids
    Call<void (*)()>("StageReset")();
    EXPECT_EQ(link.SelectChannel("P"), 0);  // -4 with a needed size of 0: an empty list
    Call<void (*)(int32_t)>("StageSizeAnswer")(0);
    EXPECT_EQ(link.SelectChannel("P"), 0);
    Call<void (*)(int32_t)>("StageSizeAnswer")(-9);
    EXPECT_EQ(link.SelectChannel("P"), -9);
}

// A list size no printer needs is refused as memory that cannot be had, before any allocation;
// one just inside the bound is asked for.
TEST_F(PrinterLinkTest, ChannelListSizeIsBoundedBeforeItIsAllocated) {
    InstallDriver();
    Channel(4, 1);
    PrinterLink link(LinkVariant::Other);
    ASSERT_TRUE(link.Bind("P", false));
    Call<void (*)(int32_t)>("StageSizeNeeded")(0x7FFFFFFF);
    EXPECT_EQ(link.SelectChannel("P"), -1);
    Call<void (*)(int32_t)>("StageSizeNeeded")(static_cast<int32_t>(kMaxChannelListBytes) + 1);
    EXPECT_EQ(link.SelectChannel("P"), -1);
    Call<void (*)(int32_t)>("StageSizeNeeded")(static_cast<int32_t>(kMaxChannelListBytes));
    EXPECT_EQ(link.SelectChannel("P"), 4);
}

TEST_F(PrinterLinkTest, StartUpFallsBackToTheDriverNamedCopyWhenTheTestOpenFails) {
    // The plain-named library found first is the build's stand-in, which reaches no printer
    // here: its test open fails, so the driver's copy is bound instead.
    testsupport::ScopedEnvironment nowhere("PLENWISE_ABAPI_ADDRESS", "127.0.0.1:1");
    InstallDriver();
    Channel(4, 1);
    PrinterLink link(LinkVariant::Other);
    int32_t channel = link.StartUp("P");
    EXPECT_LT(channel, 1);                  // what the first library answered is kept
    EXPECT_EQ(link.SelectChannel("P"), 4);  // answered by the driver's copy
    EXPECT_EQ(Opens(), 0);

    // A test open that succeeds is closed at once.
    PrinterLink direct(LinkVariant::Other);
    ASSERT_TRUE(direct.Bind("P", false));
    int32_t handle = direct.OpenChannel(1, "P", 4);
    EXPECT_GT(handle, 0);
    EXPECT_EQ(direct.CloseChannel(handle), 0);
}

TEST_F(PrinterLinkTest, DriverNameComesFromConnectionsWhenBothList) {
    spooler_->AddQueue("P", "ARVEN WL-2000", "", false);
    PrinterLink link(LinkVariant::Other);
    link.RememberDriverName("P");
    EXPECT_EQ(link.DriverName, "ARVEN WL-2000");
    link.RememberDriverName("Nothing");
    EXPECT_EQ(link.DriverName, "ARVEN WL-2000");
}

}  // namespace
