// plenwise-cli against the simulated world: what each command shows, what the printers received
// and what the service log holds afterwards.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "tests/support/scratch.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testsupport::Env;
using testsupport::RunResult;
using testsupport::ScratchDir;
using testsupport::Shell;

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The line that holds `key`, or "".
std::string LineWith(const std::string& text, const std::string& key) {
    for (const std::string& line : Lines(text)) {
        if (line.find(key) != std::string::npos) {
            return line;
        }
    }
    return {};
}

// A firmware file as the printer maker ships it: the version at offset 16.
std::string FirmwareFile(const std::string& version) {
    std::string bytes = "ARVEN FIRMWARE\r\n" + version + std::string(3, '\0');
    for (int i = 0; i < 3000; ++i) {
        bytes += static_cast<char>(i % 251);
    }
    return bytes;
}

class CliTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("plenwise-cli-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "home");
        world_ = (root_ / "world").string();
        const RunResult up = testsupport::WorldUp(world_);
        ASSERT_EQ(up.exitCode, 0) << up.output;
        for (const std::string& line : Lines(ScratchDir::Read(world_ + "/env"))) {
            if (line.starts_with("CUPS_SERVER=")) {
                server_ = line.substr(12);
            }
        }
    }
    static void TearDownTestSuite() {
        testsupport::WorldDown(world_);
        fs::remove_all(root_);
    }

    // The command line that runs plenwise-cli in the world, with this test's service log; with
    // `replace`, the shell becomes plenwise-cli.
    // `environment`: assignments that stand before the program, over the world's.
    std::string CommandLine(const std::string& arguments, bool replace = false,
                            const std::string& environment = "") const {
        return "set -a && . " + world_ +
               "/env && set +a && export HOME=" + (root_ / "home").string() +
               " XDG_STATE_HOME=" + scratch_ / "state" + " TZ=UTC && " + (replace ? "exec " : "") +
               environment + (environment.empty() ? "" : " ") + Env("PLENWISE_OUT") +
               "/plenwise-cli " + arguments;
    }
    CliResult Cli(const std::string& arguments, const std::string& environment = "") const {
        const std::string err = scratch_ / "stderr";
        const RunResult run =
            Shell("{ " + CommandLine(arguments, false, environment) + " 2>" + err + "; }");
        return {run.exitCode, run.output, ScratchDir::Read(err)};
    }
    std::string Journal() const { return world_ + "/printers/journal"; }
    // The end of a JSON object of the world's print server, and such an object of one that
    // names none.
    static std::string ServerEnd() { return R"(,"server":")" + server_ + R"("})"; }
    static std::string OfServer(const std::string& object) {
        return object.substr(0, object.size() - 1) + ServerEnd();
    }

    ScratchDir scratch_;
    static inline fs::path root_;
    static inline std::string world_;
    static inline std::string server_;  // the world's scheduler, HOST:PORT
};

TEST_F(CliTest, ListShowsEveryServedQueueWithWhatItsPrinterReports) {
    const CliResult json = Cli("list --json");
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const std::vector<std::string> rows = Lines(json.out);
    // Every queue of a served model, none of another (Plotter9).
    std::vector<std::string> queues;
    for (const std::string& row : rows) {
        queues.push_back(row.substr(0, row.find("\",\"driver\"")));
    }
    EXPECT_EQ(
        queues,
        (std::vector<std::string>{
            R"({"queue":"NeverReady)", R"({"queue":"Wideline200)", R"({"queue":"Wideline200D)",
            R"({"queue":"Wideline300)", R"({"queue":"Wideline300D)", R"({"queue":"Wideline400C)",
            R"({"queue":"Wideline400D)", R"({"queue":"Wideline400U)", R"({"queue":"WL2000)",
            R"({"queue":"WL3000)", R"({"queue":"WL4000)", R"({"queue":"WrongModel)"}));
    EXPECT_EQ(
        LineWith(json.out, R"("queue":"WL4000")"),
        R"({"queue":"WL4000","driver":"ARVEN WL-4000","family":1,"answers":true,"ready":true,"state":"ready","firmware":"BN0105","inkSet":1)" +
            ServerEnd());
    EXPECT_EQ(
        LineWith(json.out, R"("queue":"WL3000")"),
        R"({"queue":"WL3000","driver":"ARVEN WL-3000","family":2,"answers":true,"ready":true,"state":"ready","firmware":"BA0210","inkSet":1)" +
            ServerEnd());
    EXPECT_EQ(
        LineWith(json.out, R"("queue":"NeverReady")"),
        R"({"queue":"NeverReady","driver":"ARVEN WL-4000","family":1,"answers":true,"ready":false,"state":"not ready","firmware":"BN0102","inkSet":1)" +
            ServerEnd());
    // Behind WrongModel stands a printer of another model: refused, nothing of it reported.
    EXPECT_EQ(
        LineWith(json.out, R"("queue":"WrongModel")"),
        R"({"queue":"WrongModel","driver":"ARVEN WL-4000","family":1,"answers":true,"ready":false,"state":"other model","firmware":null,"inkSet":null)" +
            ServerEnd());

    const CliResult table = Cli("list");
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_TRUE(table.out.starts_with("QUEUE  ")) << table.out;
    const std::string neverReady = LineWith(table.out, "NeverReady ");
    EXPECT_NE(neverReady.find("  not ready  "), std::string::npos) << table.out;
    EXPECT_NE(neverReady.find("  BN0102  "), std::string::npos) << table.out;
    EXPECT_NE(LineWith(table.out, "WrongModel ").find("  other model  -  "), std::string::npos)
        << table.out;
}

TEST_F(CliTest, ServersAreAskedTogetherAndOneThatDoesNotAnswerIsListedDown) {
    // Nothing listens on port 1: that server is down, the world's is listed all the same.
    const CliResult both = Cli("list --json --server " + server_ + " --server 127.0.0.1:1");
    ASSERT_EQ(both.exitCode, 0) << both.err;
    EXPECT_NE(LineWith(both.out, R"("queue":"WL4000")"), "") << both.out;
    EXPECT_EQ(Lines(both.out).back(),
              R"({"queue":null,"driver":null,"family":null,"answers":false,"ready":false,)"
              R"("state":"server down","firmware":null,"inkSet":null,"server":"127.0.0.1:1"})");
    EXPECT_EQ(both.err, "plenwise-cli: 127.0.0.1:1: the print server does not answer\n");
    const CliResult table = Cli("list --server 127.0.0.1:1 --server " + server_);
    const std::string down = LineWith(table.out, "server down");
    EXPECT_TRUE(down.starts_with("-  ") && down.ends_with("  127.0.0.1:1")) << table.out;
    // With no server answering there is nothing to list.
    const CliResult none = Cli("list --server 127.0.0.1:1");
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    // A queue of a named server whose printer this machine cannot reach: said why, with the
    // connection it tried; the default server's queue gives the message alone.
    const std::string cups = "set -a && . " + world_ + "/env && set +a && ";
    ASSERT_EQ(Shell(cups + "lpadmin -p Unreachable -E -v plenwise://127.0.0.1:1/wl4000 -P " +
                    Env("PLENWISE_OUT") + "/driver/ppd/ARVEN-WL-4000.ppd")
                  .exitCode,
              0);
    const CliResult far = Cli("clean Unreachable --yes --server " + server_);
    const CliResult near = Cli("clean Unreachable --yes");
    Shell(cups + "lpadmin -x Unreachable");
    EXPECT_EQ(far.exitCode, 1);
    EXPECT_NE(far.err.find("plenwise-cli: Unreachable of " + server_ +
                           ": its printer did not answer this machine; the printer link reaches "
                           "it only where its connection plenwise://127.0.0.1:1/wl4000 can be "
                           "opened from here\n"),
              std::string::npos)
        << far.err;
    EXPECT_EQ(near.exitCode, 1);
    EXPECT_EQ(near.err.find("printer link"), std::string::npos) << near.err;

    // The metrics say it, for a timer to write all the same.
    const CliResult metrics = Cli("metrics --server 127.0.0.1:1");
    EXPECT_EQ(metrics.exitCode, 0);
    EXPECT_NE(metrics.out.find("\nplenwise_server_up{server=\"127.0.0.1:1\"} 0\n"),
              std::string::npos)
        << metrics.out;
    EXPECT_EQ(metrics.err, "plenwise-cli: 127.0.0.1:1: the print server does not answer\n");

    // The log shows the records of the servers asked; one that names none is the default's.
    scratch_.Write("state/plenwise/service.log",
                   R"({"time":"t","queue":"A","driver":"D","action":"a","details":{},"result":"r"})"
                   "\n"
                   R"({"time":"t","queue":"B","driver":"D","action":"a","details":{},"result":"r",)"
                   R"("server":"printhost:631"})"
                   "\n");
    EXPECT_EQ(Cli("log").out, "t  A  " + server_ + "  a  r\n");
    EXPECT_EQ(Cli("log --server printhost:631").out, "t  B  printhost:631  a  r\n");
    EXPECT_EQ(Lines(Cli("log --server printhost:631 --server " + server_).out).size(), 2u);
}

TEST_F(CliTest, CleanSendsTheBlockOnlyWhenConfirmedAndToAReadyPrinterOfTheModel) {
    const CliResult unconfirmed = Cli("clean WL2000");
    EXPECT_EQ(unconfirmed.exitCode, 2);
    EXPECT_NE(unconfirmed.err.find("add --yes"), std::string::npos) << unconfirmed.err;
    const CliResult other = Cli("clean WrongModel --yes");
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_EQ(other.err,
              "The printer is not ready or is not this queue's model.\nCheck that it is on, "
              "connected and idle, then try again.\n");

    const CliResult sent = Cli("clean --yes WL2000");
    ASSERT_EQ(sent.exitCode, 0) << sent.err;
    const auto jobs = testsupport::FinishedJobsOf(Journal(), "wl2000", 1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].second,
              std::string(
                  "\x1B\x40\x1B\x28\x52\x08\x00\x00REMOTE1CH\x02\x00\x00\x10\x1B\x00\x00\x00", 25));
    EXPECT_TRUE(testsupport::JobsOf(Journal(), "wrongmodel").empty());
    const CliResult log = Cli("log --json");
    const std::vector<std::string> lines = Lines(log.out);
    ASSERT_EQ(lines.size(), 1u) << log.out;
    EXPECT_NE(
        lines[0].find(
            R"(,"queue":"WL2000","driver":"ARVEN WL-2000","action":"power-cleaning","details":{},"result":"sent")" +
            ServerEnd()),
        std::string::npos)
        << lines[0];
}

TEST_F(CliTest, FirmwareThatDoesNotFitIsRefusedWithThePagesMessageAndNothingIsSent) {
    const std::string older = scratch_.Write("older.upg", FirmwareFile("BP0101"));
    const std::string other = scratch_.Write("other.upg", FirmwareFile("BA0300"));
    const std::string olderMessage =
        "This firmware is older than the firmware in the printer.\nChoose a file of the same or "
        "a newer version.\n";
    const CliResult check = Cli("firmware check Wideline400U " + older);
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(check.out, "In the printer: BP0102\nIn the file: BP0101\n");
    EXPECT_EQ(check.err, olderMessage);
    const CliResult load = Cli("firmware load Wideline400U " + older + " --yes");
    EXPECT_EQ(load.exitCode, 1);
    EXPECT_EQ(load.err, olderMessage);
    const CliResult otherModel = Cli("firmware load Wideline400U " + other + " --yes");
    EXPECT_EQ(otherModel.exitCode, 1);
    EXPECT_EQ(otherModel.err,
              "This firmware file is for another printer model. Choose the file made for this "
              "printer.\n");
    EXPECT_EQ(Cli("firmware load Wideline400U " + scratch_ / "missing.upg" + " --yes").exitCode, 1);
    EXPECT_TRUE(testsupport::JobsOf(Journal(), "wideline400u").empty());
    EXPECT_EQ(Cli("log").out, "");
}

// Starts "firmware load" of the file to the queue with ten minutes' wait, waits until the
// printer has taken the file and the wait shows, then sends the signal; the exit status as
// waitpid gives it, or -1 when the printer never took the file.
int LoadAndSignal(const CliTest& test, const std::string& queue, const std::string& path,
                  int signal, const std::string& printer) {
    const std::string command =
        test.CommandLine("firmware load " + queue + " " + path + " --yes --wait 600", true) + " >" +
        test.scratch_ / "out" + " 2>" + test.scratch_ / "err";
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, &attributes, const_cast<char**>(argv), environ) !=
        0) {
        return -1;
    }
    posix_spawnattr_destroy(&attributes);
    auto takenByThePrinter = [&]() {
        for (const std::string& line : Lines(ScratchDir::Read(test.Journal() + "/journal.log"))) {
            if (line.find(" " + printer + " ") != std::string::npos &&
                line.find("firmware transfer -> firmware accepted") != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    const bool accepted = testsupport::WaitUntil(
        [&]() {
            return takenByThePrinter() &&
                   ScratchDir::Read(test.scratch_ / "err").find(" %") != std::string::npos;
        },
        std::chrono::seconds(60));
    kill(pid, signal);
    int status = -1;
    testsupport::WaitUntil([&]() { return waitpid(pid, &status, WNOHANG) == pid; });
    return accepted ? status : -1;
}

TEST_F(CliTest, ANewerFirmwareIsSentByteForByteTheWaitEndsOnCtrlCAndBothVersionsAreLogged) {
    const std::string file = FirmwareFile("BR0102");
    const std::string path = scratch_.Write("newer.upg", file);
    // The printer would be given ten minutes; once it has taken the file, Ctrl-C ends the wait.
    const int status = LoadAndSignal(*this, "Wideline400D", path, SIGINT, "wideline400d");
    ASSERT_NE(status, -1) << ScratchDir::Read(scratch_ / "err");
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << ScratchDir::Read(scratch_ / "err");
    EXPECT_EQ(ScratchDir::Read(scratch_ / "out"),
              "The printer now runs the new firmware.\nIn the printer: BR0102\n");
    const std::string progress = ScratchDir::Read(scratch_ / "err");
    EXPECT_NE(progress.find("\n[..............................]   0 %  600 s left\n"),
              std::string::npos)
        << progress;
    EXPECT_NE(progress.find("The wait was ended early"), std::string::npos) << progress;

    // The pre-download block, then the lead-in, the class-1 header and the file.
    const auto jobs = testsupport::FinishedJobsOf(Journal(), "wideline400d", 2);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].second.size(), 60u);
    const std::string& job = jobs[1].second;
    ASSERT_EQ(job.size(), 16394 + file.size());
    EXPECT_EQ(job.find_first_not_of('\x11'), 16384u);
    EXPECT_EQ(job.substr(16384, 10), std::string("\x1B\x7D\x01\x05\x00\x23\x03\x70\x8F\x38", 10));
    EXPECT_EQ(job.substr(16394), file);
    const std::vector<std::string> log = Lines(Cli("log Wideline400D --json").out);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(
        log[0].find(
            R"("action":"firmware-download","details":{"file":")" + path +
            R"(","file-version":"BR0102","version-before":"BR0101","version-after":"BR0102"},"result":"done")" +
            ServerEnd()),
        std::string::npos)
        << log[0];
}

TEST_F(CliTest, AHangUpOrTerminationDuringTheWaitStillLogsTheFirmwareThatWent) {
    struct Case {
        int signal;
        const char* queue;
        const char* printer;
        const char* file;
        const char* before;
    };
    for (const Case& c : {Case{SIGHUP, "Wideline300D", "wideline300d", "BE0111", "BE0110"},
                          Case{SIGTERM, "Wideline200D", "wideline200d", "BW0111", "BW0110"}}) {
        const std::string path = scratch_.Write("newer.upg", FirmwareFile(c.file));
        const int status = LoadAndSignal(*this, c.queue, path, c.signal, c.printer);
        ASSERT_NE(status, -1) << ScratchDir::Read(scratch_ / "err");
        // It ends by the signal, as it would have, once the record is written.
        ASSERT_TRUE(WIFSIGNALED(status)) << status << ScratchDir::Read(scratch_ / "err");
        EXPECT_EQ(WTERMSIG(status), c.signal);
        const std::vector<std::string> log = Lines(Cli(std::string("log --json ") + c.queue).out);
        ASSERT_EQ(log.size(), 1u) << c.queue;
        EXPECT_NE(
            log[0].find(std::string(R"("file-version":")") + c.file + R"(","version-before":")" +
                        c.before + R"(","version-after":""},"result":"sent")" + ServerEnd()),
            std::string::npos)
            << log[0];
    }
}

TEST_F(CliTest, AFileTooLargeOrAQueueThatRejectsJobsIsToldForWhatItIs) {
    // Larger than a transfer takes: refused by the check as by the load, with the limit.
    const std::string large = scratch_.Write("large.upg", FirmwareFile("BP0103"));
    std::filesystem::resize_file(large, 256 * 1024 * 1024 + 1);
    const std::string tooLarge =
        "This file is larger than the 256 MiB a firmware file may hold: it is no firmware for "
        "this printer.\n";
    const CliResult check = Cli("firmware check Wideline400U " + large);
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(check.err, tooLarge);
    const CliResult load = Cli("firmware load Wideline400U " + large + " --yes --wait 0");
    EXPECT_EQ(load.exitCode, 1);
    EXPECT_EQ(load.err, tooLarge);
    EXPECT_TRUE(testsupport::JobsOf(Journal(), "wideline400u").empty());

    // A queue that takes no jobs: nothing was sent, and it is not said that it was.
    const std::string path = scratch_.Write("newer.upg", FirmwareFile("BP0103"));
    const std::string world = "set -a && . " + world_ + "/env && set +a && /usr/sbin/";
    ASSERT_EQ(Shell(world + "cupsreject Wideline400U").exitCode, 0);
    const CliResult rejected = Cli("firmware load Wideline400U " + path + " --yes --wait 0");
    Shell(world + "cupsaccept Wideline400U");
    EXPECT_EQ(rejected.exitCode, 1);
    EXPECT_EQ(rejected.err,
              "The firmware was not sent: the printer's queue did not take it.\nCheck that the "
              "queue accepts jobs, then download again.\n");
    EXPECT_TRUE(testsupport::JobsOf(Journal(), "wideline400u").empty());
    EXPECT_EQ(Cli("log").out, "");
}

TEST_F(CliTest, SettingsAreListedAndExportedAsTheSummaryPageWritesThem) {
    // A setting registered in the WL-4000 driver's user configuration: Plain Paper in the fine
    // mode, Density -17, Forward -12, Drytime 23, Paperthick 7, Paperdraw 10, PaperCut 2.
    std::string slot(102, '\0');
    slot[2] = 2;
    slot[8] = 0x10;
    slot[12] = 1;
    slot.replace(56, 6, "\xEF\xF4\x17\x07\x0A\x02");
    slot[84] = 2;
    slot.replace(86, 5, "Every");
    const std::string ucf = world_ + "/machine/Program Files/ARVEN/ARVEN WL-4000/A_DD148J.UCF";
    std::ofstream(ucf, std::ios::binary) << std::string("\x00\x05", 2) + slot;

    const CliResult list = Cli("settings list WL4000");
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out,
              "Every\n"
              "  Media type and thickness: Plain Paper [Thickness : 0.7mm]\n"
              "  Head path delay: 2.3 s\n"
              "  Paper feed adjustment: -12 x 0.01 %\n"
              "  Vacuum: -3\n"
              "  Paper cut: No cut\n"
              "  Print mode: Fine\n"
              "  Ink density: -17 %\n");
    const CliResult none = Cli("settings list Wideline400C");
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("keeps no custom media settings"), std::string::npos) << none.err;

    const std::string exported = scratch_ / "every.ASU";
    ASSERT_EQ(Cli("settings export WL4000 Every " + exported).exitCode, 0);
    const std::string written = ScratchDir::Read(exported);
    for (const char* line :
         {"Model=ARVEN WL-4000\n", "MediaCount=1\n", "[Media01]\n", "CustomName=Every\n",
          "Mode=1\n", "Density=-17\n", "Forward=-12\n", "Paperdraw=-3\n", "PaperCut=3\n"}) {
        EXPECT_NE(written.find(line), std::string::npos) << line << written;
    }
    const CliResult again = Cli("settings export WL4000 Every " + exported);
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("add --replace"), std::string::npos) << again.err;
    // The queue's name in another case, and the file relative to the working folder: the log
    // names the queue and the file as they are.
    const RunResult replaced =
        Shell("{ cd " + scratch_.Path().string() + " && " +
              CommandLine("settings export wl4000 Every every.ASU --replace") + "; }");
    EXPECT_EQ(replaced.exitCode, 0) << replaced.output;
    EXPECT_EQ(replaced.output, "\"Every\" of WL4000 is exported to " + exported + ".\n");
    EXPECT_NE(ScratchDir::Read(exported).find("MediaCount=1\n"), std::string::npos);
    const std::string foreign = scratch_.Write("foreign.ASU", "[Base]\nModel=ARVEN WL-2000\n");
    const CliResult otherModel = Cli("settings export WL4000 Every " + foreign);
    EXPECT_EQ(otherModel.exitCode, 1);
    EXPECT_EQ(otherModel.err,
              "This file holds settings for another printer model.\nChoose another file, or enter "
              "a new file name.\n");
    EXPECT_EQ(ScratchDir::Read(foreign), "[Base]\nModel=ARVEN WL-2000\n");
    EXPECT_EQ(Cli("settings export WL4000 Nobody " + exported).exitCode, 1);

    const std::vector<std::string> log = Lines(Cli("log WL4000 --json").out);
    ASSERT_EQ(log.size(), 2u);
    for (const std::string& line : log) {
        EXPECT_NE(line.find(R"("action":"setting-export","details":{"name":"Every","file":")" +
                            exported + R"("},"result":"done")" + ServerEnd()),
                  std::string::npos)
            << line;
    }
}

// The export stands, but its record is missing: the CLI says why and ends with its own status.
TEST_F(CliTest, AnExportWhoseRecordCannotBeLoggedEndsWithThreeAndSaysWhy) {
    std::string slot(102, '\0');
    slot[8] = 0x10;
    slot[12] = 1;
    slot[84] = 2;
    slot.replace(86, 5, "Every");
    std::ofstream(world_ + "/machine/Program Files/ARVEN/ARVEN WL-4000/A_DD148J.UCF",
                  std::ios::binary)
        << std::string("\x00\x05", 2) + slot;
    std::filesystem::create_directories(scratch_ / "state/plenwise/service.log");
    const std::string exported = scratch_ / "every.ASU";
    const CliResult run = Cli("settings export WL4000 Every " + exported);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("The service log cannot be written (" +
                           scratch_ / "state/plenwise/service.log: "),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("is exported to"), std::string::npos) << run.out;
    EXPECT_NE(ScratchDir::Read(exported).find("CustomName=Every\n"), std::string::npos);
}

TEST_F(CliTest, TheLogIsShownByQueueAndDateAndATornLastLineIsSkipped) {
    const std::string a1 =
        R"({"time":"2024-05-01T23:30:00+00:00","queue":"A","driver":"D","action":"power-cleaning","details":{},"result":"sent"})";
    // 2024-05-02T00:30 in UTC, the time zone of the runs here.
    const std::string b =
        R"({"time":"2024-05-02T02:30:00+02:00","queue":"B","driver":"D","action":"setting-export","details":{"name":"N","file":"/f"},"result":"done"})";
    const std::string a2 =
        R"({"time":"2024-05-03T08:00:00Z","queue":"A","driver":"D","action":"firmware-download","details":{"file":"/x"},"result":"failed"})";
    scratch_.Write("state/plenwise/service.log",
                   a1 + "\n" + b + "\n" + a2 + "\n" + a1.substr(0, 30));

    const CliResult all = Cli("log --json");
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.out, OfServer(a1) + "\n" + OfServer(b) + "\n" + OfServer(a2) + "\n");
    EXPECT_NE(all.err.find("1 line that could not be read was skipped"), std::string::npos)
        << all.err;
    EXPECT_EQ(Cli("log --json --since 2024-05-02").out, OfServer(b) + "\n" + OfServer(a2) + "\n");
    EXPECT_EQ(Cli("log --json --since \"2024-05-02 00:31\"").out, OfServer(a2) + "\n");
    EXPECT_EQ(Cli("log A --json --since 2024-05-01T23:30").out,
              OfServer(a1) + "\n" + OfServer(a2) + "\n");
    EXPECT_EQ(Cli("log B").out, "2024-05-02T02:30:00+02:00  B  " + server_ +
                                    "  setting-export  done  name=N  file=/f\n");
    EXPECT_EQ(Cli("log --since tomorrow").exitCode, 2);
    EXPECT_EQ(Cli("log --since 2024-02-30").exitCode, 2);

    // Output that cannot be written is a failure, not a cut listing.
    const CliResult full = Cli("log --json >/dev/full");
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(
        full.err.find("plenwise-cli: the output could not be written: No space left on device"),
        std::string::npos)
        << full.err;
    // Only a missing log has no records: one that cannot be read is told.
    fs::remove(scratch_ / "state/plenwise/service.log");
    EXPECT_EQ(Cli("log").exitCode, 0);
    fs::create_directories(scratch_ / "state/plenwise/service.log");
    const CliResult folder = Cli("log");
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_EQ(folder.err, "plenwise-cli: " + scratch_ / "state/plenwise/service.log" +
                              " cannot be read: not a regular file\n");
}

TEST_F(CliTest, NamesThatAreNotUtf8AreEscapedInJsonAndATerminalSeesNoControlCharacter) {
    // A queue name of Latin-1 bytes and a file name with an escape sequence, as the log may hold
    // them from another writer.
    const std::string line =
        "{\"time\":\"2024-05-02T10:00:00Z\",\"queue\":\"Caf\xE9\",\"driver\":\"D\","
        "\"action\":\"firmware-download\",\"details\":{\"file\":\"/fw/\\u001b[2J\\u0007.upg\"},"
        "\"result\":\"done\"}";
    scratch_.Write("state/plenwise/service.log", line + "\n");
    const CliResult json = Cli("log --json");
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out,
              R"({"time":"2024-05-02T10:00:00Z","queue":"Caf\\xe9","driver":"D",)"
              R"("action":"firmware-download","details":{"file":"/fw/\u001b[2J\u0007.upg"},)"
              R"("result":"done")" +
                  ServerEnd() + "\n");
    // The escaped name selects the queue, in any case, as a queue argument does.
    const CliResult text = Cli("log 'CAF\\xe9'");
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, "2024-05-02T10:00:00Z  Caf\\xe9  " + server_ +
                            "  firmware-download  done  "
                            "file=/fw/\\x1b[2J\\x07.upg\n");
    EXPECT_EQ(Cli("log Cafe").out, "");

    // A queue whose name is Latin-1, as CUPS accepts it: listed escaped, and taken back in that
    // form, the manual's pipeline of list --json and clean.
    const std::string cups = "set -a && . " + world_ + "/env && set +a && ";
    const std::string cafe = "\"$(printf 'Caf\\351')\"";
    ASSERT_EQ(
        Shell(cups + "lpadmin -p " + cafe + " -E -v \"$(lpstat -v WL2000 | sed 's/.*: //')\" -P " +
              Env("PLENWISE_OUT") + "/driver/ppd/ARVEN-WL-2000.ppd")
            .exitCode,
        0);
    const CliResult list = Cli("list --json");
    const CliResult clean = Cli("clean 'Caf\\xe9' --yes");
    Shell(cups + "lpadmin -x " + cafe);
    EXPECT_NE(list.out.find(R"({"queue":"Caf\\xe9","driver":"ARVEN WL-2000",)"), std::string::npos)
        << list.out;
    EXPECT_EQ(std::count_if(list.out.begin(), list.out.end(),
                            [](char c) { return static_cast<unsigned char>(c) >= 0x80; }),
              0);
    EXPECT_EQ(clean.exitCode, 0) << clean.err;
    EXPECT_EQ(clean.out,
              "Caf\\xe9: the power cleaning was sent; the printer now cleans its heads.\n");

    // A firmware file whose version field holds an escape sequence.
    const std::string hostile = scratch_.Write("hostile.upg", FirmwareFile("B\x1B[2JN"));
    const CliResult check = Cli("firmware check WL4000 " + hostile);
    EXPECT_EQ(Lines(check.out).at(1), "In the file: B\\x1b[2JN") << check.out;
}

TEST_F(CliTest, AQueueThatTakesNoJobsIsToldAsSuchAndNothingIsSent) {
    const std::string reject = "set -a && . " + world_ + "/env && set +a && ";
    ASSERT_EQ(Shell(reject + "cupsreject Wideline200").exitCode, 0);
    const CliResult refused = Cli("clean wideline200 --yes");
    ASSERT_EQ(Shell(reject + "cupsaccept Wideline200").exitCode, 0);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err,
              "plenwise-cli: Wideline200: the print queue does not accept jobs (cupsaccept lets "
              "it take them again)\n");
    EXPECT_TRUE(testsupport::JobsOf(Journal(), "wideline200").empty());
    EXPECT_EQ(Cli("log --json").out, "");
}

TEST_F(CliTest, DriverFilesThatCannotBeReadAreNamedNotTakenForNoSettings) {
    const std::string machine = world_ + "/machine";
    const std::string cfg = machine + "/Windows/System32/spool/Drivers/W32x86/3/A_DD148J.CFG";
    const std::string ucf = machine + "/Program Files/ARVEN/ARVEN WL-4000/A_DD148J.UCF";
    const std::string original = ScratchDir::Read(cfg);
    ASSERT_GT(original.size(), 40u);
    fs::remove_all(ucf);
    // The user slot count, in the directory whose offset the header holds.
    const auto directory = static_cast<size_t>(static_cast<uint8_t>(original[8]) |
                                               static_cast<uint8_t>(original[9]) << 8);
    std::string noSlots = original;
    noSlots[directory + 8] = noSlots[directory + 9] = '\0';
    const std::string noRoom = ": it has no room for custom media settings";
    const struct {
        const char* what;
        std::function<void()> damage;
        std::string message;
    } cases[] = {
        {"a folder at the UCF's path", [&]() { fs::create_directories(ucf); },
         ucf + ": it is a folder"},
        {"no CFG", [&]() { fs::remove(cfg); }, cfg + ": No such file or directory"},
        {"an empty CFG", [&]() { std::ofstream(cfg, std::ios::trunc); }, cfg + ": it is empty"},
        {"a CFG cut before its directory",
         [&]() { std::ofstream(cfg, std::ios::binary) << original.substr(0, directory + 4); },
         cfg + ": it is damaged: it ends before its media directory"},
        {"a CFG without user slots", [&]() { std::ofstream(cfg, std::ios::binary) << noSlots; },
         cfg + noRoom},
    };
    for (const auto& [what, damage, message] : cases) {
        damage();
        const CliResult list = Cli("settings list WL4000");
        fs::remove_all(ucf);
        std::ofstream(cfg, std::ios::binary) << original;
        EXPECT_EQ(list.exitCode, 1) << what;
        EXPECT_EQ(list.out, "") << what;
        EXPECT_TRUE(list.err.starts_with("plenwise-cli: " + message + "\n")) << what << list.err;
    }
    EXPECT_EQ(Cli("settings list WL4000").exitCode, 0);
    // The second family's store keeps its own slot count.
    const CliResult second = Cli("settings list WL3000");
    EXPECT_EQ(second.exitCode, 0) << second.err;

    // A mistyped machine folder is told, and not made.
    const CliResult mistyped = Cli("settings list WL4000", "PLENWISE_MACHINE=" + machine + "x");
    EXPECT_EQ(mistyped.exitCode, 1);
    EXPECT_NE(mistyped.err.find(machine + "x does not exist"), std::string::npos) << mistyped.err;
    EXPECT_FALSE(fs::exists(machine + "x"));
}

TEST_F(CliTest, ADataFileCutShortOrEmptyMeansNotCompletelyInstalled) {
    // The program beside data files of its own, one of them damaged in each case.
    const std::string out = Env("PLENWISE_OUT");
    const std::string program = scratch_ / "install/plenwise-cli";
    fs::create_directories(scratch_ / "install");
    fs::copy_file(out + "/plenwise-cli", program);
    const struct {
        const char* file;
        size_t keep;  // bytes kept of the file; all but one, or none
        const char* command;
    } cases[] = {
        {"selhub.dat", 0, "list"},
        {"upkeep.dat", 1, "clean WL2000 --yes"},
        {"util.dat", 1, "settings list WL4000"},
    };
    const size_t jobsBefore = testsupport::JobsOf(Journal(), "wl2000").size();
    for (const auto& [file, keep, command] : cases) {
        for (const char* data : {"selhub.dat", "upkeep.dat", "util.dat"}) {
            const std::string whole = ScratchDir::Read(out + "/" + data);
            scratch_.Write(std::string("install/") + data,
                           data == std::string(file)
                               ? whole.substr(0, keep == 0 ? 0 : whole.size() - 1)
                               : whole);
        }
        const std::string err = scratch_ / "stderr";
        std::string line = CommandLine(command);
        line.replace(line.find(out + "/plenwise-cli"), out.size() + 13, program);
        const RunResult run = Shell("{ " + line + " 2>" + err + "; }");
        EXPECT_EQ(run.exitCode, 1) << command;
        EXPECT_EQ(run.output, "") << command;
        EXPECT_EQ(ScratchDir::Read(err),
                  "plenwise-cli: " + scratch_ / "install/" + file +
                      " lacks tables or texts (it is cut short or damaged): Plenwise is not "
                      "completely installed\n")
            << command;
    }
    EXPECT_EQ(testsupport::JobsOf(Journal(), "wl2000").size(), jobsBefore);
}

TEST_F(CliTest, AnExportNameLongerThanANameHoldsIsRefused) {
    // A setting whose name fills the 16 bytes; asking for a longer name must not export it.
    std::string slot(102, '\0');
    slot[2] = 2;
    slot[8] = 0x10;
    slot[12] = 1;
    slot[84] = 2;
    slot.replace(86, 16, "Sixteen-byte-nam");
    const std::string ucf = world_ + "/machine/Program Files/ARVEN/ARVEN WL-4000/A_DD148J.UCF";
    const std::string before = ScratchDir::Read(ucf);
    std::ofstream(ucf, std::ios::binary) << std::string("\x00\x05", 2) + slot;
    const std::string target = scratch_ / "long.ASU";
    const CliResult longer = Cli("settings export WL4000 Sixteen-byte-name " + target);
    const CliResult exact = Cli("settings export WL4000 Sixteen-byte-nam " + target);
    std::ofstream(ucf, std::ios::binary) << before;
    EXPECT_EQ(longer.exitCode, 1);
    EXPECT_EQ(longer.err,
              "plenwise-cli: WL4000: no custom media setting is named \"Sixteen-byte-name\" (a "
              "name holds at most 16 bytes)\n");
    EXPECT_EQ(exact.exitCode, 0) << exact.err;
    EXPECT_NE(ScratchDir::Read(target).find("CustomName=Sixteen-byte-nam\n"), std::string::npos);
}

TEST_F(CliTest, WithoutAPrintSystemTheCommandsSaySoRatherThanFindNothing) {
    const std::string noSystem =
        "Plenwise cannot reach the print system (CUPS).\nStart the CUPS scheduler, or check "
        "CUPS_SERVER, then start Plenwise again.\n";
    for (const char* command : {"list", "clean WL4000 --yes", "settings list WL4000"}) {
        const std::string err = scratch_ / "stderr";
        const RunResult run =
            Shell("{ HOME=" + (root_ / "home").string() + " CUPS_SERVER=" + scratch_ / "none.sock" +
                  " " + Env("PLENWISE_OUT") + "/plenwise-cli " + command + " 2>" + err + "; }");
        EXPECT_EQ(run.exitCode, 1) << command;
        EXPECT_EQ(run.output, "") << command;
        EXPECT_EQ(ScratchDir::Read(err), noSystem) << command;
    }
}

TEST_F(CliTest, UsageErrorsEndWithTwoAndHelpWithNothing) {
    for (const char* wrong :
         {"", "clean", "clean A B --yes", "frobnicate", "firmware", "firmware flash Q F",
          "list --wait 3", "list --json=1", "firmware load Q F --yes --wait 3601", "log --since"}) {
        const CliResult run = Cli(wrong);
        EXPECT_EQ(run.exitCode, 2) << wrong << "\n" << run.err;
        EXPECT_NE(run.err.find("plenwise-cli"), std::string::npos) << wrong;
    }
    for (const char* help : {"--help", "firmware --help", "settings export --help", "log -h"}) {
        const CliResult run = Cli(help);
        EXPECT_EQ(run.exitCode, 0) << help;
        EXPECT_TRUE(run.out.starts_with("Usage: plenwise-cli ")) << run.out;
        EXPECT_NE(run.out.find("Exit status: 0 done, 1 refused or failed"), std::string::npos);
    }
}

TEST_F(CliTest, MessagesAndDataFileTextsAreInTheWantedLanguageElseEnglish) {
    const struct {
        const char* environment;
        const char* usage;     // what help starts with
        const char* unknown;   // the usage error's first line
        const char* noSystem;  // the hub data file's text, on standard error
    } cases[] = {
        {"LANGUAGE=de", "Aufruf: plenwise-cli ", "plenwise-cli: unbekannter Befehl \"frob\"",
         "Plenwise erreicht das Drucksystem (CUPS) nicht."},
        {"LANGUAGE=fr:ja LANG=de_DE.UTF-8", "使用法: plenwise-cli ",
         "plenwise-cli: 不明なコマンド \"frob\"", "印刷システム(CUPS)に接続できません。"},
        {"LANGUAGE=fr", "Usage: plenwise-cli ", "plenwise-cli: unknown command \"frob\"",
         "Plenwise cannot reach the print system (CUPS)."},
        {"LC_ALL=C LANGUAGE=de", "Usage: plenwise-cli ", "plenwise-cli: unknown command \"frob\"",
         "Plenwise cannot reach the print system (CUPS)."},
    };
    for (const auto& [environment, usage, unknown, noSystem] : cases) {
        EXPECT_TRUE(Cli("--help", environment).out.starts_with(usage)) << environment;
        EXPECT_EQ(Lines(Cli("frob", environment).err).front(), unknown) << environment;
        const CliResult list =
            Cli("list", std::string(environment) + " CUPS_SERVER=" + scratch_ / "none.sock");
        EXPECT_EQ(Lines(list.err).front(), noSystem) << environment;
    }
}

// A save over an existing setting through the real program, for each printer family: with every
// write, fsync, rename and close of the settings file failing in turn, and with the program
// killed across the file's bytes, the file is the old one or the new one, as the exit says.
TEST_F(CliTest, AnExportOverAnExistingSettingLeavesTheOldOrTheNewFileUnderEveryFault) {
    std::string first(102, '\0');
    first[8] = 0x10;
    first[12] = 1;
    first[84] = 2;
    first.replace(86, 5, "Every");
    std::ofstream(world_ + "/machine/Program Files/ARVEN/ARVEN WL-4000/A_DD148J.UCF",
                  std::ios::binary)
        << std::string("\x00\x05", 2) + first;
    const std::string secondUcf =
        world_ + "/machine/Program Files/ARVEN/ARVEN WL-3000/A_FCF098J.UCF";
    std::string second = ScratchDir::Read(secondUcf);
    ASSERT_GE(second.size(), 2u + 408);
    const std::string saved = second;
    second.replace(2, 10, std::string("E\0v\0e\0r\0y\0", 10));
    second[2 + 280 + 8] = 0x11;
    second[2 + 280 + 12] = 1;
    second[2 + 280 + 124] = 2;
    std::ofstream(secondUcf, std::ios::binary) << second;

    const std::string preload =
        "LD_PRELOAD=" FAULT_PRELOAD " ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\"";
    for (const std::string queue : {"WL4000", "WL3000"}) {
        const std::string file = scratch_ / (queue + ".ASU");
        const std::string model = queue == "WL4000" ? "ARVEN WL-4000" : "ARVEN WL-3000";
        const std::string old = "[Base]\nVersion=1.00\nModel=" + model +
                                "\nMediaCount=1\n[Media01]\nCustomName=Every\nDensity=99\n";
        const std::string faulty = preload + " PLENWISE_FAULT_FILE=" + file;
        const std::string command = "settings export " + queue + " Every " + file + " --replace";
        auto isNew = [&](const std::string& content) {
            return content != old && content.find("Density=0\n") != std::string::npos &&
                   content.find("\nInkMode=") != std::string::npos && content.ends_with("\n");
        };
        auto temporaries = [&]() {
            int count = 0;
            for (const auto& entry : fs::directory_iterator(scratch_.Path())) {
                count += entry.path().filename().string().starts_with(queue + ".ASU.tmp-");
            }
            return count;
        };
        scratch_.Write(queue + ".ASU", old);
        const CliResult counted =
            Cli(command, faulty + " PLENWISE_FAULT_REPORT=" + scratch_ / "counts");
        ASSERT_EQ(counted.exitCode, 0) << queue << counted.err;
        ASSERT_TRUE(isNew(ScratchDir::Read(file))) << ScratchDir::Read(file);
        std::istringstream counts(ScratchDir::Read(scratch_ / "counts"));
        std::string call;
        int n = 0;
        int calls = 0;
        int failures = 0;
        while (counts >> call >> n) {
            calls += n;
            for (int at = 1; at <= n; ++at) {
                scratch_.Write(queue + ".ASU", old);
                const std::string what = queue + " " + call + " " + std::to_string(at);
                const CliResult run =
                    Cli(command, faulty + " PLENWISE_FAULT=" + call + ":" + std::to_string(at));
                const std::string content = ScratchDir::Read(file);
                if (run.exitCode == 0) {
                    EXPECT_TRUE(isNew(content)) << what << ": reported done\n" << content;
                } else {
                    ++failures;
                    EXPECT_EQ(run.exitCode, 1) << what << run.err;
                    EXPECT_EQ(content, old) << what << ": reported failed";
                    EXPECT_EQ(temporaries(), 0) << what;
                }
            }
        }
        // The faults reached the program: its calls were counted, and some made it fail.
        EXPECT_GE(calls, 5) << queue;
        EXPECT_GT(failures, 0) << queue;
        const std::size_t length = ScratchDir::Read(file).size();
        for (const std::size_t bytes : {std::size_t{0}, length / 3, length * 2 / 3, length - 1}) {
            scratch_.Write(queue + ".ASU", old);
            const std::string what = queue + " killed after " + std::to_string(bytes);
            const CliResult run =
                Cli(command, faulty + " PLENWISE_FAULT=kill:" + std::to_string(bytes));
            EXPECT_EQ(run.exitCode, 128 + SIGKILL) << what << run.err;
            EXPECT_EQ(ScratchDir::Read(file), old) << what;
            // The next export removes what the killed one left.
            ASSERT_EQ(Cli(command).exitCode, 0) << what;
            EXPECT_TRUE(isNew(ScratchDir::Read(file))) << what;
            EXPECT_EQ(temporaries(), 0) << what;
        }
    }
    std::ofstream(secondUcf, std::ios::binary) << saved;
}

}  // namespace
