#include "tests/support/memory_spooler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/system/clock.h"

namespace {

using spooler::JobInfo1;
using spooler::kEnumConnections;
using spooler::kEnumLocal;
using spooler::kNoPrinter;
using spooler::MemorySpooler;
using spooler::PrinterHandle;
using spooler::PrinterInfo2;
using Step = MemorySpooler::Step;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::IsEmpty;

std::vector<std::string> Names(const std::vector<PrinterInfo2>& printers) {
    std::vector<std::string> names;
    for (const auto& printer : printers) {
        names.push_back(printer.printerName);
    }
    return names;
}

std::vector<std::string> Documents(const std::vector<JobInfo1>& jobs) {
    std::vector<std::string> names;
    for (const auto& job : jobs) {
        names.push_back(job.document);
    }
    return names;
}

class MemorySpoolerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        spooler_.AddQueue("WL4000", "ARVEN WL-4000", "plenwise:/WL4000");
        spooler_.AddQueue("Remote", "ARVEN WL-3000", "ipp://elsewhere/printers/x", false);
        spooler_.AddQueue("Other", "OTHER Plotter 9", "plenwise:/Other");
    }

    // The steps of a one-page raw document; false at the first step that fails.
    bool SendDocument(const std::string& queue, const std::string& name, const std::string& bytes) {
        const PrinterHandle printer = spooler_.OpenPrinter(queue);
        if (printer == kNoPrinter) {
            return false;
        }
        uint32_t written = 0;
        const bool sent = spooler_.StartDocPrinter(printer, name, "") != 0 &&
                          spooler_.StartPagePrinter(printer) &&
                          spooler_.WritePrinter(printer, bytes.data(),
                                                static_cast<uint32_t>(bytes.size()), written) &&
                          spooler_.EndPagePrinter(printer) && spooler_.EndDocPrinter(printer);
        spooler_.ClosePrinter(printer);
        return sent;
    }

    std::vector<JobInfo1> Jobs(const std::string& queue, uint32_t first = 0, uint32_t max = 16) {
        std::vector<JobInfo1> jobs;
        const PrinterHandle printer = spooler_.OpenPrinter(queue);
        EXPECT_TRUE(spooler_.EnumJobs(printer, first, max, jobs));
        spooler_.ClosePrinter(printer);
        return jobs;
    }

    sys::VirtualClock clock_;
    sys::ScopedClock installedClock_{clock_};
    MemorySpooler spooler_;
};

TEST_F(MemorySpoolerTest, EachPassListsItsKindOfQueueInOrder) {
    std::vector<PrinterInfo2> printers;
    ASSERT_TRUE(spooler_.EnumPrinters(kEnumLocal, printers));
    EXPECT_THAT(Names(printers), ElementsAre("WL4000", "Other"));
    EXPECT_EQ(printers[0].driverName, "ARVEN WL-4000");
    EXPECT_EQ(printers[0].portName, "plenwise:/WL4000");

    ASSERT_TRUE(spooler_.EnumPrinters(kEnumConnections, printers));
    EXPECT_THAT(Names(printers), ElementsAre("Remote"));

    ASSERT_TRUE(spooler_.EnumPrinters(kEnumLocal | kEnumConnections, printers));
    EXPECT_THAT(Names(printers), ElementsAre("WL4000", "Remote", "Other"));

    EXPECT_FALSE(spooler_.EnumPrinters(0, printers));
    EXPECT_THAT(printers, IsEmpty());
}

TEST_F(MemorySpoolerTest, EnumerationPassesFailSeparately) {
    spooler_.Fail(Step::kEnumLocalPass);
    std::vector<PrinterInfo2> printers{PrinterInfo2{"stale", "", ""}};
    EXPECT_FALSE(spooler_.EnumPrinters(kEnumLocal, printers));
    EXPECT_THAT(printers, IsEmpty());
    EXPECT_TRUE(spooler_.EnumPrinters(kEnumConnections, printers));
    EXPECT_THAT(spooler_.Calls(), ElementsAre("EnumPrinters 2 failed", "EnumPrinters 4"));
}

TEST_F(MemorySpoolerTest, OpensOnlyKnownQueuesAndCountsHandles) {
    EXPECT_EQ(spooler_.OpenPrinter("NoSuchQueue"), kNoPrinter);
    EXPECT_EQ(spooler_.OpenPrinter(""), kNoPrinter);
    const PrinterHandle first = spooler_.OpenPrinter("WL4000");
    const PrinterHandle second = spooler_.OpenPrinter("wl4000");
    ASSERT_NE(first, kNoPrinter);
    ASSERT_NE(second, kNoPrinter);
    EXPECT_NE(first, second);
    EXPECT_EQ(spooler_.OpenHandles(), 2u);
    EXPECT_TRUE(spooler_.ClosePrinter(first));
    EXPECT_FALSE(spooler_.ClosePrinter(first));
    EXPECT_TRUE(spooler_.ClosePrinter(second));
    EXPECT_EQ(spooler_.OpenHandles(), 0u);
}

TEST_F(MemorySpoolerTest, RecordsDocumentsByteForByteWithTheirCalls) {
    const std::string bytes("\x1b\x00\xff remote", 9);
    ASSERT_TRUE(SendDocument("WL4000", "ARSU Command", bytes));

    ASSERT_EQ(spooler_.Documents().size(), 1u);
    const MemorySpooler::Document& document = spooler_.Documents()[0];
    EXPECT_EQ(document.printer, "WL4000");
    EXPECT_EQ(document.name, "ARSU Command");
    EXPECT_EQ(document.dataType, "");
    EXPECT_EQ(document.pages, 1u);
    EXPECT_EQ(document.bytes, bytes);
    EXPECT_TRUE(document.ended);
    EXPECT_FALSE(document.cancelled);
    EXPECT_THAT(spooler_.Calls(), ElementsAre("OpenPrinter WL4000", "StartDocPrinter WL4000",
                                              "StartPagePrinter WL4000", "WritePrinter WL4000",
                                              "EndPagePrinter WL4000", "EndDocPrinter WL4000",
                                              "ClosePrinter WL4000"));
    EXPECT_EQ(spooler_.OpenHandles(), 0u);
}

TEST_F(MemorySpoolerTest, DocumentsFollowTheOrderOfTheirSteps) {
    const PrinterHandle printer = spooler_.OpenPrinter("WL4000");
    uint32_t written = 7;
    EXPECT_FALSE(spooler_.StartPagePrinter(printer)) << "no document yet";
    EXPECT_FALSE(spooler_.WritePrinter(printer, "x", 1, written));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(spooler_.EndDocPrinter(printer));
    EXPECT_EQ(spooler_.StartDocPrinter(printer, "emf", "NT EMF 1.008"), 0u);

    ASSERT_NE(spooler_.StartDocPrinter(printer, "doc", "raw"), 0u);
    EXPECT_EQ(spooler_.StartDocPrinter(printer, "second", ""), 0u) << "one at a time";
    EXPECT_FALSE(spooler_.EndPagePrinter(printer)) << "no page yet";
    EXPECT_TRUE(spooler_.StartPagePrinter(printer));
    EXPECT_FALSE(spooler_.StartPagePrinter(printer)) << "pages do not nest";
    EXPECT_FALSE(spooler_.WritePrinter(printer, nullptr, 1, written));
    EXPECT_TRUE(spooler_.WritePrinter(printer, nullptr, 0, written));
    EXPECT_TRUE(spooler_.EndDocPrinter(printer)) << "ends the open page too";
    EXPECT_TRUE(spooler_.ClosePrinter(printer));
    ASSERT_EQ(spooler_.Documents().size(), 1u);
    EXPECT_EQ(spooler_.Documents()[0].pages, 1u);
}

class MemorySpoolerStepFailureTest : public MemorySpoolerTest,
                                     public ::testing::WithParamInterface<Step> {};

TEST_P(MemorySpoolerStepFailureTest, AFailingStepStopsTheDocumentThere) {
    spooler_.Fail(GetParam());
    EXPECT_FALSE(SendDocument("WL4000", "ARSU Command", "bytes"));
    EXPECT_EQ(spooler_.OpenHandles(), 0u);
    const auto& calls = spooler_.Calls();
    const auto failed = std::find_if(calls.begin(), calls.end(), [](const std::string& call) {
        return call.ends_with(" failed");
    });
    ASSERT_NE(failed, calls.end());
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& call) { return call.ends_with(" failed"); }),
              1);
    // What was opened is closed again.
    EXPECT_EQ(calls.back(),
              GetParam() == Step::kOpen ? "OpenPrinter WL4000 failed" : "ClosePrinter WL4000");

    // Only that step was made to fail.
    spooler_.ClearFailures();
    EXPECT_TRUE(SendDocument("WL4000", "ARSU Command", "bytes"));
}

std::string StepName(const ::testing::TestParamInfo<Step>& step) {
    static const char* const kNames[] = {"Open",  "GetDriver", "StartDoc", "StartPage",
                                         "Write", "EndPage",   "EndDoc"};
    return kNames[static_cast<int>(step.param)];
}

INSTANTIATE_TEST_SUITE_P(Steps, MemorySpoolerStepFailureTest,
                         ::testing::Values(Step::kOpen, Step::kStartDoc, Step::kStartPage,
                                           Step::kWrite, Step::kEndPage, Step::kEndDoc),
                         StepName);

TEST_F(MemorySpoolerTest, FailuresCanWaitTheirTurnAndRunOut) {
    spooler_.Fail(Step::kWrite, 1, 2);
    EXPECT_TRUE(SendDocument("WL4000", "1", "x"));
    EXPECT_FALSE(SendDocument("WL4000", "2", "x"));
    EXPECT_FALSE(SendDocument("WL4000", "3", "x"));
    EXPECT_TRUE(SendDocument("WL4000", "4", "x"));
}

TEST_F(MemorySpoolerTest, FailedEndOrCloseDropsTheDocumentAndItsJob) {
    spooler_.SetJobLifetime("WL4000", std::nullopt);
    spooler_.Fail(Step::kEndDoc, 0, 1);
    EXPECT_FALSE(SendDocument("WL4000", "not ended", "x"));

    const PrinterHandle printer = spooler_.OpenPrinter("WL4000");
    ASSERT_NE(spooler_.StartDocPrinter(printer, "abandoned", ""), 0u);
    EXPECT_THAT(Documents(Jobs("WL4000")), ElementsAre("abandoned"));
    EXPECT_TRUE(spooler_.ClosePrinter(printer));

    EXPECT_THAT(Jobs("WL4000"), IsEmpty());
    ASSERT_EQ(spooler_.Documents().size(), 2u);
    EXPECT_TRUE(spooler_.Documents()[0].cancelled);
    EXPECT_TRUE(spooler_.Documents()[1].cancelled);
    EXPECT_FALSE(spooler_.Documents()[1].ended);
}

TEST_F(MemorySpoolerTest, JobListsAreWindowsOfTheQueueInOrder) {
    for (int i = 1; i <= 20; ++i) {
        spooler_.AddJob("WL4000", "job " + std::to_string(i));
    }
    spooler_.AddJob("Other", "elsewhere");

    const auto head = Jobs("WL4000");
    ASSERT_EQ(head.size(), 16u);
    EXPECT_EQ(head.front().document, "job 1");
    EXPECT_EQ(head.front().position, 1u);
    EXPECT_EQ(head.back().document, "job 16");
    EXPECT_EQ(head.back().printerName, "WL4000");

    const auto tail = Jobs("WL4000", 16, 16);
    EXPECT_THAT(Documents(tail), ElementsAre("job 17", "job 18", "job 19", "job 20"));
    EXPECT_EQ(tail.front().position, 17u);
    EXPECT_THAT(Jobs("WL4000", 20, 16), IsEmpty());
    EXPECT_THAT(Jobs("WL4000", 0, 0), IsEmpty());
    EXPECT_THAT(Documents(Jobs("Other")), ElementsAre("elsewhere"));
}

TEST_F(MemorySpoolerTest, StagedJobsLeaveAtTheirTime) {
    spooler_.AddJob("WL4000", "stays");
    const uint32_t leaving = spooler_.AddJob("WL4000", "leaves", 5000);
    clock_.Advance(4999);
    EXPECT_THAT(Documents(Jobs("WL4000")), ElementsAre("stays", "leaves"));
    clock_.Advance(1);
    EXPECT_THAT(Documents(Jobs("WL4000")), ElementsAre("stays"));

    spooler_.AddJob("WL4000", "removed");
    spooler_.RemoveJob(leaving);  // already gone: no effect
    const auto jobs = Jobs("WL4000");
    ASSERT_EQ(jobs.size(), 2u);
    spooler_.RemoveJob(jobs[1].jobId);
    EXPECT_THAT(Documents(Jobs("WL4000")), ElementsAre("stays"));
}

TEST_F(MemorySpoolerTest, JobsLeaveAcrossTheTickCountWrap) {
    clock_.SetTick(0xFFFFFF00u);
    spooler_.AddJob("WL4000", "wraps", 0x100u);
    EXPECT_THAT(Jobs("WL4000"), ::testing::SizeIs(1));
    clock_.Advance(0x200);
    EXPECT_THAT(Jobs("WL4000"), IsEmpty());
}

TEST_F(MemorySpoolerTest, SentDocumentsAreListedForTheirQueuesLifetime) {
    // Default: listed while being written, gone once ended.
    const PrinterHandle printer = spooler_.OpenPrinter("WL4000");
    const uint32_t jobId = spooler_.StartDocPrinter(printer, "sample", "");
    EXPECT_THAT(Jobs("WL4000"), ElementsAre(Field(&JobInfo1::jobId, jobId)));
    EXPECT_TRUE(spooler_.EndDocPrinter(printer));
    spooler_.ClosePrinter(printer);
    EXPECT_THAT(Jobs("WL4000"), IsEmpty());

    spooler_.SetJobLifetime("WL4000", 3000);
    ASSERT_TRUE(SendDocument("WL4000", "printing", "x"));
    clock_.Advance(2999);
    EXPECT_THAT(Documents(Jobs("WL4000")), ElementsAre("printing"));
    clock_.Advance(1);
    EXPECT_THAT(Jobs("WL4000"), IsEmpty());

    spooler_.SetJobLifetime("WL4000", std::nullopt);
    ASSERT_TRUE(SendDocument("WL4000", "forever", "x"));
    clock_.Advance(0x7FFFFFFF);
    EXPECT_THAT(Documents(Jobs("WL4000")), ElementsAre("forever"));
}

TEST_F(MemorySpoolerTest, EnumJobsCanFail) {
    spooler_.AddJob("WL4000", "listed");
    spooler_.Fail(Step::kEnumJobs, 0, 1);
    const PrinterHandle printer = spooler_.OpenPrinter("WL4000");
    std::vector<JobInfo1> jobs{JobInfo1{}};
    EXPECT_FALSE(spooler_.EnumJobs(printer, 0, 16, jobs));
    EXPECT_THAT(jobs, IsEmpty());
    EXPECT_TRUE(spooler_.EnumJobs(printer, 0, 16, jobs));
    EXPECT_THAT(Documents(jobs), ElementsAre("listed"));
    spooler_.ClosePrinter(printer);
}

TEST_F(MemorySpoolerTest, DriverInformationIsTheDriverNameAndItsFiles) {
    spooler_.SetDriverFiles("WL4000", "/m/ARDRV.so", "/m/ARDATA.dat", "/m/ARSET32.so");
    const PrinterHandle printer = spooler_.OpenPrinter("WL4000");
    spooler::DriverInfo2 driver;
    ASSERT_TRUE(spooler_.GetPrinterDriver(printer, driver));
    EXPECT_EQ(driver.name, "ARVEN WL-4000");
    EXPECT_EQ(driver.driverPath, "/m/ARDRV.so");
    EXPECT_EQ(driver.dataFile, "/m/ARDATA.dat");
    EXPECT_EQ(driver.configFile, "/m/ARSET32.so");
    spooler_.Fail(Step::kGetDriver);
    EXPECT_FALSE(spooler_.GetPrinterDriver(printer, driver));
    spooler_.ClosePrinter(printer);
    EXPECT_FALSE(spooler_.GetPrinterDriver(printer, driver));
}

TEST(SpoolerBackendTest, InstalledBackendServesUntilItIsRemoved) {
    {
        spooler::ScopedMemorySpooler memory;
        EXPECT_EQ(&spooler::Current(), &*memory);
        memory->AddQueue("WL4000", "ARVEN WL-4000", "plenwise:/WL4000");
        EXPECT_NE(spooler::Current().OpenPrinter("WL4000"), kNoPrinter);
        EXPECT_EQ(memory->OpenHandles(), 1u);
    }
    // Back to the default back-end, created afresh.
    EXPECT_EQ(dynamic_cast<MemorySpooler*>(&spooler::Current()), nullptr);
}

}  // namespace
