#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/raw_job.h"
#include "platform/spooler/spooler.h"
#include "platform/system/clock.h"
#include "tests/support/memory_spooler.h"

namespace {

using Step = spooler::MemorySpooler::Step;

class RawJobTest : public ::testing::Test {
  protected:
    RawJobTest() {
        auto owned = std::make_unique<spooler::MemorySpooler>();
        spooler_ = owned.get();
        spooler::Install(std::move(owned));
        spooler_->AddQueue("P", "ARVEN WL-4000", "");
        sys::SetClock(&clock_);
    }
    ~RawJobTest() override {
        sys::SetClock(nullptr);
        spooler::Install(nullptr);
    }
    bool Send(const std::string& bytes) {
        return SendRawCommandJob("P", bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    size_t Polls() const { return clock_.Sleeps().size(); }

    spooler::MemorySpooler* spooler_ = nullptr;
    sys::VirtualClock clock_;
};

TEST_F(RawJobTest, SendsOneRawDocumentNamedArsuCommand) {
    EXPECT_TRUE(Send(std::string("\x1B@CH\0\x10", 6)));
    ASSERT_EQ(spooler_->Documents().size(), 1u);
    const auto& document = spooler_->Documents()[0];
    EXPECT_EQ(document.name, "ARSU Command");
    EXPECT_EQ(document.dataType, "");
    EXPECT_EQ(document.pages, 1u);
    EXPECT_EQ(document.bytes, std::string("\x1B@CH\0\x10", 6));
    EXPECT_TRUE(document.ended);
    EXPECT_EQ(spooler_->OpenHandles(), 0u);
}

TEST_F(RawJobTest, EveryFailedStepClosesWhatWasOpened) {
    EXPECT_FALSE(SendRawCommandJob("Unknown", "x", 1));

    spooler_->Fail(Step::kStartDoc, 0, 1);
    EXPECT_FALSE(Send("x"));
    EXPECT_EQ(spooler_->OpenHandles(), 0u);

    spooler_->ClearFailures();
    spooler_->Fail(Step::kStartPage, 0, 1);
    EXPECT_FALSE(Send("x"));
    EXPECT_EQ(spooler_->OpenHandles(), 0u);
    std::vector<std::string> calls = spooler_->Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 2], "EndDocPrinter P");  // the document is ended first
    EXPECT_EQ(calls.back(), "ClosePrinter P");

    spooler_->ClearFailures();
    spooler_->Fail(Step::kWrite, 0, 1);
    EXPECT_TRUE(Send("x"));  // the write's outcome is not looked at

    // A document whose end fails never reached the queue: the job failed and is cancelled.
    for (Step step : {Step::kEndPage, Step::kEndDoc}) {
        spooler_->ClearFailures();
        spooler_->Fail(step, 0, 2);
        EXPECT_FALSE(Send("x"));
        EXPECT_FALSE(WriteRawDocument("P", "x", 1).has_value());
        const auto& documents = spooler_->Documents();
        EXPECT_TRUE(documents[documents.size() - 2].cancelled);
        EXPECT_TRUE(documents.back().cancelled);
        EXPECT_EQ(spooler_->OpenHandles(), 0u);
    }
}

TEST_F(RawJobTest, EmptyQueueEndsTheWaitAboutAMinuteAfterTheFirstEmptyPoll) {
    WaitForQueuedJob("P", "Sample");
    EXPECT_GE(Polls(), 60u);
    EXPECT_LE(Polls(), 62u);
}

TEST_F(RawJobTest, OtherJobsKeepItPollingAndTheMinuteRestartsWhenTheyLeave) {
    spooler_->AddJob("P", "Other", clock_.TickCount() + 100000);
    WaitForQueuedJob("P", "Sample");
    // 100 s of other jobs, then a minute of empty queue.
    EXPECT_GE(Polls(), 160u);
    EXPECT_LE(Polls(), 162u);
}

TEST_F(RawJobTest, TheDocumentIsSeenOnlyAmongTheFirstSixteenJobs) {
    // The sixteenth job is seen at the first poll.
    for (int i = 0; i < 15; ++i) {
        spooler_->AddJob("P", "Other");  // never leave
    }
    const uint32_t sample = spooler_->AddJob("P", "Sample");
    WaitForQueuedJob("P", "Sample");
    EXPECT_EQ(Polls(), 1u);

    // The seventeenth is not.
    spooler_->RemoveJob(sample);
    spooler_->AddJob("P", "Other");
    spooler_->AddJob("P", "Sample");
    uint32_t before = clock_.TickCount();
    WaitForQueuedJob("P", "Sample");
    // Never seen and never empty: the overall limit ends the wait.
    EXPECT_GE(clock_.TickCount() - before, kWaitLimitMs);
    EXPECT_LE(clock_.TickCount() - before, kWaitLimitMs + 1000);
}

TEST_F(RawJobTest, UnopenablePrinterEndsAtOnceAndFailedListingsAreAskedAgain) {
    WaitForQueuedJob("Unknown", "Sample");
    EXPECT_EQ(Polls(), 0u);

    // A scheduler that fails three listings, then lists the document.
    spooler_->AddJob("P", "Sample");
    spooler_->Fail(Step::kEnumJobs, 0, 3);
    WaitForQueuedJob("P", "Sample");
    EXPECT_EQ(Polls(), 4u);

    // One that never answers again: the overall limit ends the wait.
    spooler_->Fail(Step::kEnumJobs);
    const uint32_t before = clock_.TickCount();
    WaitForQueuedJob("P", "Sample");
    EXPECT_GE(clock_.TickCount() - before, kWaitLimitMs);
    EXPECT_LE(clock_.TickCount() - before, kWaitLimitMs + 1000);
}

}  // namespace
