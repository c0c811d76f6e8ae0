// The whole program against the private scheduler: plenwise runs offscreen from an installed
// layout and is walked through its windows by step files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/program_run.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

using testsupport::Env;
using testsupport::JobsOf;
using testsupport::RunResult;
using testsupport::Shell;

class ProgramTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("plenwise-program-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "home");
        world_ = (root_ / "world").string();
        // Printers print and clean quickly here.
        RunResult up = testsupport::WorldUp(world_);
        ASSERT_EQ(up.exitCode, 0) << up.output;
        // The installed layout: every deliverable in one folder, and a plug-in that honours the
        // contract standing in for the power-cleaning function.
        install_ = root_ / "lib";
        fs::create_directories(install_);
        for (const auto& entry : fs::directory_iterator(Env("PLENWISE_OUT"))) {
            std::string name = entry.path().filename().string();
            if (name == "plenwise" || name.find(".so") != std::string::npos ||
                name.ends_with(".dat") || name.ends_with(".bmp") || name == "locale") {
                fs::copy(entry.path(), install_ / name,
                         fs::copy_options::overwrite_existing | fs::copy_options::recursive);
            }
        }
        fs::remove(install_ / "util.so");
        fs::remove(install_ / "altutil.so");
        fs::remove(install_ / "fwload.so");
        // A second layout with every real deliverable.
        realInstall_ = root_ / "real";
        fs::create_directories(realInstall_);
        for (const auto& entry : fs::directory_iterator(install_)) {
            fs::copy(entry.path(), realInstall_ / entry.path().filename(),
                     fs::copy_options::overwrite_existing | fs::copy_options::recursive);
        }
        fs::copy_file(TEST_PLUGIN, install_ / "upkeep.so", fs::copy_options::overwrite_existing);
        for (const char* plugin : {"upkeep.so", "fwload.so", "util.so", "altutil.so"}) {
            fs::copy_file(fs::path(Env("PLENWISE_OUT")) / plugin, realInstall_ / plugin,
                          fs::copy_options::overwrite_existing);
        }
    }

    static void TearDownTestSuite() {
        testsupport::WorldDown(world_);
        fs::remove_all(root_);
    }

    std::string Command(const std::string& steps, const std::string& name,
                        const fs::path& layout = install_) {
        std::string file = scratch_.Write(name, steps);
        // The world's env file names its scheduler.
        return "set -a && . " + world_ + "/env && set +a && cd " + scratch_.Path().string() +
               " && HOME=" + (root_ / "home").string() + " XDG_STATE_HOME=" + StateHome() +
               " QT_QPA_PLATFORM=offscreen " + (layout / "plenwise").string() + " --steps " + file;
    }
    // Each test's service log is its own.
    std::string StateHome() const { return (scratch_.Path() / "state").string(); }
    // The records of the service log that the test's runs wrote, for one queue, as plenwise-cli
    // shows them: one JSON object per line.
    std::vector<std::string> LogOf(const std::string& queue) const {
        // The records of the world's print server, which names itself in them.
        const RunResult log = InWorld("XDG_STATE_HOME=" + StateHome() + " " + Env("PLENWISE_OUT") +
                                      "/plenwise-cli log " + queue + " --json");
        EXPECT_EQ(log.exitCode, 0) << log.output;
        std::vector<std::string> lines;
        std::istringstream in(log.output);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    RunResult RunSteps(const std::string& steps, const fs::path& layout = install_) {
        return Shell(Command(steps, "run.steps", layout));
    }
    // A command run against the world: its scheduler and its simulator.
    static RunResult InWorld(const std::string& command) {
        return Shell("set -a && . " + world_ + "/env && set +a && " + command);
    }

    testsupport::ScratchDir scratch_;
    static inline fs::path root_;
    static inline fs::path install_;
    static inline fs::path realInstall_;
    static inline std::string world_;
};

TEST_F(ProgramTest, ListsTheQueuesOfKnownModelsAndRunsAPluginAndComesBack) {
    RunResult run = RunSteps(R"(
wait 1000
expect-items 1003 NeverReady Wideline200 Wideline200D Wideline300 Wideline300D Wideline400C Wideline400D Wideline400U WL2000 WL3000 WL4000 WrongModel
screenshot selection.png
select 1003 WL4000
expect-items 1004 "Power cleaning"
select 1003 Wideline400C
expect-items 1004 "Power cleaning"
click 1001
wait 9001
wait-gone 1000
click 1002
wait 1000
expect-selected 1003 Wideline400C
expect-selected 1004 "Power cleaning"
click 1000
)");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("all 15 steps passed"), std::string::npos) << run.output;
    std::string png = testsupport::ScratchDir::Read(scratch_ / "selection.png");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

TEST_F(ProgramTest, ExitFromThePluginEndsTheProgram) {
    RunResult run = RunSteps(R"(
wait 1000
select 1003 WL2000
click 1001
wait 9001
click 1000
)");
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

TEST_F(ProgramTest, AFailedStepEndsTheRunWithAClearMessage) {
    RunResult run = RunSteps(R"(
timeout 300
wait 1000
expect-text 1005 "Not the label"
click 1000
)");
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_NE(run.output.find(":4: step 'expect-text' failed: control 1005 shows"),
              std::string::npos)
        << run.output;
}

TEST_F(ProgramTest, StepsLeftWhenTheProgramEndsFailTheRun) {
    RunResult run = RunSteps("wait 1000\nclick 1000\nwait 1000\n");
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_NE(run.output.find("the program ended before step 'wait' ran"), std::string::npos)
        << run.output;
}

TEST_F(ProgramTest, ASecondStartRaisesTheFirstInstanceAndItsPopupAndEnds) {
    // The first instance opens the about box, is minimised, and then waits to be restored.
    std::string first = Command(R"(
wait 1000
sysmenu 16
wait 100
show-main 6
expect-iconic yes
say ready
expect-iconic no
expect-foreground 100
click 1
wait 1000
click 1000
)",
                                "first.steps");
    FILE* running = popen((first + " 2>&1").c_str(), "r");
    ASSERT_NE(running, nullptr);
    std::string firstOutput;
    char line[1024];
    while (fgets(line, sizeof line, running) != nullptr) {
        firstOutput += line;
        if (std::string(line) == "ready\n") {
            break;
        }
    }
    ASSERT_NE(firstOutput.find("ready"), std::string::npos) << firstOutput;

    // The second start shows no window of its own: its first step never runs.
    RunResult second = RunSteps("wait 1000\n");
    EXPECT_EQ(second.exitCode, 3) << second.output;
    EXPECT_NE(second.output.find("the program ended before step 'wait' ran"), std::string::npos)
        << second.output;

    while (fgets(line, sizeof line, running) != nullptr) {
        firstOutput += line;
    }
    int status = pclose(running);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << firstOutput;
}

TEST_F(ProgramTest, PagesAndBoxesAreInTheWantedLanguageAndEnglishWithoutOne) {
    struct Case {
        const char* language;
        const char* next;     // the selection page's button, from the hub's data file
        const char* heading;  // the service menu's, from the page template
        const char* leave;    // util's box, from its data file
        const char* refused;  // the command line's answer to an unknown option
    };
    for (const Case& c : {
             Case{"de", "Weiter >", "Wählen Sie die Servicefunktion:",
                  "Das Programm jetzt verlassen?\\nNicht gespeicherte Werte gehen verloren.",
                  "plenwise: unbekannte Option '--frob'\nAufruf: plenwise [--steps FILE]\n"},
             Case{"fr:ja", "次へ >", "実行するサービスを選択してください:",
                  "ユーティリティを終了しますか?\\n保存していない値は失われます。",
                  "plenwise: 不明なオプション '--frob'\n使用法: plenwise [--steps FILE]\n"},
             Case{"fr", "Next >", "Choose the service to run:",
                  "Leave the utility now?\\nValues that you have not saved are lost.",
                  "plenwise: unknown option '--frob'\nUsage: plenwise [--steps FILE]\n"},
         }) {
        const std::string steps = std::string("answer-box 1\nwait 1000\nexpect-text 1001 \"") +
                                  c.next +
                                  "\"\nselect 1003 WL4000\nselect-index 1004 1\nclick 1001\n"
                                  "wait 3001\nexpect-text 3000 \"" +
                                  c.heading + "\"\nclick 2002\nexpect-box * \"" + c.leave + "\"\n";
        const RunResult run = Shell(std::string("export LANGUAGE=") + c.language + " && " +
                                    Command(steps, "language.steps", realInstall_));
        EXPECT_EQ(run.exitCode, 0) << c.language << "\n" << run.output;
        const RunResult refused = Shell(std::string("LANGUAGE=") + c.language + " " +
                                        Env("PLENWISE_OUT") + "/plenwise --frob");
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_TRUE(refused.output.starts_with(c.refused)) << refused.output;
    }
}

TEST_F(ProgramTest, AnUnreadableLockIsStaleAndAnUnusableOneIsToldNotSilent) {
    const fs::path runtime = scratch_.Path() / "runtime";
    const fs::path lock = runtime / "plenwise" / "ARVEN Plenwise.lock";
    auto start = [&](const std::string& environment, const std::string& steps) {
        return Shell(environment + " && " + Command(steps, "lock.steps"));
    };
    const std::string inRuntime = "export XDG_RUNTIME_DIR=" + runtime.string();
    // Left empty or garbled (a full disk, a crash while it was written): taken over.
    for (const std::string& content : {std::string(), std::string("garbage\n\x01")}) {
        fs::create_directories(lock.parent_path());
        scratch_.Write("runtime/plenwise/ARVEN Plenwise.lock", content);
        fs::last_write_time(lock, fs::file_time_type::clock::now() - std::chrono::hours(1));
        const RunResult run = start(inRuntime, "wait 1000\nclick 1000\n");
        EXPECT_EQ(run.exitCode, 0) << run.output;
    }

    // A lock that can be neither taken nor handed over: said, on standard error and in a box,
    // and the program ends with status 1.
    fs::remove_all(runtime);
    fs::create_directories(runtime);
    scratch_.Write("runtime/plenwise", "not a folder");
    const fs::path temporary = scratch_.Path() / "tmp";
    const fs::path shared = temporary / ("plenwise-" + std::to_string(getuid()));
    fs::create_directories(shared);
    fs::permissions(shared, fs::perms::all);  // anyone may write into it
    struct Case {
        std::string environment;
        std::string problem;
    };
    for (const Case& c :
         {Case{inRuntime, "plenwise: " + lock.string() + ": it cannot be written\n"},
          Case{"unset XDG_RUNTIME_DIR && export TMPDIR=" + temporary.string(),
               "plenwise: " + shared.string() + " is not a folder of this user's alone"}}) {
        const RunResult run = start(c.environment, "answer-box 1\n");
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_NE(run.output.find(c.problem), std::string::npos) << run.output;
    }
}

TEST_F(ProgramTest, PowerCleaningReachesThePrinterByteForByte) {
    RunResult run = RunSteps(R"(
wait 1000
select 1003 WL2000
select 1004 "Power cleaning"
click 1001
wait 3000
expect-text 3003 "Power cleaning of the print heads"
click 3002
click 3002
expect-no-box
click 1002
wait 1000
click 1000
)",
                             realInstall_);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    // Two presses, two blocks: the second may still be on its way through the queue, and a
    // record is rewritten once its job is done, so the wait is for both final records.
    const auto jobs = testsupport::FinishedJobsOf(world_ + "/printers/journal", "wl2000", 2);
    ASSERT_EQ(jobs.size(), 2u);
    for (const auto& [record, bytes] : jobs) {
        EXPECT_NE(record.find("state: done"), std::string::npos) << record;
        EXPECT_NE(record.find("title: ARSU Command"), std::string::npos) << record;
        EXPECT_EQ(bytes, std::string("\x1B\x40\x1B\x28\x52\x08\x00\x00REMOTE1CH\x02\x00\x00\x10"
                                     "\x1B\x00\x00\x00",
                                     25));
    }
    // Both sent cleanings are in the service log.
    const std::vector<std::string> log = LogOf("WL2000");
    ASSERT_EQ(log.size(), 2u);
    for (const std::string& line : log) {
        EXPECT_NE(
            line.find(
                R"("queue":"WL2000","driver":"ARVEN WL-2000","action":"power-cleaning","details":{},"result":"sent","server":"127.0.0.1:)"),
            std::string::npos)
            << line;
    }
}

TEST_F(ProgramTest, APrinterOfAnotherModelOrNeverReadyGivesTheFailureAndTheSelection) {
    // The printer that never becomes ready costs the three 5 s waits of the start-up check.
    RunResult run = RunSteps(R"(
timeout 30000
wait 1000
select 1003 NeverReady
select 1004 "Power cleaning"
answer-box 1
click 1001
wait 1000
expect-box 16 "The printer is not ready or is not this queue's model.\nCheck that it is on, connected and idle, then try again."
select 1003 WrongModel
select 1004 "Power cleaning"
answer-box 1
click 1001
wait 1000
expect-box 16 "The printer is not ready or is not this queue's model.\nCheck that it is on, connected and idle, then try again."
wait-gone 3000
click 1000
)",
                             realInstall_);
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

TEST_F(ProgramTest, ASchedulerGoneAfterTheSelectionGivesEachFunctionItsNotReadyMessage) {
    // The scheduler comes back for the tests that follow, whatever happens here.
    struct WorldBack {
        ~WorldBack() {
            Shell("PLENWISE_WORLD=" + world_ + " PLENWISE_SIM_PRINT_MS=50 PLENWISE_SIM_BUSY_MS=0 " +
                  Env("PLENWISE_SOURCE") + "/scripts/world.sh up");
        }
    } worldBack;
    const std::string go = scratch_ / "go";
    const std::string notReady =
        "\"The printer is not ready or is not this queue's model.\\nCheck that it is on, "
        "connected and idle, then try again.\"";
    const std::string command = Command(R"(
timeout 30000
wait 1000
select 1003 WL4000
select 1004 "Power cleaning"
say chosen
wait-file )" + go + R"( go
answer-box 1
click 1001
wait 1000
expect-box 16 )" + notReady + R"(
select 1004 "Media settings"
answer-box 1
click 1001
wait 1000
expect-box 16 "The printer does not answer or is not ready.\nSwitch it on, load paper, clear any error on its panel, then try again."
select 1004 "Firmware download"
answer-box 1
click 1001
wait 1000
expect-box 16 )" + notReady + R"(
click 1000
)",
                                        "gone.steps", realInstall_);
    FILE* running = popen((command + " 2>&1").c_str(), "r");
    ASSERT_NE(running, nullptr);
    std::string output;
    char line[1024];
    while (fgets(line, sizeof line, running) != nullptr) {
        output += line;
        if (std::string(line) == "chosen\n") {
            break;
        }
    }
    // The queues are listed and one is chosen; now the scheduler goes away.
    const RunResult stop = InWorld(
        "pid=$(cat \"$PLENWISE_CUPS_ROOT/cupsd.pid\") && kill -TERM $pid && "
        "for i in $(seq 200); do kill -0 $pid 2>/dev/null || exit 0; sleep 0.05; done; exit 1");
    EXPECT_EQ(stop.exitCode, 0) << stop.output;
    scratch_.Write("go", "go");
    while (fgets(line, sizeof line, running) != nullptr) {
        output += line;
    }
    const int status = pclose(running);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    EXPECT_NE(output.find("all 21 steps passed"), std::string::npos) << output;
}

// A firmware file as the printer maker ships it: the version at offset 16.
std::string FirmwareFile(const std::string& version) {
    std::string bytes = "ARVEN FIRMWARE\r\n" + version + std::string(3, '\0');
    for (int i = 0; i < 5000; ++i) {
        bytes += static_cast<char>(i % 251);
    }
    return bytes;
}

TEST_F(ProgramTest, FirmwareDownloadSendsTheFileAndTheVersionIsReadAgain) {
    const std::string file = FirmwareFile("BN0106");
    const std::string path = scratch_.Write("WL4000_BN0106.upg", file);
    // Once the printer has taken the file, Cancel ends the wait; the version is read again.
    RunResult run = RunSteps(R"(
wait 1000
select 1003 WL4000
select 1004 "Firmware download"
click 1001
wait 1003
expect-enabled 1019 no
click 1008
wait 1001
expect-text 1013 BN0105
expect-text 1014 ""
click 1
wait-gone 1001
wait 1003
answer-file )" + path + R"(
click 1007
expect-text 1010 WL4000_BN0106.upg
expect-enabled 1019 yes
answer-box 1
click 1019
wait 1004
wait-file )" + world_ + R"(/printers/journal/journal.log "firmware accepted"
click 2
wait-gone 1004
wait 1003
expect-box 64 "The printer now runs the new firmware."
click 1008
wait 1001
expect-text 1013 BN0106
expect-text 1014 BN0106
click 1
wait-gone 1001
wait 1003
answer-box 2
click 1000
expect-box 65 "A firmware file has been chosen. Close Plenwise anyway?"
expect-visible 1019 yes
answer-box 1
click 1000
)",
                             realInstall_);
    EXPECT_EQ(run.exitCode, 0) << run.output;

    // The pre-download block, then one job: the lead-in, the class-1 header and the file.
    const auto jobs = JobsOf(world_ + "/printers/journal", "wl4000");
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].second.size(), 60u);
    const std::string& job = jobs[1].second;
    ASSERT_EQ(job.size(), 16394 + file.size());
    EXPECT_EQ(job.find_first_not_of('\x11'), 16384u);
    EXPECT_EQ(job.substr(16384, 10), std::string("\x1B\x7D\x01\x05\x00\x23\x03\x70\x8F\x38", 10));
    EXPECT_EQ(job.substr(16394), file);
    EXPECT_NE(jobs[1].first.find("title: ARSU Command"), std::string::npos) << jobs[1].first;
    const std::vector<std::string> log = LogOf("WL4000");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(
        log[0].find(
            R"("action":"firmware-download","details":{"file":")" + path +
            R"(","file-version":"BN0106","version-before":"BN0105","version-after":"BN0106"},"result":"done","server":"127.0.0.1:)"),
        std::string::npos)
        << log[0];
}

TEST_F(ProgramTest, FirmwareThatDoesNotFitIsRefusedAndNothingIsSent) {
    const std::string older = scratch_.Write("old.upg", FirmwareFile("BN0101"));
    const std::string other = scratch_.Write("other.upg", FirmwareFile("BB0300"));
    const std::string tooShort = scratch_.Write("short.upg", "BN0199");
    RunResult run = RunSteps(R"(
wait 1000
select 1003 Wideline400U
select 1004 "Firmware download"
click 1001
wait 1003
click 1001
wait 1000
expect-no-box
select 1004 "Firmware download"
click 1001
wait 1003
answer-file )" + older + R"(
click 1007
answer-box 1
click 1019
expect-box 16 "This firmware is older than the firmware in the printer.\nChoose a file of the same or a newer version."
answer-file )" + other + R"(
click 1007
answer-box 1
click 1019
expect-box 16 "This firmware file is for another printer model. Choose the file made for this printer."
answer-file )" + scratch_.Path().string() +
                                 R"(/gone.upg
click 1007
click 1008
wait 1001
expect-text 1014 ""
click 1
wait-gone 1001
wait 1003
answer-file )" + tooShort + R"(
click 1007
answer-box 1
click 1019
expect-box 16 "This firmware file is for another printer model. Choose the file made for this printer."
answer-file cancel
click 1007
expect-text 1010 short.upg
answer-box 2
click 1001
expect-box 65 "A firmware file has been chosen. Leave the firmware download anyway?"
click 1002
wait 1000
expect-no-box
select 1003 WrongModel
select 1004 "Firmware download"
answer-box 1
click 1001
wait 1000
expect-box 16 "The printer is not ready or is not this queue's model.\nCheck that it is on, connected and idle, then try again."
click 1000
)",
                             realInstall_);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(JobsOf(world_ + "/printers/journal", "wideline400u").empty());
    EXPECT_TRUE(JobsOf(world_ + "/printers/journal", "wrongmodel").empty());
    EXPECT_TRUE(LogOf("Wideline400U").empty());
}

TEST_F(ProgramTest, TheInstalledProgramRunsFromItsLinkWithItsModulesBesideIt) {
    const fs::path prefix = scratch_.Path() / "prefix";
    const RunResult install =
        Shell(std::string(CMAKE_TOOL) + " --install " + BUILD_DIR + " --prefix " + prefix.string());
    ASSERT_EQ(install.exitCode, 0) << install.output;
    ASSERT_TRUE(fs::is_symlink(prefix / "bin/plenwise"));
    EXPECT_EQ(fs::read_symlink(prefix / "bin/plenwise"), "../lib/plenwise/plenwise");
    ASSERT_TRUE(fs::is_symlink(prefix / "bin/plenwise-cli"));
    EXPECT_EQ(fs::read_symlink(prefix / "bin/plenwise-cli"), "../lib/plenwise/plenwise-cli");
    // The command line finds the modules' data files beside the program its link names.
    const RunResult list = InWorld((prefix / "bin/plenwise-cli").string() + " list");
    EXPECT_EQ(list.exitCode, 0) << list.output;
    const size_t row = list.output.find("\nWL4000 ");
    ASSERT_NE(row, std::string::npos) << list.output;
    const std::string line = list.output.substr(row + 1, list.output.find('\n', row + 1) - row - 1);
    EXPECT_NE(line.find("  ready  "), std::string::npos) << list.output;

    RunResult run = RunSteps(R"(
wait 1000
select 1003 WL4000
select 1004 "Firmware download"
click 1001
wait 1003
expect-text 1019 Download
click 1000
)",
                             prefix / "bin");
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

}  // namespace

namespace {

// Remote-mode framing, written out here as the printer expects it.
const std::string kRemoteHeader("\x1B\x40\x1B\x28\x52\x08\x00\x00REMOTE1", 15);
const std::string kHeadGapPrefix = kRemoteHeader + std::string("PH\x02\x00\x00\x01", 6);
const std::string kLeaveRemote("\x1B\x00\x00\x00", 4);

std::string PlatenGap(char value) {
    return std::string("SN\x03\x00\x00\x01", 6) + value;
}
std::string Adjustment(char mode, char code, char value) {
    return std::string("DA\x04\x00\x00", 5) + mode + code + value;
}

}  // namespace

TEST_F(ProgramTest, HeadGapPatternsAndTheRegisteredValuesReachThePrinter) {
    const std::string journal = world_ + "/printers/journal";
    const size_t before = JobsOf(journal, "wl4000").size();
    RunResult run = RunSteps(R"(
wait 1000
select 1003 WL4000
select 1004 "Head gap adjustment"
click 1001
wait 3001
check 3005 on
click 2001
wait 3003
check 3028 on
check 3030 on
check 3029 on
click 2001
wait 3002
expect-text 3004 "Uni-D  S"
type 3015 3
type 3016 4
type 3017 5
type 3018 6
type 3019 7
click 3013
expect-text 3019 8
click 2001
wait 3002
expect-text 3004 "Bi-D  S"
type 3012 9
click 3013
select-index 3030 1
type 3012 2
type 3016 11
click 2076
answer-box 1
click 2001
expect-box 0x41 "All chosen steps are done.\nFinish and return to the function selection?"
wait 1000
click 1000
)",
                             realInstall_);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::vector<std::pair<std::string, std::string>> jobs;
    testsupport::WaitUntil([&]() {
        jobs = JobsOf(journal, "wl4000");
        return jobs.size() >= before + 5 &&
               jobs.back().first.find("state: done") != std::string::npos;
    });
    ASSERT_EQ(jobs.size(), before + 5);
    const std::string tail("\x0D\x0A\x0C\x1B\x40", 5);
    const std::string leave = kRemoteHeader + std::string("LD\x00\x00", 4) + kLeaveRemote;
    // Unidirectional S: no black value, codes 12 to 16 in mode 10, pattern 10.
    EXPECT_EQ(jobs[before].second,
              kHeadGapPrefix + PlatenGap('\x03') + Adjustment('\x10', '\x12', 3) +
                  Adjustment('\x10', '\x13', 4) + Adjustment('\x10', '\x14', 5) +
                  Adjustment('\x10', '\x15', 6) + Adjustment('\x10', '\x16', 7) +
                  std::string("DT\x03\x00\x00\x10\x1F", 7) + kLeaveRemote + tail);
    EXPECT_EQ(jobs[before + 1].second, leave);
    // Bidirectional S: the black value first, codes 11 to 16 in mode 00.
    EXPECT_EQ(jobs[before + 2].second,
              kHeadGapPrefix + PlatenGap('\x03') + Adjustment('\x00', '\x11', 9) +
                  Adjustment('\x00', '\x12', 8) + Adjustment('\x00', '\x13', 8) +
                  Adjustment('\x00', '\x14', 8) + Adjustment('\x00', '\x15', 8) +
                  Adjustment('\x00', '\x16', 8) + std::string("DT\x03\x00\x00\x00\x1F", 7) +
                  kLeaveRemote + tail);
    EXPECT_EQ(jobs[before + 3].second,
              kHeadGapPrefix + PlatenGap('\x01') + Adjustment('\x00', '\x11', 2) +
                  Adjustment('\x00', '\x12', 8) + Adjustment('\x00', '\x13', 11) +
                  Adjustment('\x00', '\x14', 8) + Adjustment('\x00', '\x15', 8) +
                  Adjustment('\x00', '\x16', 8) + std::string("SV\x00\x00", 4) + kLeaveRemote);
    EXPECT_EQ(jobs[before + 4].second, leave);  // Next from the last gap page
    RunResult gaps = InWorld(Env("PLENWISE_OUT") + "/plenwise-printer-sim ctl gaps wl4000");
    EXPECT_NE(gaps.output.find("platen-gap = 01\nm=00 c=11 v=2\nm=00 c=12 v=8\nm=00 c=13 v=11\n"),
              std::string::npos)
        << gaps.output;
    // The registration alone is a service action; the test patterns are not.
    const std::vector<std::string> log = LogOf("WL4000");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(
        log[0].find(
            R"("action":"head-gap-registration","details":{"pattern":"250","platen-gap":"1","values":"2,8,8,11,8,8,8"},"result":"sent","server":"127.0.0.1:)"),
        std::string::npos)
        << log[0];
}

TEST_F(ProgramTest, AHeadGapJobTheQueueRefusesIsReportedAndRegisteringAsksToRetry) {
    ASSERT_EQ(InWorld("cupsreject Wideline400D").exitCode, 0);
    RunResult run = RunSteps(R"(
wait 1000
select 1003 Wideline400D
select 1004 "Head gap adjustment"
click 1001
wait 3003
check 3030 on
check 3031 on
click 2001
wait 3002
type 3015 4
answer-box 1
click 3013
expect-text 3015 4
expect-box 0x30 "The printer does not answer or is not ready.\nSwitch it on, load paper, clear any error on its panel, then try again."
answer-box 1
answer-box 2
click 2076
expect-box 0x41 "The values could not be stored.\nCheck the printer, the file and its folder, then try again."
expect-box 0x41 "The values could not be stored.\nCheck the printer, the file and its folder, then try again."
expect-text 3015 4
answer-box 1
click 2002
)",
                             realInstall_);
    InWorld("cupsaccept Wideline400D");
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

// The whole media-settings walk: a new setting on Plain Paper in the fine mode, saved under a
// name, registered in the driver and exported; util started again offers it.
TEST_F(ProgramTest, ANewCustomSettingIsSavedAndOfferedWhenTheFunctionStartsAgain) {
    const std::string exported = (root_ / "home/walk.ASU").string();
    RunResult run = RunSteps(R"(
wait 1000
select 1003 Wideline400U
select 1004 "Media settings"
click 1001
wait 3001
check 3001 on
click 2001
wait 2000
check 2004 off
check 2005 off
check 2007 off
check 2008 off
click 2001
wait 2001
select 2007 "Plain Paper"
type 2030 3
click 2001
wait 2007
select 2057 Fine
click 2001
wait 2009
expect-text 2066 ""
type 2066 Walk
answer-file )" + exported + R"(
click 2076
expect-no-box
answer-box 1
click 2001
expect-box 0x41 "All chosen steps are done.\nFinish and return to the function selection?"
wait 1000
select 1004 "Media settings"
click 1001
wait 3001
check 3001 on
click 2001
wait 2000
expect-items 2015 "<New setting>" Walk
select 2015 Walk
expect-text 2063 ": Fine"
answer-box 1
click 2002
)",
                             realInstall_);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // The user configuration, read byte by byte: the first slot holds the setting.
    const std::string ucf = testsupport::ScratchDir::Read(
        world_ + "/machine/Program Files/ARVEN/ARVEN Wideline 400U/A_DD148E.UCF");
    ASSERT_GE(ucf.size(), 2u + 102);
    EXPECT_EQ(ucf.substr(0, 2), std::string("\x00\x05", 2));
    EXPECT_EQ(ucf.substr(2 + 86, 5), std::string("Walk\0", 5));
    EXPECT_EQ(ucf[2 + 84], 2);                                      // a user entry
    EXPECT_EQ(ucf.substr(2 + 8, 4), std::string("\x10\0\0\0", 4));  // Plain Paper
    EXPECT_EQ(ucf.substr(2, 4), std::string("\0\0\x02\0", 4));      // mode code 0, level 2: fine
    EXPECT_EQ(ucf[2 + 59], 3);                                      // Paperthick
    const std::string file = testsupport::ScratchDir::Read(exported);
    EXPECT_NE(file.find("Model=ARVEN Wideline 400U"), std::string::npos) << file;
    EXPECT_NE(file.find("CustomName=Walk"), std::string::npos) << file;
    EXPECT_NE(file.find("Mode=1"), std::string::npos) << file;
    const std::vector<std::string> log = LogOf("Wideline400U");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(
        log[0].find(
            R"("action":"setting-registration","details":{"name":"Walk","file":")" + world_ +
            R"(/machine/Program Files/ARVEN/ARVEN Wideline 400U/A_DD148E.UCF"},"result":"done","server":"127.0.0.1:)"),
        std::string::npos)
        << log[0];
    EXPECT_NE(log[1].find(R"("action":"setting-export","details":{"name":"Walk","file":")" +
                          exported + R"("},"result":"done","server":"127.0.0.1:)"),
              std::string::npos)
        << log[1];
}

TEST_F(ProgramTest, SamplesOfTwoMediaTypesGoAsASeriesAtThePrintersPaperWidth) {
    const std::string journal = world_ + "/printers/journal";
    const std::string sim = Env("PLENWISE_OUT") + "/plenwise-printer-sim";
    ASSERT_EQ(InWorld(sim + " ctl set wl4000 paper-width 8640").exitCode, 0);  // 24 inches
    const size_t before = JobsOf(journal, "wl4000").size();
    // A user bitmap one pixel too wide is refused before anything is printed.
    std::string wide(54, '\0');
    wide[0] = 'B';
    wide[1] = 'M';
    wide[10] = 54;
    wide[14] = 40;
    wide[18] = static_cast<char>(4061 & 0xFF);
    wide[19] = static_cast<char>(4061 >> 8);
    wide[22] = static_cast<char>(1190 & 0xFF);
    wide[23] = static_cast<char>(1190 >> 8);
    const std::string wideBitmap = scratch_.Write("wide.bmp", wide);
    RunResult run = RunSteps(R"(
wait 1000
select 1003 WL4000
select 1004 "Media settings"
click 1001
wait 3001
check 3001 on
click 2001
wait 2000
click 2001
wait 2001
click 2096
answer-file )" + wideBitmap + R"(
click 2098
expect-text 2097 wide.bmp
answer-box 1
click 2012
expect-box 0x30 "The chosen image cannot be used.\nUse a 24-bit BMP image of exactly 4060 x 1190 pixels."
click 2095
click 2012
wait 2002
expect-enabled 1 no
tick 2014 0 on
tick 2014 1 on
expect-enabled 1 yes
click 1
expect-enabled 1 yes
click 2
wait 2001
answer-box 1
click 2002
)",
                             realInstall_);
    InWorld(sim + " ctl set wl4000 paper-width 15840");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::vector<std::pair<std::string, std::string>> jobs;
    testsupport::WaitUntil([&]() {
        jobs = JobsOf(journal, "wl4000");
        return jobs.size() >= before + 4 &&
               jobs.back().first.find("state: done") != std::string::npos;
    });
    ASSERT_EQ(jobs.size(), before + 4);
    const std::string on("\x1B\x7C\x01\x06\x00\x6D\x04\xE8\x17\x74\x01", 11);
    const std::string off("\x1B\x7C\x01\x06\x00\x6D\x04\xE8\x17\x74\x00", 11);
    EXPECT_EQ(jobs[before].second, on);
    EXPECT_NE(jobs[before + 1].first.find("title: Plain Paper"), std::string::npos);
    EXPECT_EQ(jobs[before + 2].second, off);
    EXPECT_NE(jobs[before + 3].first.find("title: Coated Paper"), std::string::npos);
    // Each sample page is as wide as the paper the printer reported: 24 inches.
    for (size_t job : {before + 1, before + 3}) {
        const size_t entry = jobs[job].first.find("entry: ");
        ASSERT_NE(entry, std::string::npos);
        const std::string number = jobs[job].first.substr(entry + 7, 6);
        RunResult info = Shell("pdfinfo " + journal + "/" + number + "-wl4000-1.pdf");
        EXPECT_NE(info.output.find("Page size:       1728 x "), std::string::npos) << info.output;
    }
    // The refused bitmap left the remembered choice as the successful print wrote it.
    const std::string hive =
        testsupport::ScratchDir::Read((root_ / "home/.config/plenwise/user.reg").string());
    EXPECT_NE(hive.find("\"SampleMediaR\"=dword:0000082f"), std::string::npos) << hive;
    EXPECT_EQ(hive.find("\"SampleMedia\"="), std::string::npos) << hive;
}

namespace {
// The driver's user configuration: two header bytes, then 102-byte slots.
constexpr size_t kUcfHeader = 2;
constexpr size_t kUcfSlot = 102;
}  // namespace

TEST_F(ProgramTest, EveryValueOfANewSettingIsSetOnItsPageAndStoredWhereTheRecordKeepsIt) {
    const std::string journal = world_ + "/printers/journal";
    const size_t before = JobsOf(journal, "wl4000").size();
    // The feeding page's range slider stands at (53, 104)-(578, 143) on this page: its lower
    // thumb starts at the left end below the groove (y 123), the upper one at the right end above
    // it. Each thumb is dragged 183 pixels inwards, to -21 and to 20.
    RunResult run = RunSteps(R"(
wait 1000
select 1003 WL4000
select 1004 "Media settings"
click 1001
wait 3001
check 3001 on
click 2001
wait 2000
check 2004 on
check 2005 on
check 2007 on
check 2008 on
check 2010 on
click 2001
wait 2001
select 2007 "Plain Paper"
type 2030 7
click 2001
wait 2003
type 2031 23
click 2001
wait 2004
mouse down 58 133
mouse move 150 133
mouse move 241 134
mouse up 241 134
expect-text 2031 -21
mouse down 573 112
mouse move 390 112
mouse up 390 112
expect-text 2032 20
expect-text 2078 "-21, -11, -1, 9, 20"
click 2012
expect-no-box
type 2080 -12
click 2001
wait 2005
slide 2056 3
click 2001
wait 2006
select 2023 "No cut"
click 2001
wait 2007
select 2057 Fine
click 2001
wait 2008
type 2031 -17
click 2001
wait 2009
expect-text 2060 ": 2.3 s"
expect-text 2061 ": -12 x 0.01 %"
expect-text 2062 ": -3"
expect-text 2063 ": No cut"
expect-text 2065 ": -17 %"
type 2066 Every
answer-file )" + (root_ / "home/every.ASU").string() +
                                 R"(
click 2076
expect-no-box
answer-box 1
click 2001
expect-box 0x41 "All chosen steps are done.\nFinish and return to the function selection?"
wait 1000
click 1000
)",
                             realInstall_);
    ASSERT_EQ(run.exitCode, 0) << run.output;

    // The five feed samples, as one series.
    std::vector<std::pair<std::string, std::string>> jobs;
    testsupport::WaitUntil([&]() {
        jobs = JobsOf(journal, "wl4000");
        return jobs.size() >= before + 7 &&
               jobs.back().first.find("state: done") != std::string::npos;
    });
    ASSERT_EQ(jobs.size(), before + 7);
    const std::string on("\x1B\x7C\x01\x06\x00\x6D\x04\xE8\x17\x74\x01", 11);
    const std::string off("\x1B\x7C\x01\x06\x00\x6D\x04\xE8\x17\x74\x00", 11);
    EXPECT_EQ(jobs[before].second, on);
    EXPECT_EQ(jobs[before + 5].second, off);
    const std::vector<std::pair<size_t, std::string>> samples{
        {1, "-21"}, {2, "-11"}, {3, "-1"}, {4, "9"}, {6, "20"}};
    for (const auto& [at, value] : samples) {
        EXPECT_NE(jobs[before + at].first.find("title: Paper feed adjustment   " + value + "\n"),
                  std::string::npos)
            << jobs[before + at].first;
        EXPECT_TRUE(jobs[before + at].second.starts_with("%PDF-"));
    }

    // The driver's user configuration, read slot by slot: the entry of that name.
    const std::string ucf = testsupport::ScratchDir::Read(
        world_ + "/machine/Program Files/ARVEN/ARVEN WL-4000/A_DD148J.UCF");
    std::string record;
    for (size_t at = kUcfHeader; at + kUcfSlot <= ucf.size(); at += kUcfSlot) {
        if (ucf.compare(at + 86, 6, std::string("Every\0", 6)) == 0) {
            record = ucf.substr(at, kUcfSlot);
        }
    }
    ASSERT_EQ(record.size(), kUcfSlot) << "no user entry \"Every\"";
    EXPECT_EQ(record.substr(0, 4), std::string("\0\0\x02\0", 4));  // mode code 0, level 2
    EXPECT_EQ(record.substr(8, 4), std::string("\x10\0\0\0", 4));  // Plain Paper
    EXPECT_EQ(record.substr(84, 2), std::string("\x02\0", 2));     // a user entry
    // Density -17, Forward -12, Drytime 23, Paperthick 7, Paperdraw 10 (step -3), PaperCut 2.
    EXPECT_EQ(record.substr(56, 6), std::string("\xEF\xF4\x17\x07\x0A\x02", 6));
}

// The second family: seven gap values sent in their own order with the platen gap as selection
// plus one, the feeding range set on two trackbars, and a setting saved into the A_FCF user file.
TEST_F(ProgramTest, TheSecondFamilysHeadGapFeedingAndSettingGoThroughAltutil) {
    const std::string journal = world_ + "/printers/journal";
    const size_t before = JobsOf(journal, "wl3000").size();
    RunResult run = RunSteps(R"(
wait 1000
select 1003 WL3000
select 1004 "Head gap adjustment"
click 1001
wait 3001
check 3005 on
check 3001 on
click 2001
wait 3003
check 3030 on
check 3029 on
click 2001
wait 3002
expect-selected 3030 Standard
select-index 3030 3
type 3012 1
type 3014 2
type 3015 3
type 3016 4
type 3017 5
type 3018 6
type 3019 7
click 3013
click 2001
wait 2000
check 2004 off
check 2007 off
check 2008 off
check 2009 off
click 2001
wait 2001
select 2007 "Coated Paper"
click 2001
wait 2004
slide 2055 -10
expect-text 2031 -10
slide 2056 10
expect-text 2078 "-10, -5, 0, 5, 10"
click 2012
type 2080 7
click 2001
wait 2009
type 2066 "Second family"
answer-file )" + (root_ / "home/alt.ASU").string() +
                                 R"(
click 2076
answer-box 1
click 2001
wait 1000
click 1000
)",
                             realInstall_);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::vector<std::pair<std::string, std::string>> jobs;
    testsupport::WaitUntil([&]() {
        jobs = JobsOf(journal, "wl3000");
        return jobs.size() >= before + 9 &&
               jobs.back().first.find("state: done") != std::string::npos;
    });
    ASSERT_EQ(jobs.size(), before + 9);
    // Bi-D S: base 00, the values of 3012, 3014, 3015, 3017, 3016, 3018, 3019; two patterns.
    std::string adjustments;
    const char values[] = {1, 2, 3, 5, 4, 6, 7};
    for (char code = 0; code < 7; ++code) {
        adjustments += Adjustment('\x00', code, values[static_cast<size_t>(code)]);
    }
    EXPECT_EQ(jobs[before].second, kHeadGapPrefix + PlatenGap('\x04') + adjustments +
                                       std::string("DT\x03\x00\x00\x00\x00", 7) +
                                       std::string("DT\x03\x00\x00\x00\x01", 7) + kLeaveRemote +
                                       std::string("\x0D\x0A\x0C\x1B\x40", 5));
    EXPECT_EQ(jobs[before + 1].second, kRemoteHeader + std::string("LD\x00\x00", 4) + kLeaveRemote);
    // Five feed samples as one series; this model's switch carries the key byte 39.
    const std::string on("\x1B\x7C\x01\x06\x00\x39\x03\xE8\x17\x74\x01", 11);
    EXPECT_EQ(jobs[before + 2].second, on);
    EXPECT_NE(jobs[before + 3].first.find("title: Paper feed adjustment   -10"), std::string::npos);
    EXPECT_EQ(jobs[before + 7].second.back(), '\x00');  // off, before the last sample
    EXPECT_NE(jobs[before + 8].first.find("title: Paper feed adjustment   10"), std::string::npos);
    // The A_FCF user file, read slot by slot: the name in UTF-16 in part A, the values in part B.
    const std::string ucf = testsupport::ScratchDir::Read(
        world_ + "/machine/Program Files/ARVEN/ARVEN WL-3000/A_FCF098J.UCF");
    ASSERT_GE(ucf.size(), 2u + 408);
    EXPECT_EQ(ucf.substr(0, 8), std::string("\x10\x07S\0e\0c\0", 8));
    EXPECT_EQ(ucf.substr(2 + 24, 4), std::string("y\0\0\0", 4));  // 13 characters, then 0
    EXPECT_EQ(ucf[2 + 280 + 8], 0x11);                            // Coated Paper
    EXPECT_EQ(ucf[2 + 280 + 81], 7);                              // Forward
    EXPECT_EQ(ucf[2 + 280 + 124], 2);                             // a user entry
    EXPECT_NE(testsupport::ScratchDir::Read((root_ / "home/alt.ASU").string())
                  .find("InkMode=1101,3202,4304,5408,6210,7320,A140"),
              std::string::npos);
}

namespace {

// A save over an existing setting through the whole program, for each printer family: killed
// across the bytes of the user configuration it writes, the program leaves the old file; not
// killed, it leaves the new one.
TEST_F(ProgramTest, ASaveOverAnExistingSettingKilledMidwayLeavesTheOldUserConfiguration) {
    struct Family {
        std::string queue;
        std::string ucf;
        std::string entry;  // the old file's bytes
        std::string pages;  // the check boxes of 2000: no page before the summary
    };
    std::string first(102, '\0');
    first[2] = 2;
    first[8] = 0x10;
    first[12] = 1;
    first[84] = 2;
    // Bytes after each name's end, which a save clears: the new file differs from the old.
    first.replace(86, 9, std::string("Every\0old", 9));
    const std::string secondUcf =
        world_ + "/machine/Program Files/ARVEN/ARVEN WL-3000/A_FCF098J.UCF";
    const std::string saved = testsupport::ScratchDir::Read(secondUcf);
    ASSERT_GE(saved.size(), 2u + 408);
    std::string second = saved;
    second.replace(2, 16, std::string("E\0v\0e\0r\0y\0\0\0o\0\0", 16));
    second[2 + 280 + 8] = 0x11;
    second[2 + 280 + 12] = 1;
    second[2 + 280 + 124] = 2;
    const Family families[] = {
        {"WL4000", world_ + "/machine/Program Files/ARVEN/ARVEN WL-4000/A_DD148J.UCF",
         std::string("\x00\x05", 2) + first,
         "check 2004 off\ncheck 2005 off\ncheck 2007 off\ncheck 2008 off\n"},
        {"WL3000", secondUcf, second,
         "check 2004 off\ncheck 2005 off\ncheck 2007 off\ncheck 2008 off\ncheck 2009 off\n"},
    };
    for (const Family& family : families) {
        const std::string steps =
            "wait 1000\nselect 1003 " + family.queue +
            "\nselect 1004 \"Media settings\"\nclick 1001\nwait 3001\n"
            "check 3001 on\nclick 2001\nwait 2000\nselect 2015 Every\n" +
            family.pages +
            "click 2001\nwait 2009\ntype 2066 Every\nanswer-box 1\nanswer-file cancel\n"
            "click 2076\nanswer-box 1\nclick 2001\nwait 1000\nclick 1000\n";
        auto run = [&](const std::string& fault) {
            std::ofstream(family.ucf, std::ios::binary | std::ios::trunc) << family.entry;
            return Shell("export PLENWISE_FAULT_FILE='" + family.ucf + "' " + fault +
                         " LD_PRELOAD=" FAULT_PRELOAD
                         " ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" && " +
                         Command(steps, "save.steps", realInstall_));
        };
        const RunResult whole = run("");
        ASSERT_EQ(whole.exitCode, 0) << family.queue << whole.output;
        const std::string fresh = testsupport::ScratchDir::Read(family.ucf);
        ASSERT_NE(fresh, family.entry) << family.queue;
        ASSERT_EQ(fresh.size(), family.entry.size()) << family.queue;
        for (const std::size_t bytes : {std::size_t{0}, fresh.size() / 2, fresh.size() - 1}) {
            const RunResult killed = run("PLENWISE_FAULT=kill:" + std::to_string(bytes));
            EXPECT_EQ(killed.exitCode, 128 + SIGKILL)
                << family.queue << " " << bytes << killed.output;
            EXPECT_EQ(testsupport::ScratchDir::Read(family.ucf), family.entry)
                << family.queue << " killed after " << bytes;
        }
    }
    std::ofstream(secondUcf, std::ios::binary | std::ios::trunc) << saved;
}

}  // namespace
