// The whole program against the private scheduler: plenwise runs offscreen from an installed
// layout and is walked through its windows by step files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

struct RunResult {
    int exitCode = -1;
    std::string output;
};

// Runs a shell command, its output (both streams) captured.
RunResult Shell(const std::string& command) {
    RunResult result;
    std::string full = command + " 2>&1";
    FILE* pipe = popen(full.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, count);
    }
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class ProgramTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("plenwise-program-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "home");
        world_ = (root_ / "world").string();
        // Printers print and clean quickly here.
        RunResult up =
            Shell("PLENWISE_WORLD=" + world_ + " PLENWISE_SIM_PRINT_MS=50 PLENWISE_SIM_BUSY_MS=0 " +
                  Env("PLENWISE_SOURCE") + "/scripts/world.sh up");
        ASSERT_EQ(up.exitCode, 0) << up.output;
        // The installed layout: every deliverable in one folder, and a plug-in that honours the
        // contract standing in for the power-cleaning function.
        install_ = root_ / "lib";
        fs::create_directories(install_);
        for (const auto& entry : fs::directory_iterator(Env("PLENWISE_OUT"))) {
            std::string name = entry.path().filename().string();
            if (name == "plenwise" || name.find(".so") != std::string::npos ||
                name.ends_with(".dat")) {
                fs::copy_file(entry.path(), install_ / name, fs::copy_options::overwrite_existing);
            }
        }
        fs::remove(install_ / "util.so");
        fs::remove(install_ / "altutil.so");
        fs::remove(install_ / "fwload.so");
        // A second layout with every real deliverable.
        realInstall_ = root_ / "real";
        fs::create_directories(realInstall_);
        for (const auto& entry : fs::directory_iterator(install_)) {
            fs::copy_file(entry.path(), realInstall_ / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
        }
        fs::copy_file(TEST_PLUGIN, install_ / "upkeep.so", fs::copy_options::overwrite_existing);
        for (const char* plugin : {"upkeep.so", "fwload.so"}) {
            fs::copy_file(fs::path(Env("PLENWISE_OUT")) / plugin, realInstall_ / plugin,
                          fs::copy_options::overwrite_existing);
        }
    }

    static void TearDownTestSuite() {
        Shell("PLENWISE_WORLD=" + world_ + " " + Env("PLENWISE_SOURCE") + "/scripts/world.sh down");
        fs::remove_all(root_);
    }

    std::string Command(const std::string& steps, const std::string& name,
                        const fs::path& layout = install_) {
        std::string file = scratch_.Write(name, steps);
        // The world's env file names its scheduler.
        return "set -a && . " + world_ + "/env && set +a && cd " + scratch_.Path().string() +
               " && HOME=" + (root_ / "home").string() + " QT_QPA_PLATFORM=offscreen " +
               (layout / "plenwise").string() + " --steps " + file;
    }
    RunResult RunSteps(const std::string& steps, const fs::path& layout = install_) {
        return Shell(Command(steps, "run.steps", layout));
    }
    // The simulated printers' journal of received jobs.
    static std::string Journal(const std::string& file) {
        return testsupport::ScratchDir::Read(world_ + "/printers/journal/" + file);
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
    // The printer's journal names each job by entry number and printer.
    // Two presses, two blocks: the second may still be on its way through the queue.
    int jobs = 0;
    std::string record;
    std::string bytes;
    auto countJobs = [&]() {
        jobs = 0;
        for (const auto& entry : fs::directory_iterator(world_ + "/printers/journal")) {
            std::string name = entry.path().filename().string();
            if (name.find("-wl2000.txt") != std::string::npos) {
                ++jobs;
                record = Journal(name);
                bytes = Journal(name.substr(0, name.size() - 4) + ".bin");
            }
        }
        return jobs == 2;
    };
    testsupport::WaitUntil(countJobs);
    EXPECT_EQ(jobs, 2);
    EXPECT_NE(record.find("title: ARSU Command"), std::string::npos) << record;
    EXPECT_EQ(bytes, std::string("\x1B\x40\x1B\x28\x52\x08\x00\x00REMOTE1CH\x02\x00\x00\x10"
                                 "\x1B\x00\x00\x00",
                                 25));
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

// A firmware file as the printer maker ships it: the version at offset 16.
std::string FirmwareFile(const std::string& version) {
    std::string bytes = "ARVEN FIRMWARE\r\n" + version + std::string(3, '\0');
    for (int i = 0; i < 5000; ++i) {
        bytes += static_cast<char>(i % 251);
    }
    return bytes;
}

// The journal record and bytes of every job the printer received, in order.
std::vector<std::pair<std::string, std::string>> JobsOf(const std::string& journal,
                                                        const std::string& printer) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(journal)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with("-" + printer + ".txt")) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    std::vector<std::pair<std::string, std::string>> jobs;
    for (const std::string& name : names) {
        const std::string stem = journal + "/" + name.substr(0, name.size() - 4);
        jobs.emplace_back(testsupport::ScratchDir::Read(stem + ".txt"),
                          testsupport::ScratchDir::Read(stem + ".bin"));
    }
    return jobs;
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
}

TEST_F(ProgramTest, TheInstalledProgramRunsFromItsLinkWithItsModulesBesideIt) {
    const fs::path prefix = scratch_.Path() / "prefix";
    const RunResult install =
        Shell(std::string(CMAKE_TOOL) + " --install " + BUILD_DIR + " --prefix " + prefix.string());
    ASSERT_EQ(install.exitCode, 0) << install.output;
    ASSERT_TRUE(fs::is_symlink(prefix / "bin/plenwise"));
    EXPECT_EQ(fs::read_symlink(prefix / "bin/plenwise"), "../lib/plenwise/plenwise");

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
