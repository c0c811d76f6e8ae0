#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/service_log.h"
#include "launcher/plenwise_app.h"
#include "platform/system/operator_notice.h"
#include "platform/ui/application.h"
#include "platform/ui/message_box.h"
#include "tests/support/scratch.h"

namespace {

TEST(LauncherTest, HubIsLookedForInTheExecutablesDirectory) {
    EXPECT_EQ(PlenwiseApp::HubPath("/opt/plenwise/lib/plenwise"), "/opt/plenwise/lib/selhub.so");
    EXPECT_EQ(PlenwiseApp::HubPath("/a.b/plenwise.bin"), "/a.b/selhub.so");
    EXPECT_EQ(PlenwiseApp::HubPath("/plenwise"), "/selhub.so");
    // Without an absolute path the hub is not looked for at all (the loader would search).
    EXPECT_EQ(PlenwiseApp::HubPath("plenwise"), "");
    EXPECT_EQ(PlenwiseApp::HubPath("bin/plenwise"), "");
    EXPECT_EQ(PlenwiseApp::HubPath(""), "");
}

TEST(LauncherTest, MissingHubShowsTheMessageAndEnds) {
    // The test program's own directory holds no hub library.
    ui::ScriptedResponder responder;
    ui::SetResponder(&responder);
    PlenwiseApp app;
    EXPECT_FALSE(app.InitInstance());
    ui::SetResponder(nullptr);
    ASSERT_EQ(responder.Boxes().size(), 1u);
    EXPECT_EQ(responder.Boxes()[0].text, "The necessary file was not found.");
    EXPECT_EQ(responder.Boxes()[0].flags, ui::kMbIconStop);
    EXPECT_EQ(responder.Boxes()[0].caption, "launcher_tests");
}

// A service log that cannot be written is told once per session, however often it fails.
TEST(LauncherTest, AnUnwritableServiceLogIsToldInOneBoxPerSession) {
    ui::ScriptedResponder responder;
    ui::SetResponder(&responder);
    sys::ResetNotices();
    PlenwiseApp::TellNoticesInMessageBoxes();
    const testsupport::ScratchDir scratch;
    std::filesystem::create_directories(scratch / "state/plenwise/service.log");
    const testsupport::ScopedEnvironment state("XDG_STATE_HOME", scratch / "state");
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(
            LogServiceAction("WL4000", "ARVEN WL-4000", kActionPowerCleaning, {}, kResultSent));
    }
    sys::SetNoticeTeller(nullptr);
    ui::SetResponder(nullptr);
    EXPECT_EQ(sys::NoticeCount(sys::Notice::ServiceLogUnwritable), 3);
    ASSERT_EQ(responder.Boxes().size(), 1u);
    EXPECT_EQ(responder.Boxes()[0].text,
              "The service log cannot be written (" + scratch / "state/plenwise/service.log" +
                  ": " + std::strerror(EISDIR) +
                  "). The service action was done, but it is not recorded.");
    EXPECT_EQ(responder.Boxes()[0].flags, ui::kMbIconExclamation);
}

}  // namespace

int main(int argc, char** argv) {
    ui::Application application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
