#include <gtest/gtest.h>

#include "launcher/plenwise_app.h"
#include "platform/ui/application.h"
#include "platform/ui/message_box.h"

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

}  // namespace

int main(int argc, char** argv) {
    ui::Application application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
