// Every function walked from the keyboard alone, in a world of its own: the step files in this
// folder move between controls and press buttons with keys only (lists are chosen by value).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "tests/support/program_run.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Env;
using testsupport::RunResult;
using testsupport::ScratchDir;
using testsupport::Shell;

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class KeyboardWalkTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("plenwise-keys-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "home");
        // A runtime folder of its own: an instance of another test running beside this one must
        // not hold the single-instance lock.
        fs::create_directories(root_ / "runtime");
        fs::permissions(root_ / "runtime", fs::perms::owner_all);
        RunResult up = testsupport::WorldUp((root_ / "world").string());
        ASSERT_EQ(up.exitCode, 0) << up.output;
    }
    static void TearDownTestSuite() {
        testsupport::WorldDown((root_ / "world").string());
        fs::remove_all(root_);
    }
    // Runs tests/keyboard/NAME.steps, its @HOME@ and @JOURNAL@ filled in.
    static RunResult Walk(const std::string& name) {
        std::string steps = ScratchDir::Read(fs::path(Env("PLENWISE_SOURCE")) / "tests/keyboard" /
                                             (name + ".steps"));
        for (const auto& [key, value] :
             {std::pair<std::string, std::string>{"@HOME@", (root_ / "home").string()},
              {"@JOURNAL@", (root_ / "world/printers/journal").string()}}) {
            for (size_t at; (at = steps.find(key)) != std::string::npos;) {
                steps.replace(at, key.size(), value);
            }
        }
        const fs::path file = root_ / (name + ".steps");
        WriteFile(file, steps);
        return Shell("set -a && . " + (root_ / "world/env").string() + " && set +a && cd " +
                     root_.string() + " && HOME=" + (root_ / "home").string() +
                     " XDG_STATE_HOME=" + (root_ / "state").string() +
                     " XDG_CONFIG_HOME=" + (root_ / "config").string() + " XDG_RUNTIME_DIR=" +
                     (root_ / "runtime").string() + " QT_QPA_PLATFORM=offscreen " +
                     Env("PLENWISE_OUT") + "/plenwise --steps " + file.string());
    }
    static RunResult InWorld(const std::string& command) {
        return Shell("set -a && . " + (root_ / "world/env").string() + " && set +a && " + command);
    }
    static inline fs::path root_;
};

TEST_F(KeyboardWalkTest, PowerCleaning) {
    const RunResult run = Walk("power-cleaning");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(testsupport::FinishedJobsOf((root_ / "world/printers/journal").string(), "wl4000", 1)
                  .size(),
              1u);
}

TEST_F(KeyboardWalkTest, FirmwareDownload) {
    std::string file = "ARVEN FIRMWARE\r\nBN0106" + std::string(3, '\0') + std::string(5000, 'F');
    WriteFile(root_ / "home/WL4000_BN0106.upg", file);
    const RunResult run = Walk("firmware");
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

TEST_F(KeyboardWalkTest, HeadGapAdjustment) {
    const RunResult run = Walk("head-gap");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    // The values typed reach the printer's store (once the job has left the queue): black 9
    // and cyan 4.
    RunResult gaps;
    testsupport::WaitUntil([&]() {
        gaps = InWorld(Env("PLENWISE_OUT") + "/plenwise-printer-sim ctl gaps wl4000");
        return gaps.output.find("stores = 1") != std::string::npos;
    });
    EXPECT_NE(gaps.output.find("c=11 v=9\n"), std::string::npos) << gaps.output;
    EXPECT_NE(gaps.output.find("c=12 v=4\n"), std::string::npos) << gaps.output;
}

TEST_F(KeyboardWalkTest, ANewMediaSettingThroughEveryPage) {
    const RunResult run = Walk("media-setting");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(ScratchDir::Read(root_ / "home/keys-only.ASU").find("Keys only"), std::string::npos);
}

}  // namespace
