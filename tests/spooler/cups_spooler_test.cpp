// The CUPS back-end against a private world of its own, brought up by scripts/world.sh in a
// fresh folder. Every job is held for a while (by the simulated printer, or by the backend where
// no printer stands behind a queue), so that jobs can be watched in their queue; the tests poll
// with a bound and never sleep a fixed time.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "common/raw_job.h"
#include "common/remote_commands.h"
#include "platform/gdi/devmode.h"
#include "platform/gdi/gdi.h"
#include "platform/spooler/spooler.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;
using spooler::JobInfo1;
using spooler::kEnumConnections;
using spooler::kEnumLocal;
using spooler::kNoPrinter;
using spooler::PrinterHandle;
using spooler::PrinterInfo2;
using ::testing::IsEmpty;

// How long each job stays in its queue after it was sent.
constexpr const char* kHoldMs = "1500";

std::string WorldSettings() {
    return std::string(" PLENWISE_BACKEND_HOLD_MS=") + kHoldMs +
           " PLENWISE_SIM_PRINT_MS=" + kHoldMs;
}

struct RunResult {
    int exitCode = -1;
    std::string output;
};

RunResult RunShell(const std::string& command) {
    RunResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        result.output.append(buffer, count);
    }
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string ReadFile(const fs::path& path) {
    return testsupport::ScratchDir::Read(path.string());
}
using testsupport::WaitUntil;

class CupsSpoolerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const char* source = std::getenv("PLENWISE_SOURCE");
        ASSERT_NE(source, nullptr) << "PLENWISE_SOURCE names the source tree; run through ctest";
        std::string pattern = (fs::temp_directory_path() / "plenwise-spooler-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        // As root the scheduler's backends run as lp, which must reach the world.
        fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
        fs::create_directories(root_ / "home");
        // libcups reads the user's lpoptions from HOME.
        ::setenv("HOME", (root_ / "home").c_str(), 1);
        world_ = root_ / "world";
        script_ = fs::path(source) / "scripts" / "world.sh";
        const RunResult up = RunShell("PLENWISE_WORLD=" + Quoted(world_.string()) +
                                      WorldSettings() + " " + Quoted(script_.string()) + " up");
        upOutput_ = up.output;
        std::ifstream env(world_ / "env");
        for (std::string line; std::getline(env, line);) {
            if (line.starts_with("CUPS_SERVER=")) {
                cupsServer_ = line.substr(std::string("CUPS_SERVER=").size());
            }
        }
        worldUp_ = up.exitCode == 0 && !cupsServer_.empty();
        if (worldUp_) {
            ::setenv("CUPS_SERVER", cupsServer_.c_str(), 1);
        }
    }

    static void TearDownTestSuite() {
        if (!world_.empty()) {
            RunShell("PLENWISE_WORLD=" + Quoted(world_.string()) + " " + Quoted(script_.string()) +
                     " down");
        }
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void SetUp() override {
        // No skipping: a machine without cupsd fails here with world.sh's own message.
        ASSERT_TRUE(worldUp_) << "scripts/world.sh up failed:\n" << upOutput_;
        cups_ = spooler::MakeCupsSpooler();
    }

    // Runs a CUPS command-line tool against the world's scheduler.
    static RunResult Tool(const std::string& command) {
        return RunShell("PATH=\"$PATH:/usr/sbin:/usr/bin\" CUPS_SERVER=" + cupsServer_ + " " +
                        command);
    }

    std::vector<JobInfo1> Jobs(PrinterHandle printer, uint32_t first = 0, uint32_t max = 16) {
        std::vector<JobInfo1> jobs;
        EXPECT_TRUE(cups_->EnumJobs(printer, first, max, jobs));
        return jobs;
    }

    static bool Lists(const std::vector<JobInfo1>& jobs, uint32_t jobId) {
        return std::any_of(jobs.begin(), jobs.end(),
                           [jobId](const JobInfo1& job) { return job.jobId == jobId; });
    }

    uint32_t SendDocument(PrinterHandle printer, const std::string& name,
                          const std::string& bytes) {
        const uint32_t jobId = cups_->StartDocPrinter(printer, name, "");
        uint32_t written = 0;
        EXPECT_NE(jobId, 0u);
        EXPECT_TRUE(cups_->StartPagePrinter(printer));
        EXPECT_TRUE(cups_->WritePrinter(printer, bytes.data(), static_cast<uint32_t>(bytes.size()),
                                        written));
        EXPECT_EQ(written, bytes.size());
        EXPECT_TRUE(cups_->EndPagePrinter(printer));
        EXPECT_TRUE(cups_->EndDocPrinter(printer));
        return jobId;
    }

    std::unique_ptr<spooler::Spooler> cups_;
    static inline fs::path root_;
    static inline fs::path world_;
    static inline fs::path script_;
    static inline std::string cupsServer_;
    static inline std::string upOutput_;
    static inline bool worldUp_ = false;
};

TEST_F(CupsSpoolerTest, LocalPassListsEveryQueueOfTheWorldWithItsExactDriverName) {
    std::vector<PrinterInfo2> printers;
    ASSERT_TRUE(cups_->EnumPrinters(kEnumLocal, printers));
    std::map<std::string, std::string> drivers;
    for (const PrinterInfo2& printer : printers) {
        EXPECT_TRUE(drivers.emplace(printer.printerName, printer.driverName).second)
            << printer.printerName << " listed twice";
        EXPECT_TRUE(printer.portName.starts_with("plenwise:")) << printer.portName;
    }
    // One queue per served model and one of a model not served; the world may hold more.
    const std::map<std::string, std::string> expected{
        {"WL4000", "ARVEN WL-4000"},
        {"Wideline400U", "ARVEN Wideline 400U"},
        {"Wideline400C", "ARVEN Wideline 400C"},
        {"Wideline400D", "ARVEN Wideline 400D"},
        {"WL3000", "ARVEN WL-3000"},
        {"WL2000", "ARVEN WL-2000"},
        {"Wideline300", "ARVEN Wideline 300"},
        {"Wideline200", "ARVEN Wideline 200"},
        {"Wideline300D", "ARVEN Wideline 300-D"},
        {"Wideline200D", "ARVEN Wideline 200-D"},
        {"Plotter9", "OTHER Plotter 9"},
    };
    for (const auto& [queue, driver] : expected) {
        const auto found = drivers.find(queue);
        ASSERT_NE(found, drivers.end()) << "no queue " << queue;
        EXPECT_EQ(found->second, driver) << queue;
    }

    const size_t local = printers.size();
    ASSERT_TRUE(cups_->EnumPrinters(kEnumConnections, printers));
    EXPECT_THAT(printers, IsEmpty());
    ASSERT_TRUE(cups_->EnumPrinters(kEnumLocal | kEnumConnections, printers));
    EXPECT_EQ(printers.size(), local);
}

TEST_F(CupsSpoolerTest, OpensOnlyExistingQueuesAndNamesTheirDriver) {
    EXPECT_EQ(cups_->OpenPrinter("NoSuchQueue"), kNoPrinter);
    EXPECT_FALSE(cups_->SchedulerUnreachable());  // it answered: there is no such queue
    EXPECT_EQ(cups_->OpenPrinter(""), kNoPrinter);
    EXPECT_EQ(cups_->OpenPrinter("WL4000/instance"), kNoPrinter);

    const PrinterHandle printer = cups_->OpenPrinter("Wideline300D");
    ASSERT_NE(printer, kNoPrinter);
    spooler::DriverInfo2 driver;
    ASSERT_TRUE(cups_->GetPrinterDriver(printer, driver));
    EXPECT_EQ(driver.name, "ARVEN Wideline 300-D");
    EXPECT_EQ(driver.driverPath, "");
    EXPECT_EQ(driver.dataFile, "");
    EXPECT_EQ(driver.configFile, "");
    EXPECT_TRUE(cups_->ClosePrinter(printer));
    EXPECT_FALSE(cups_->ClosePrinter(printer));
    EXPECT_FALSE(cups_->GetPrinterDriver(printer, driver));
}

TEST_F(CupsSpoolerTest, RawDocumentIsListedWhileTheBackendHoldsItAndArrivesUnchanged) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    bytes += std::string(70000, '\x1b');  // more than one write buffer of libcups

    const PrinterHandle printer = cups_->OpenPrinter("WL4000");
    ASSERT_NE(printer, kNoPrinter);
    const uint32_t jobId = SendDocument(printer, "ARSU Command", bytes);
    ASSERT_NE(jobId, 0u);

    std::vector<JobInfo1> jobs;
    ASSERT_TRUE(WaitUntil([&] {
        jobs = Jobs(printer);
        return Lists(jobs, jobId);
    })) << "the job never showed in its queue";
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].document, "ARSU Command");
    EXPECT_EQ(jobs[0].printerName, "WL4000");
    EXPECT_EQ(jobs[0].position, 1u);

    const fs::path journal = world_ / "journal";
    const fs::path data = journal / ("job-" + std::to_string(jobId) + ".data");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(data); })) << "the backend filed no job";
    EXPECT_EQ(ReadFile(data), bytes);
    EXPECT_EQ(ReadFile(journal / ("job-" + std::to_string(jobId) + ".title")), "ARSU Command");
    EXPECT_EQ(ReadFile(journal / ("job-" + std::to_string(jobId) + ".queue")), "WL4000");

    EXPECT_TRUE(WaitUntil([&] { return !Lists(Jobs(printer), jobId); }))
        << "the job stayed after the backend ended";
    EXPECT_TRUE(cups_->ClosePrinter(printer));
}

TEST_F(CupsSpoolerTest, TheWorldsMachineHoldsTheInstalledDriverPackage) {
    const fs::path machineFolder = world_ / "machine";
    const testsupport::ScopedEnvironment machine("PLENWISE_MACHINE", machineFolder.string());
    const fs::path directory = machineFolder / "Windows/System32/spool/Drivers/W32x86/3";

    const PrinterHandle printer = cups_->OpenPrinter("WL4000");
    ASSERT_NE(printer, kNoPrinter);
    spooler::DriverInfo2 driver;
    ASSERT_TRUE(cups_->GetPrinterDriver(printer, driver));
    EXPECT_TRUE(cups_->ClosePrinter(printer));
    EXPECT_EQ(driver.name, "ARVEN WL-4000");
    ASSERT_FALSE(driver.driverPath.empty());
    EXPECT_TRUE(fs::equivalent(driver.driverPath, directory / "ARSET32.so")) << driver.driverPath;
    EXPECT_TRUE(fs::exists(directory / "ABAPI.so"));
    ASSERT_FALSE(driver.dataFile.empty());
    const std::string data = ReadFile(driver.dataFile);
    EXPECT_NE(data.find("[User Mode Printer Driver Information]"), std::string::npos) << data;
    EXPECT_NE(data.find("ABAPII=ABAPI.so"), std::string::npos) << data;

    // The media configuration of both ink sets, and the folder of the user configuration.
    EXPECT_TRUE(fs::is_regular_file(directory / "A_DD148J.CFG"));
    EXPECT_TRUE(fs::is_regular_file(directory / "A_DD248J.CFG"));
    EXPECT_TRUE(fs::is_directory(machineFolder / "Program Files/ARVEN/ARVEN WL-4000"));
    // Queues are made from the package's definitions, named after the driver.
    EXPECT_NE(ReadFile(fs::path(std::getenv("PLENWISE_OUT")) / "driver/ppd/ARVEN-WL-4000.ppd")
                  .find("*NickName: \"ARVEN WL-4000\""),
              std::string::npos);
}

// The simulated printer's record of the job with this CUPS job id ("" while it has none).
std::string PrinterRecordOf(const fs::path& journal, uint32_t jobId) {
    std::error_code ignored;
    for (const auto& file : fs::directory_iterator(journal, ignored)) {
        if (file.path().extension() != ".txt") {
            continue;
        }
        const std::string record = ReadFile(file.path());
        if (record.find("\ncups-job: " + std::to_string(jobId) + "\n") != std::string::npos) {
            return record;
        }
    }
    return {};
}

bool Says(const std::string& record, const std::string& line) {
    return record.find("\n" + line + "\n") != std::string::npos;
}

TEST_F(CupsSpoolerTest, RawCommandJobReachesItsPrinterAndStaysListedWhileItPrints) {
    const ByteBlock cleaning = PowerCleaningBlock();
    ASSERT_TRUE(
        SendRawCommandJob("WL2000", cleaning.data(), static_cast<uint32_t>(cleaning.size())));

    const PrinterHandle printer = cups_->OpenPrinter("WL2000");
    ASSERT_NE(printer, kNoPrinter);
    std::vector<JobInfo1> jobs;
    ASSERT_TRUE(WaitUntil([&] {
        jobs = Jobs(printer);
        return !jobs.empty();
    })) << "the job never showed in its queue";
    EXPECT_EQ(jobs[0].document, kRawJobDocument);
    const uint32_t jobId = jobs[0].jobId;

    // Listed between two readings of the printer's record that both say it is printing.
    const fs::path journal = world_ / "printers" / "journal";
    std::string record;
    EXPECT_TRUE(WaitUntil([&] {
        if (!Says(PrinterRecordOf(journal, jobId), "state: printing")) {
            return false;
        }
        const bool listed = Lists(Jobs(printer), jobId);
        record = PrinterRecordOf(journal, jobId);
        return listed && Says(record, "state: printing");
    })) << "the job was not seen listed while the printer printed it";
    EXPECT_TRUE(Says(record, "queue: WL2000")) << record;
    EXPECT_TRUE(Says(record, "title: ARSU Command")) << record;
    EXPECT_NE(record.find("\n  CH "), std::string::npos) << record;

    EXPECT_TRUE(WaitUntil([&] { return Says(PrinterRecordOf(journal, jobId), "state: done"); }))
        << "the printer never finished the job";
    EXPECT_TRUE(WaitUntil([&] { return !Lists(Jobs(printer), jobId); }))
        << "the job stayed after the printer had printed it";
    EXPECT_TRUE(cups_->ClosePrinter(printer));
}

TEST_F(CupsSpoolerTest, APageDrawnOnADeviceContextReachesThePrinterAsAPdf) {
    spooler::Install(std::move(cups_));
    gdi::DevMode mode;
    mode.fields = gdi::kDevModePaperWidth | gdi::kDevModePaperLength | gdi::kDevModePrintQuality |
                  gdi::kDevModeYResolution;
    mode.paperWidth = 2100;
    mode.paperLength = 2970;
    mode.printQuality = 360;
    mode.yResolution = 360;
    const gdi::DeviceContext dc = gdi::CreateDC("ARVEN WL-3000", "WL3000", &mode, sizeof mode);
    ASSERT_NE(dc, gdi::kNoDeviceContext);
    const int job = gdi::StartDoc(dc, "Print mode: Fine");
    ASSERT_GT(job, 0);
    ASSERT_GT(gdi::StartPage(dc), 0);
    EXPECT_GT(gdi::DrawText(dc, "Print mode: Fine", {0, 0, 2976, 4209}), 0);
    gdi::BitmapInfoHeader info;
    info.width = 8;
    info.height = 8;
    const std::vector<uint8_t> pixels(gdi::RowStride24(8) * 8, 0x40);
    EXPECT_EQ(gdi::StretchDIBits(dc, 0, 200, 8, 8, 0, 0, 8, 8, pixels.data(), pixels.size(), info),
              8);
    ASSERT_GT(gdi::EndPage(dc), 0);
    ASSERT_GT(gdi::EndDoc(dc), 0);
    EXPECT_TRUE(gdi::DeleteDC(dc));
    spooler::Install(nullptr);

    const fs::path journal = world_ / "printers" / "journal";
    std::string record;
    ASSERT_TRUE(WaitUntil([&] {
        record = PrinterRecordOf(journal, static_cast<uint32_t>(job));
        return Says(record, "state: done");
    })) << "the printer never printed the page";
    EXPECT_TRUE(Says(record, "title: Print mode: Fine")) << record;
    std::smatch pdf;
    ASSERT_TRUE(std::regex_search(record, pdf, std::regex(R"(\S+-wl3000-1\.pdf)"))) << record;
    EXPECT_TRUE(ReadFile(journal / pdf.str()).starts_with("%PDF-"));
}

TEST_F(CupsSpoolerTest, ActiveJobsComeInQueueOrderFromTheFirstJobAsked) {
    // A stopped queue keeps its jobs, so the list stands still while it is read.
    const RunResult stop = Tool("cupsdisable WL3000");
    ASSERT_EQ(stop.exitCode, 0) << stop.output;
    const PrinterHandle printer = cups_->OpenPrinter("WL3000");
    ASSERT_NE(printer, kNoPrinter);
    const uint32_t first = SendDocument(printer, "first", "1");
    const uint32_t second = SendDocument(printer, "second", "2");
    const uint32_t third = SendDocument(printer, "third", "3");

    const auto all = Jobs(printer);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].jobId, first);
    EXPECT_EQ(all[1].jobId, second);
    EXPECT_EQ(all[2].jobId, third);
    EXPECT_EQ(all[2].document, "third");
    EXPECT_EQ(all[2].position, 3u);

    const auto window = Jobs(printer, 1, 1);
    ASSERT_EQ(window.size(), 1u);
    EXPECT_EQ(window[0].document, "second");
    EXPECT_EQ(window[0].position, 2u);
    EXPECT_THAT(Jobs(printer, 3, 16), IsEmpty());

    const RunResult start = Tool("cupsenable WL3000");
    ASSERT_EQ(start.exitCode, 0) << start.output;
    EXPECT_TRUE(WaitUntil([&] { return Jobs(printer).empty(); }, std::chrono::seconds(60)));
    EXPECT_TRUE(cups_->ClosePrinter(printer));
}

TEST_F(CupsSpoolerTest, DocumentsKeepTheirOrderOfSteps) {
    const PrinterHandle printer = cups_->OpenPrinter("Wideline200");
    ASSERT_NE(printer, kNoPrinter);
    uint32_t written = 0;
    EXPECT_FALSE(cups_->StartPagePrinter(printer));
    EXPECT_FALSE(cups_->WritePrinter(printer, "x", 1, written));
    EXPECT_FALSE(cups_->EndDocPrinter(printer));
    EXPECT_EQ(cups_->StartDocPrinter(printer, "emf", "NT EMF 1.008"), 0u);

    const uint32_t jobId = cups_->StartDocPrinter(printer, "once", "RAW");
    ASSERT_NE(jobId, 0u);
    EXPECT_EQ(cups_->StartDocPrinter(printer, "twice", ""), 0u);
    EXPECT_TRUE(cups_->StartPagePrinter(printer));
    EXPECT_FALSE(cups_->StartPagePrinter(printer));
    EXPECT_TRUE(cups_->WritePrinter(printer, "x", 1, written));
    EXPECT_TRUE(cups_->EndDocPrinter(printer)) << "ends the open page too";
    EXPECT_FALSE(cups_->EndPagePrinter(printer));
    EXPECT_TRUE(WaitUntil([&] { return !Lists(Jobs(printer), jobId); }));
    EXPECT_TRUE(cups_->ClosePrinter(printer));
}

TEST_F(CupsSpoolerTest, ClosingWithAnOpenDocumentCancelsItsJob) {
    const PrinterHandle printer = cups_->OpenPrinter("Wideline200D");
    ASSERT_NE(printer, kNoPrinter);
    const uint32_t jobId = cups_->StartDocPrinter(printer, "abandoned", "");
    ASSERT_NE(jobId, 0u);
    uint32_t written = 0;
    EXPECT_TRUE(cups_->WritePrinter(printer, "half", 4, written));
    EXPECT_TRUE(cups_->ClosePrinter(printer));

    const PrinterHandle watcher = cups_->OpenPrinter("Wideline200D");
    ASSERT_NE(watcher, kNoPrinter);
    EXPECT_TRUE(WaitUntil([&] { return !Lists(Jobs(watcher), jobId); }));
    EXPECT_FALSE(fs::exists(world_ / "journal" / ("job-" + std::to_string(jobId) + ".data")))
        << "a cancelled job reached the printer";
    EXPECT_TRUE(cups_->ClosePrinter(watcher));
}

TEST_F(CupsSpoolerTest, WorldUpIsIdempotent) {
    std::vector<PrinterInfo2> before;
    ASSERT_TRUE(cups_->EnumPrinters(kEnumLocal, before));
    const RunResult again = RunShell("PLENWISE_WORLD=" + Quoted(world_.string()) + WorldSettings() +
                                     " " + Quoted(script_.string()) + " up");
    ASSERT_EQ(again.exitCode, 0) << again.output;
    EXPECT_NE(again.output.find(cupsServer_), std::string::npos)
        << "the running scheduler was replaced:\n"
        << again.output;
    std::vector<PrinterInfo2> after;
    ASSERT_TRUE(cups_->EnumPrinters(kEnumLocal, after));
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].printerName, before[i].printerName);
        EXPECT_EQ(after[i].driverName, before[i].driverName);
    }
}

// A loopback port: with `listening`, one whose connections the kernel completes but nobody
// reads, as a scheduler stopped with SIGSTOP; otherwise one that nothing listens on. The
// socket is kept open in `held` while the test runs.
int LoopbackPort(bool listening, int& held) {
    held = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = 0;
    if (::bind(held, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        (!listening || ::listen(held, 16) == 0) &&
        ::getsockname(held, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    return port;
}

TEST(CupsSpoolerUnreachableTest, CallsFailWhenTheSchedulerIsDownOrDoesNotAnswer) {
    for (const bool listening : {false, true}) {
        int held = -1;
        const int port = LoopbackPort(listening, held);
        ASSERT_NE(port, 0);
        if (!listening) {
            ::close(held);
        }
        std::unique_ptr<spooler::Spooler> cups;
        {
            testsupport::ScopedEnvironment server("CUPS_SERVER",
                                                  "127.0.0.1:" + std::to_string(port));
            cups = spooler::MakeCupsSpooler(300);
        }
        // Bounded: run aside, so that a wait without end fails the test rather than hangs it.
        auto calls = std::async(std::launch::async, [&cups]() {
            std::vector<PrinterInfo2> printers{PrinterInfo2{"stale", "", ""}};
            const bool listed = cups->EnumPrinters(kEnumLocal, printers);
            const bool listUnreachable = cups->SchedulerUnreachable();
            const bool opened = cups->OpenPrinter("WL4000") != kNoPrinter;
            return std::vector<bool>{listed, printers.empty(), listUnreachable, opened,
                                     cups->SchedulerUnreachable()};
        });
        ASSERT_EQ(calls.wait_for(std::chrono::seconds(60)), std::future_status::ready)
            << "listening " << listening;
        EXPECT_EQ(calls.get(), (std::vector<bool>{false, true, true, false, true}))
            << "listening " << listening;
        if (listening) {
            ::close(held);
        }
    }
}

TEST(CupsSpoolerServerTest, TheServerIsNamedWithItsPortOrAsItsSocket) {
    const testsupport::ScopedEnvironment world("CUPS_SERVER", "127.0.0.1:4711");
    const testsupport::ScopedEnvironment port("IPP_PORT", "631");
    const struct {
        const char* given;
        const char* named;
    } cases[] = {
        {"", "127.0.0.1:4711"},
        // Not the port of the default server: the port of none given.
        {"printhost", "printhost:631"},
        {"printhost:9631", "printhost:9631"},
        {"/run/cups/cups.sock", "/run/cups/cups.sock"},
    };
    for (const auto& [given, named] : cases) {
        EXPECT_EQ(spooler::MakeCupsSpooler(300, given)->Server(), named) << given;
    }
    EXPECT_EQ(spooler::ServerName("::1", 631), "[::1]:631");
}

}  // namespace
