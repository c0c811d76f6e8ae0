// plenwise-cli's commands run in-process, on the in-memory spooler, the test build of the
// communication library and the virtual clock: the ends and defaults of its options.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "common/printer_link.h"
#include "common/service_log.h"
#include "platform/system/clock.h"
#include "tests/printer_link/link_fixture.h"
#include "tests/support/program_run.h"

namespace {

using testsupport::ScopedEnvironment;

struct RunOutput {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

class CliRunTest : public LinkFixture {
  protected:
    CliRunTest() {
        sys::SetClock(&clock_);
        InstallDriver();
    }
    ~CliRunTest() override { sys::SetClock(nullptr); }

    RunOutput Run(const std::vector<std::string>& arguments) {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        RunOutput run;
        run.exitCode = cli::Run(arguments, testsupport::Env("PLENWISE_OUT") + "/");
        std::cout.flush();
        std::cerr.flush();
        run.out = ::testing::internal::GetCapturedStdout();
        run.err = ::testing::internal::GetCapturedStderr();
        return run;
    }
    // A ready WL-4000 that runs BN0105 and, after a download, `after`. The channel is the one the
    // unreachable first library chose, so the versions are read by SNMP.
    void StagePrinter(const std::string& after) {
        Call<void (*)()>("StageReset")();
        Channel(kSnmpChannel, 1);
        DeviceId("MFG:ARVEN;DES:ARVEN WL-4000;");
        Status("ST:04;");
        Reply(SnmpVersion("BN0105"));
        Reply(SnmpVersion(after));
    }
    // An SNMP reply that carries the version: the firmware object, four bytes, the value.
    static std::string SnmpVersion(const std::string& version) {
        return std::string("\x2B\x06\x01\x04\x01\x8C\x23\x01\x02\x02\x02\x01\x01\x02", 14) +
               std::string("\x04\x06\x00\x00", 4) + version;
    }

    ScopedEnvironment nowhere_{"PLENWISE_ABAPI_ADDRESS", "127.0.0.1:1"};
    ScopedEnvironment state_{"XDG_STATE_HOME", scratch_ / "state"};
    sys::VirtualClock clock_;
};

TEST_F(CliRunTest, TheFirmwareWaitTakesZeroToAnHourIsThePagesWithoutOptionAndYesIsNeeded) {
    const std::string file =
        scratch_.Write("fw.upg", std::string(16, '\x7F') + "BN0106" + std::string(64, 'x'));
    const struct {
        const char* wait;        // nullptr: no --wait
        const char* firstShown;  // the first line of the wait's progress; "" for none
    } accepted[] = {
        {nullptr, "[..............................]   0 %  85 s left"},
        {"0", ""},
        {"1", "[..............................]   0 %  1 s left"},
        {"3600", "[..............................]   0 %  3600 s left"},
    };
    for (const auto& [wait, firstShown] : accepted) {
        StagePrinter("BN0106");
        const size_t jobsBefore = spooler_->Documents().size();
        std::vector<std::string> arguments = Words("firmware load P " + file + " --yes");
        if (wait != nullptr) {
            arguments.insert(arguments.end(), {"--wait", wait});
        }
        const uint32_t startTick = clock_.TickCount();
        const RunOutput run = Run(arguments);
        const std::string shown = wait == nullptr ? "none" : wait;
        EXPECT_EQ(run.exitCode, 0) << shown << "\n" << run.err;
        EXPECT_EQ(spooler_->Documents().size(), jobsBefore + 2) << shown;
        const std::string lead = "Ctrl-C ends the wait early.\n";
        const size_t progress = run.err.find(lead);
        ASSERT_NE(progress, std::string::npos) << shown << "\n" << run.err;
        const std::string next = run.err.substr(progress + lead.size());
        if (*firstShown == '\0') {
            EXPECT_TRUE(next.starts_with("Reading the printer's version.\n")) << shown << next;
        } else {
            EXPECT_TRUE(next.starts_with(std::string(firstShown) + "\n")) << shown << next;
        }
        // The wait is as long as asked, on the virtual clock (the ready check costs none here).
        const uint32_t seconds = wait == nullptr ? 85 : static_cast<uint32_t>(std::stoul(wait));
        const uint32_t waited = clock_.TickCount() - startTick;
        EXPECT_GE(waited, seconds * 1000) << shown;
        EXPECT_LT(waited, seconds * 1000 + 100) << shown;
    }

    for (const char* wait : {"3601", "-1", "", "1.5", "00000", "9999"}) {
        StagePrinter("BN0106");
        const size_t jobsBefore = spooler_->Documents().size();
        std::vector<std::string> arguments = Words("firmware load P " + file + " --yes --wait");
        arguments.push_back(wait);
        const RunOutput run = Run(arguments);
        EXPECT_EQ(run.exitCode, 2) << wait;
        EXPECT_NE(run.err.find("--wait takes whole seconds from 0 to 3600"), std::string::npos)
            << wait << "\n"
            << run.err;
        EXPECT_EQ(spooler_->Documents().size(), jobsBefore) << wait;
    }
    EXPECT_EQ(ReadServiceLog(ServiceLogPath()).size(), 4u);

    // Without --yes neither command touches the printer.
    for (const std::string& command : {"firmware load P " + file, std::string("clean P")}) {
        StagePrinter("BN0106");
        const size_t jobsBefore = spooler_->Documents().size();
        const RunOutput run = Run(Words(command));
        EXPECT_EQ(run.exitCode, 2) << command;
        EXPECT_NE(run.err.find("add --yes"), std::string::npos) << command << "\n" << run.err;
        EXPECT_EQ(spooler_->Documents().size(), jobsBefore) << command;
    }
    EXPECT_EQ(ReadServiceLog(ServiceLogPath()).size(), 4u);
}

TEST_F(CliRunTest, SinceTakesRecordsFromItsInstantOnInTheLocalZone) {
    const std::string first =
        R"({"time":"2024-05-02T00:30:00Z","queue":"A","driver":"D","action":"power-cleaning","details":{},"result":"sent"})";
    const std::string same =
        R"({"time":"2024-05-02T02:30:00+02:00","queue":"B","driver":"D","action":"power-cleaning","details":{},"result":"sent"})";
    const std::string later =
        R"({"time":"2024-05-01T20:30:01-04:00","queue":"C","driver":"D","action":"power-cleaning","details":{},"result":"sent"})";
    scratch_.Write("state/plenwise/service.log", first + "\n" + same + "\n" + later + "\n");
    const std::string all = first + "\n" + same + "\n" + later + "\n";
    const struct {
        const char* zone;
        const char* since;
        std::string shown;
    } cases[] = {
        {"UTC0", "2024-05-02T00:30", all},
        {"UTC0", "2024-05-02T00:29:59", all},
        {"UTC0", "2024-05-02T00:30:01", later + "\n"},
        {"UTC0", "2024-05-02T00:30:02", ""},
        {"UTC0", "2024-05-02", all},
        {"IST-05:30", "2024-05-02 06:00", all},
        {"IST-05:30", "2024-05-02 06:00:01", later + "\n"},
        {"EDT+04", "2024-05-01 20:30", all},
        {"EDT+04", "2024-05-02", ""},
        {"UTC0", "2024-05-02T00:30:00+02:00", all},
        {"UTC0", "2024-05-02T00:30:01Z", later + "\n"},
    };
    for (const auto& [zone, since, shown] : cases) {
        ScopedEnvironment tz("TZ", zone);
        tzset();
        const RunOutput run = Run({"log", "--json", "--since", since});
        EXPECT_EQ(run.exitCode, 0) << zone << " " << since << "\n" << run.err;
        EXPECT_EQ(run.out, shown) << zone << " " << since;
    }
    for (const char* since : {"", "2024-05-02T00:60", "2024-02-30", "2024-05-02 00:30 ", "now"}) {
        const RunOutput run = Run({"log", "--since", since});
        EXPECT_EQ(run.exitCode, 2) << since;
        EXPECT_EQ(run.out, "") << since;
    }
    tzset();
}

}  // namespace

namespace {

TEST_F(CliRunTest, MetricsReplaceTheTextfileWholeAndWhatCannotBeWrittenIsTold) {
    // A folder that is not there: nothing is written, and the run fails.
    const RunOutput missing = Run({"metrics", "--textfile", scratch_ / "missing"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find(scratch_ / "missing/plenwise.prom" + " was not written: "),
              std::string::npos)
        << missing.err;
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "missing"));

    // An old file is replaced by the whole text, nothing beside it is left.
    scratch_.Write("textfile/plenwise.prom", "old\n");
    const RunOutput written = Run({"metrics", "--textfile", scratch_ / "textfile"});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    EXPECT_EQ(written.out, "");
    const std::string text = testsupport::ScratchDir::Read(scratch_ / "textfile/plenwise.prom");
    EXPECT_TRUE(text.starts_with("# HELP plenwise_server_up ")) << text;
    EXPECT_NE(text.find("\nplenwise_collection_duration_seconds "), std::string::npos) << text;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch_ / "textfile"),
                            std::filesystem::directory_iterator()),
              1);

    for (const char* usage : {"metrics --textfile D --listen 9464", "metrics --listen 1.2.3:80",
                              "metrics --listen 127.0.0.1:65536", "metrics --listen host:80"}) {
        EXPECT_EQ(Run(Words(usage)).exitCode, 2) << usage;
    }
}

}  // namespace
