// The download sequence against the in-memory spooler and the test build of the communication
// library: what is checked is what is sent, and every ending is told as it happened.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "common/printer_link.h"
#include "common/raw_job.h"
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

std::string FirmwareFile(const std::string& version) {
    return std::string(16, '\x7F') + version + std::string(40, '\x5A');
}

// A wait that can be told to be abandoned once the printer began to take the file.
class RecordingWait : public UpdateWait {
  public:
    void Begin() override { ++begun; }
    bool Progress(uint32_t, uint32_t) override {
        abandoned = abandonInWait;
        return true;
    }
    void End() override { ++ended; }
    bool Abandoned() const override { return abandoned; }

    int begun = 0;
    int ended = 0;
    bool abandonInWait = false;
    bool abandoned = false;
};

class FirmwareDownloadTest : public LinkFixture {
  protected:
    FirmwareDownloadTest()
        : state_("XDG_STATE_HOME", scratch_.Path().string()), link_(LinkVariant::Other) {
        sys::SetClock(&clock_);
        InstallDriver();
        EXPECT_TRUE(link_.Bind("P", false));
        DeviceId("MFG:ARVEN;DES:ARVEN WL-4000;");
        Status("ST:04;");
    }
    ~FirmwareDownloadTest() override {
        link_.Unbind();
        sys::SetClock(nullptr);
    }

    DownloadOutcome Download(const std::string& checked) {
        PrinterQueries queries(link_, "P", static_cast<int32_t>(kControlChannel), "ARVEN WL-4000");
        return DownloadFirmware(queries, scratch_ / "fw.upg", Version("BN0105"), Version(checked),
                                85000, wait_);
    }
    std::vector<ServiceRecord> Log() { return ReadServiceLog(ServiceLogPath()); }

    testsupport::ScopedEnvironment state_;
    sys::VirtualClock clock_;
    PrinterLink link_;
    RecordingWait wait_;
};

TEST_F(FirmwareDownloadTest, AFileReplacedAfterItsCheckIsRefusedAndNothingIsSent) {
    struct Case {
        const char* nowInFile;  // nullptr: the file is gone
        DownloadResult result;
    };
    // Checked as BN0106; by the time it would go, the file holds something else.
    for (const Case& c :
         {Case{"BA0300", DownloadResult::OtherModel}, Case{"BN0104", DownloadResult::Older},
          Case{"BN0107", DownloadResult::Changed}, Case{nullptr, DownloadResult::OtherModel}}) {
        std::filesystem::remove(scratch_ / "fw.upg");
        if (c.nowInFile != nullptr) {
            scratch_.Write("fw.upg", FirmwareFile(c.nowInFile));
        }
        const DownloadOutcome outcome = Download("BN0106");
        EXPECT_EQ(outcome.result, c.result) << (c.nowInFile ? c.nowInFile : "gone");
    }
    EXPECT_TRUE(spooler_->Documents().empty());
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(wait_.begun, 0);
}

TEST_F(FirmwareDownloadTest, TheVersionSentIsTheOneLoggedAndConfirmed) {
    scratch_.Write("fw.upg", FirmwareFile("BN0106"));
    Reply("VI:00BN0106;");
    const DownloadOutcome outcome = Download("BN0106");
    EXPECT_EQ(outcome.result, DownloadResult::Done);
    ASSERT_EQ(spooler_->Documents().size(), 2u);  // the pre-download block, then the firmware
    EXPECT_EQ(spooler_->Documents()[1].bytes.substr(kFirmwareJobOverhead), FirmwareFile("BN0106"));
    const std::vector<ServiceRecord> log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].result, kResultDone);
    EXPECT_EQ(log[0].details, (ServiceDetails{{"file", scratch_ / "fw.upg"},
                                              {"file-version", "BN0106"},
                                              {"version-before", "BN0105"},
                                              {"version-after", "BN0106"}}));
}

TEST_F(FirmwareDownloadTest, EndingsAfterTheChecksSayWhetherAnythingWentAndAreLoggedSo) {
    struct Case {
        const char* name;
        std::function<void()> stage;
        DownloadResult result;
        const char* logged;  // nullptr: no record
        int waits;
    };
    const Case cases[] = {
        // The queue takes the pre-download block, then rejects the firmware job.
        {"rejected", [this]() { spooler_->Fail(Step::kStartDoc, 1, 1); }, DownloadResult::NotSent,
         kResultFailed, 0},
        // It rejects both: nothing went, nothing is recorded.
        {"rejecting", [this]() { spooler_->Fail(Step::kStartDoc); }, DownloadResult::NotSent,
         nullptr, 0},
        // Sent; afterwards the printer gives no version, or a reply without one.
        {"silent", []() {}, DownloadResult::Unconfirmed, kResultSent, 1},
        {"no key", [this]() { Reply("XX:nothing;"); }, DownloadResult::Unconfirmed, kResultSent, 1},
        {"other", [this]() { Reply("VI:00BN0105;"); }, DownloadResult::NotConfirmed, kResultFailed,
         1},
        // Hung up while the printer takes the file: it is not asked, the record is written.
        {"hung up",
         [this]() {
             wait_.abandonInWait = true;
             Reply("VI:00BN0106;");
         },
         DownloadResult::Unconfirmed, kResultSent, 1},
        // Hung up before anything went: nothing goes.
        {"ended first", [this]() { wait_.abandoned = true; }, DownloadResult::NotSent, nullptr, 0},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(ServiceLogPath());
        spooler_->ClearFailures();
        wait_ = RecordingWait{};
        Call<void (*)()>("StageReset")();
        DeviceId("MFG:ARVEN;DES:ARVEN WL-4000;");
        Status("ST:04;");
        scratch_.Write("fw.upg", FirmwareFile("BN0106"));
        c.stage();
        const DownloadOutcome outcome = Download("BN0106");
        EXPECT_EQ(outcome.result, c.result) << c.name;
        EXPECT_EQ(wait_.begun, c.waits) << c.name;
        const std::vector<ServiceRecord> log = Log();
        ASSERT_EQ(log.size(), c.logged ? 1u : 0u) << c.name;
        if (c.logged) {
            EXPECT_EQ(log[0].result, c.logged) << c.name;
            EXPECT_EQ(log[0].details[1].second, "BN0106") << c.name;
        }
    }
}

}  // namespace
