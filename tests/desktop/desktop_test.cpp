// Plenwise as a desktop and a shell meet it: what `cmake --install` puts under a prefix, checked
// with the validators the desktop ecosystem itself uses; the options a shell user types; and the
// first message when no print system is there. Nothing here needs a display or a scheduler.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ScratchDir;

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Runs a shell command with its two streams kept apart.
RunResult Shell(const std::string& command, const ScratchDir& scratch) {
    RunResult result;
    const std::string errFile = scratch / "stderr.txt";
    FILE* pipe = popen((command + " 2>" + errFile).c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.out.append(buffer, count);
    }
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = ScratchDir::Read(errFile);
    return result;
}

// The width and height in a PNG's header; 0 x 0 when the file is no PNG.
std::pair<uint32_t, uint32_t> PngSize(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0) {
        return {0, 0};
    }
    auto word = [&bytes](size_t at) {
        uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i) {
            value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
        }
        return value;
    };
    return {word(16), word(20)};
}

std::string Program() {
    return Env("PLENWISE_OUT") + "/plenwise";
}

// Without a display or a toolkit platform: what a shell on a headless machine has.
const std::string kNoDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";

TEST(DesktopTest, TheInstalledTreeHoldsEntryIconsMetainfoAndManualAndEachValidates) {
    ScratchDir scratch;
    const fs::path prefix = scratch.Path() / "prefix";
    const RunResult install =
        Shell(std::string(CMAKE_TOOL) + " --install " + BUILD_DIR + " --prefix " + prefix.string(),
              scratch);
    ASSERT_EQ(install.exitCode, 0) << install.out << install.err;

    const fs::path entry = prefix / "share/applications/plenwise.desktop";
    const fs::path metainfo = prefix / "share/metainfo" / (std::string(APP_ID) + ".metainfo.xml");
    const fs::path manual = prefix / "share/man/man1/plenwise.1";
    const fs::path cliManual = prefix / "share/man/man1/plenwise-cli.1";
    const fs::path svg = prefix / "share/icons/hicolor/scalable/apps/plenwise.svg";
    for (const fs::path& file : {entry, metainfo, manual, cliManual, svg}) {
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    }
    for (uint32_t size : {16u, 22u, 24u, 32u, 48u, 64u, 128u, 256u}) {
        const std::string png = ScratchDir::Read(
            (prefix / "share/icons/hicolor" / (std::to_string(size) + "x" + std::to_string(size)) /
             "apps/plenwise.png")
                .string());
        EXPECT_EQ(PngSize(png), std::make_pair(size, size)) << "icon of size " << size;
    }

    // The entry starts the installed program by its path under this prefix.
    const std::string desktop = ScratchDir::Read(entry.string());
    const std::string program = (prefix / "bin/plenwise").string();
    EXPECT_NE(desktop.find("\nExec=" + program + "\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nIcon=plenwise\n"), std::string::npos) << desktop;
    EXPECT_TRUE(fs::exists(program));

    const RunResult entryCheck = Shell("desktop-file-validate " + entry.string(), scratch);
    EXPECT_EQ(entryCheck.exitCode, 0) << entryCheck.out << entryCheck.err;
    EXPECT_EQ(entryCheck.out + entryCheck.err, "");

    // The metainfo alone, then with the tree it describes (its launcher entry must be there).
    const std::string meta = ScratchDir::Read(metainfo.string());
    EXPECT_NE(meta.find("<release version=\"" PROJECT_VERSION "\""), std::string::npos) << meta;
    const RunResult metaCheck =
        Shell("appstreamcli validate --no-net " + metainfo.string(), scratch);
    EXPECT_EQ(metaCheck.exitCode, 0) << metaCheck.out << metaCheck.err;
    const RunResult treeCheck =
        Shell("appstreamcli validate-tree --no-net " + prefix.string(), scratch);
    EXPECT_EQ(treeCheck.exitCode, 0) << treeCheck.out << treeCheck.err;

    // The manuals as lintian checks one: formatting them must not warn.
    const std::vector<std::pair<fs::path, std::vector<const char*>>> manuals{
        {manual, {"--steps", "PLENWISE_MACHINE", "CUPS_SERVER", "user.reg"}},
        {cliManual, {"firmware load", "--wait", "XDG_STATE_HOME", "service.log", "EXIT STATUS"}},
        {prefix / "share/man/de/man1/plenwise.1", {"--steps"}},
        {prefix / "share/man/ja/man1/plenwise-cli.1", {"EXIT STATUS"}}};
    for (const auto& [page, topics] : manuals) {
        const RunResult manCheck = Shell(
            "LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings "
            "-E UTF-8 -l -Tutf8 -Z " +
                page.string() + " >/dev/null",
            scratch);
        EXPECT_EQ(manCheck.exitCode, 0) << manCheck.err;
        EXPECT_EQ(manCheck.err, "") << page;
        const RunResult manText = Shell("MANWIDTH=80 man -l " + page.string(), scratch);
        for (const char* topic : topics) {
            EXPECT_NE(manText.out.find(topic), std::string::npos) << page << ": " << topic;
        }
    }

    // whatis and apropos read each language's summary from its page.
    for (const auto& [page, summary] :
         {std::pair{manual, "plenwise - service utility for large-format ink-jet printers"},
          std::pair{prefix / "share/man/de/man1/plenwise.1",
                    "plenwise - Serviceprogramm für Großformat-Tintenstrahldrucker"},
          std::pair{prefix / "share/man/ja/man1/plenwise-cli.1",
                    "plenwise-cli - "
                    "大判プリンターのサービス機能（スクリプトおよびリモートセッション用）"}}) {
        const RunResult whatis = Shell("LC_ALL=C.UTF-8 lexgrog " + page.string(), scratch);
        EXPECT_EQ(whatis.out, page.string() + ": \"" + summary + "\"\n") << whatis.err;
    }

    // The metrics units start the installed plenwise-cli, and systemd takes them as they are.
    const fs::path units = prefix / "share/systemd/user";
    const std::string service = ScratchDir::Read((units / "plenwise-metrics.service").string());
    EXPECT_NE(service.find("\nExecStart=" + (prefix / "bin/plenwise-cli").string() + " metrics "),
              std::string::npos)
        << service;
    const RunResult unitCheck =
        Shell("runtime=$(mktemp -d) && XDG_RUNTIME_DIR=$runtime systemd-analyze verify --user " +
                  (units / "plenwise-metrics.service").string() + " " +
                  (units / "plenwise-metrics.timer").string() +
                  "; status=$?; rm -rf \"$runtime\"; exit $status",
              scratch);
    EXPECT_EQ(unitCheck.exitCode, 0) << unitCheck.out << unitCheck.err;

    const RunResult svgCheck = Shell("xmllint --noout " + svg.string(), scratch);
    EXPECT_EQ(svgCheck.exitCode, 0) << svgCheck.err;
}

TEST(DesktopTest, HelpAndVersionAnswerWithoutADisplay) {
    ScratchDir scratch;
    const RunResult help = Shell(kNoDisplay + Program() + " --help", scratch);
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_EQ(help.out.rfind("Usage: plenwise [--steps FILE]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--steps FILE  drive the windows"), std::string::npos) << help.out;
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(Shell(kNoDisplay + Program() + " -h", scratch).out, help.out);

    // The version the about box shows: major and a two-digit minor, from the version record.
    char expected[32];
    std::snprintf(expected, sizeof expected, "plenwise %d.%02d\n", VERSION_MAJOR, VERSION_MINOR);
    const RunResult version = Shell(kNoDisplay + Program() + " --version", scratch);
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, expected);
    EXPECT_EQ(version.err, "");
}

TEST(DesktopTest, AnUnknownOptionOrArgumentGivesTheUsageAndExitCodeTwo) {
    ScratchDir scratch;
    const struct {
        const char* arguments;
        const char* problem;
    } cases[] = {
        {"--frobnicate", "plenwise: unknown option '--frobnicate'\n"},
        {"-x --help", "plenwise: unknown option '-x'\n"},
        {"extra", "plenwise: unexpected argument 'extra'\n"},
        {"--steps", "plenwise: option '--steps' needs a file\n"},
    };
    for (const auto& c : cases) {
        const RunResult run = Shell(kNoDisplay + Program() + " " + c.arguments, scratch);
        EXPECT_EQ(run.exitCode, 2) << c.arguments;
        EXPECT_EQ(run.out, "") << c.arguments;
        EXPECT_EQ(run.err, std::string(c.problem) +
                               "Usage: plenwise [--steps FILE]\n"
                               "       plenwise --help | --version\n"
                               "Try 'plenwise --help' for more.\n")
            << c.arguments;
    }
}

// A loopback port on which nothing listens.
int ClosedLoopbackPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(probe);
    return port;
}

TEST(DesktopTest, WithoutAReachableSchedulerTheFirstMessageNamesThePrintSystem) {
    ScratchDir scratch;
    const std::string steps = scratch.Write("run.steps", R"(answer-box 1
expect-box 16 "Plenwise cannot reach the print system (CUPS).\nStart the CUPS scheduler, or check CUPS_SERVER, then start Plenwise again."
expect-no-box
)");
    const int port = ClosedLoopbackPort();
    ASSERT_NE(port, 0);
    // A socket path that does not exist, and a port where nothing listens.
    for (const std::string& server :
         {scratch / "no-scheduler.sock", "127.0.0.1:" + std::to_string(port)}) {
        // A runtime folder of its own: an instance of another test may hold the shared one's lock.
        const RunResult run = Shell(
            "HOME=" + scratch.Path().string() + " XDG_RUNTIME_DIR=" + scratch.Path().string() +
                " XDG_CONFIG_HOME= " + "PLENWISE_MACHINE=" + (scratch / "machine") +
                " CUPS_SERVER=" + server + " " + Program() + " --steps " + steps,
            scratch);
        EXPECT_EQ(run.exitCode, 0) << server << "\n" << run.out << run.err;
        EXPECT_NE(run.err.find("all 3 steps passed"), std::string::npos) << run.err;
    }
}

}  // namespace
