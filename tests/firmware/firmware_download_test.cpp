// The download sequence's outcomes and the service-log record each one leaves: a refusal sends
// nothing and records nothing; once the pre-download block went, a record tells how it ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/printer_link.h"
#include "common/service_log.h"
#include "fwload/firmware_download.h"
#include "platform/system/clock.h"
#include "tests/printer_link/link_fixture.h"

namespace {

using Step = spooler::MemorySpooler::Step;

FirmwareVersion Version(const std::string& text) {
    FirmwareVersion version{};
    std::memcpy(version.data(), text.data(), std::min(text.size(), version.size()));
    return version;
}

class EndlessWait : public UpdateWait {
  public:
    void Begin() override {}
    bool Progress(uint32_t, uint32_t) override { return true; }
    void End() override {}
};

class FirmwareDownloadTest : public LinkFixture {
  protected:
    FirmwareDownloadTest() : state_("XDG_STATE_HOME", scratch_ / "state") {
        sys::SetClock(&clock_);
        InstallDriver();
    }
    ~FirmwareDownloadTest() override { sys::SetClock(nullptr); }

    testsupport::ScopedEnvironment state_;
    sys::VirtualClock clock_;
};

TEST_F(FirmwareDownloadTest, EveryOutcomeLeavesTheRecordItShould) {
    const struct {
        const char* what;
        const char* deviceId;
        const char* file;
        bool jobFails;
        const char* replyAfter;  // nullptr: no answer
        DownloadResult result;
        std::optional<std::string> logged;  // the record's result, none when nothing is logged
        const char* versionAfter;
    } cases[] = {
        {"another model", "MFG:ARVEN;DES:ARVEN WL-2000;", "BN0106", false, "VI:00BN0106;",
         DownloadResult::NotReady, std::nullopt, ""},
        {"another class", "MFG:ARVEN;DES:ARVEN WL-4000;", "BA0300", false, "VI:00BA0300;",
         DownloadResult::OtherModel, std::nullopt, ""},
        {"older", "MFG:ARVEN;DES:ARVEN WL-4000;", "BN0104", false, "VI:00BN0104;",
         DownloadResult::Older, std::nullopt, ""},
        {"job not written", "MFG:ARVEN;DES:ARVEN WL-4000;", "BN0106", true, "VI:00BN0106;",
         DownloadResult::NotWritten, kResultFailed, ""},
        {"old version after", "MFG:ARVEN;DES:ARVEN WL-4000;", "BN0106", false, "VI:00BN0105;",
         DownloadResult::NotConfirmed, kResultFailed, "BN0105"},
        {"no version after", "MFG:ARVEN;DES:ARVEN WL-4000;", "BN0106", false, nullptr,
         DownloadResult::NotConfirmed, kResultFailed, ""},
        {"the same version", "MFG:ARVEN;DES:ARVEN WL-4000;", "BN0105", false, "VI:00BN0105;",
         DownloadResult::Done, kResultDone, "BN0105"},
        {"confirmed", "MFG:ARVEN;DES:ARVEN WL-4000;", "BN0106", false, "VI:00BN0106;",
         DownloadResult::Done, kResultDone, "BN0106"},
    };
    const std::string path =
        scratch_.Write("fw.upg", std::string(16, '\x7F') + "BN0106" + std::string(100, 'x'));
    for (const auto& c : cases) {
        std::filesystem::remove_all(scratch_ / "state");
        Call<void (*)()>("StageReset")();
        spooler_->ClearFailures();
        const size_t documentsBefore = spooler_->Documents().size();
        Channel(kControlChannel, 1);
        DeviceId(c.deviceId);
        Status("ST:04;");
        if (c.replyAfter != nullptr) {
            Reply(c.replyAfter);
        }
        if (c.jobFails) {
            spooler_->Fail(Step::kStartDoc, 1);  // the pre-download block goes, the file not
        }
        PrinterLink link(LinkVariant::Other);
        ASSERT_TRUE(link.Bind("P", false));
        PrinterQueries queries(link, "P", static_cast<int32_t>(kControlChannel), "ARVEN WL-4000");
        EndlessWait wait;
        const DownloadOutcome outcome =
            DownloadFirmware(queries, path, Version("BN0105"), Version(c.file), 200, wait);
        EXPECT_EQ(outcome.result, c.result) << c.what;

        std::string error;
        const std::vector<ServiceRecord> log = ReadServiceLog(ServiceLogPath(), nullptr, &error);
        EXPECT_EQ(error, "") << c.what;
        if (!c.logged) {
            EXPECT_TRUE(log.empty()) << c.what;
            EXPECT_EQ(spooler_->Documents().size(), documentsBefore) << c.what;
            continue;
        }
        ASSERT_EQ(log.size(), 1u) << c.what;
        EXPECT_EQ(log[0].queue, "P") << c.what;
        EXPECT_EQ(log[0].driver, "ARVEN WL-4000") << c.what;
        EXPECT_EQ(log[0].action, kActionFirmwareDownload) << c.what;
        EXPECT_EQ(log[0].result, *c.logged) << c.what;
        EXPECT_EQ(log[0].details, (ServiceDetails{{"file", path},
                                                  {"file-version", c.file},
                                                  {"version-before", "BN0105"},
                                                  {"version-after", c.versionAfter}}))
            << c.what;
    }
}

}  // namespace
