// The launcher's command line. Plenwise is started without arguments; a few options answer
// people and scripts (help, version), and "--steps FILE" drives the windows for tests and demos.
#pragma once

#include <optional>
#include <string>

namespace launcher {

enum class Request { kRun, kHelp, kVersion, kUsageError };

struct CommandLine {
    Request request = Request::kRun;
    std::string problem;  // for kUsageError: what was wrong, as the message says it
};

// Reads the arguments in order; the first that decides (help, version or a mistake) wins.
// "--steps FILE" is accepted and left in place for the user-interface session, which takes it.
CommandLine ParseCommandLine(int argc, const char* const* argv);

// Answers what the command line asks without starting the program: the help or the version on
// standard output (exit code 0), or a mistake and the usage on standard error (exit code 2).
// Nothing (the program is to run) when there is only "--steps FILE" or no argument at all.
std::optional<int> AnswerCommandLine(int argc, const char* const* argv);

}  // namespace launcher
