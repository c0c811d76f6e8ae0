#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/plugin_entry.h"
#include "common/remote_commands.h"
#include "common/service_log.h"
#include "platform/system/clock.h"
#include "platform/ui/dialog.h"
#include "platform/ui/message_box.h"
#include "platform/ui/operator_input.h"
#include "platform/ui/window.h"
#include "tests/printer_link/link_fixture.h"
#include "upkeep/upkeep_host.h"

namespace upkeep {
namespace {
UpkeepHost* currentHost = nullptr;
}  // namespace
// In the module, the library's own host; here, the test's.
UpkeepHost& Host() {
    return *currentHost;
}
}  // namespace upkeep

namespace {

using Step = spooler::MemorySpooler::Step;

ui::DialogTemplate Template(int id, ui::DialogKind kind) {
    return {id, kind, 360, 260, {}};
}

class PowerCleanTest : public LinkFixture {
  protected:
    PowerCleanTest()
        // The plain-named library (the build's stand-in) reaches nothing, so the host binds
        // the driver's copy, whose answers the test stages.
        : nowhere_("PLENWISE_ABAPI_ADDRESS", "127.0.0.1:1"),
          state_("XDG_STATE_HOME", scratch_ / "state"),
          main_(Template(102, ui::DialogKind::Main)),
          selection_(Template(1000, ui::DialogKind::Child)) {
        sys::SetClock(&clock_);
        ui::SetResponder(&responder_);
        main_.Create(nullptr);
        selection_.Create(main_.Handle());
        ui::ShowWindow(main_.Handle(), ui::kShow);
        InstallDriver();
        Channel(4, 1);
        DeviceId("MFG:ARVEN;DES:ARVEN WL-4000;");
        host_ = std::make_unique<upkeep::UpkeepHost>(UPKEEP_MODULE);
        upkeep::currentHost = host_.get();
    }
    ~PowerCleanTest() override {
        host_.reset();
        upkeep::currentHost = nullptr;
        ui::SetResponder(nullptr);
        sys::SetClock(nullptr);
    }
    void PressStart() {
        std::string error;
        ASSERT_EQ(ui::input::Click(ui::GetDlgItem(page_, 3002), error), ui::input::Result::Done)
            << error;
    }
    std::string FailureText() const { return host_->GetText(200); }
    std::vector<ServiceRecord> Log() const { return ReadServiceLog(ServiceLogPath()); }

    testsupport::ScopedEnvironment nowhere_;
    testsupport::ScopedEnvironment state_;
    sys::VirtualClock clock_;
    ui::ScriptedResponder responder_;
    ui::Dialog main_;
    ui::Dialog selection_;
    std::unique_ptr<upkeep::UpkeepHost> host_;
    ui::WindowHandle page_ = nullptr;
};

TEST_F(PowerCleanTest, StartChecksThePrinterFirstWarnsOfARefusedJobAndLogsOnlyTheSentOne) {
    Status("ST:04;");  // ready at start-up
    Status("ST:02;");  // busy at the first press
    Status("ST:04;");
    page_ = host_->StartWizard("P", selection_.Handle(), kNotifyMessage);
    ASSERT_NE(page_, nullptr);
    ASSERT_TRUE(ui::IsWindowVisible(page_));
    ASSERT_FALSE(FailureText().empty());
    EXPECT_TRUE(responder_.Boxes().empty());

    // Not ready: the stop icon, and nothing goes to the queue.
    PressStart();
    ASSERT_EQ(responder_.Boxes().size(), 1u);
    EXPECT_EQ(responder_.Boxes()[0].text, FailureText());
    EXPECT_EQ(responder_.Boxes()[0].flags, ui::kMbIconStop);
    EXPECT_TRUE(spooler_->Documents().empty());
    EXPECT_TRUE(clock_.Sleeps().empty());  // one status read, no wait
    EXPECT_TRUE(Log().empty());

    // Ready, but the queue refuses the job: the exclamation icon.
    spooler_->Fail(Step::kStartDoc, 0, 1);
    PressStart();
    ASSERT_EQ(responder_.Boxes().size(), 2u);
    EXPECT_EQ(responder_.Boxes()[1].text, FailureText());
    EXPECT_EQ(responder_.Boxes()[1].flags, ui::kMbIconExclamation);
    EXPECT_TRUE(Log().empty());

    // Ready and accepted: the block goes as one job, and nothing is shown.
    PressStart();
    EXPECT_EQ(responder_.Boxes().size(), 2u);
    ASSERT_EQ(spooler_->Documents().size(), 1u);
    const ByteBlock block = PowerCleaningBlock();
    EXPECT_EQ(spooler_->Documents()[0].bytes, std::string(block.begin(), block.end()));
    EXPECT_TRUE(ui::IsWindowVisible(page_));
    const std::vector<ServiceRecord> log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].queue, "P");
    EXPECT_EQ(log[0].driver, "ARVEN WL-4000");
    EXPECT_EQ(log[0].action, kActionPowerCleaning);
    EXPECT_EQ(log[0].result, kResultSent);
}

}  // namespace
