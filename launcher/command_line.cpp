#include "launcher/command_line.h"

#include <cstdio>
#include <string_view>

#include "platform/system/message_catalogue.h"
#include "platform/system/module.h"
#include "platform/system/version_info.h"

namespace launcher {

namespace {

constexpr const char* kUsage = TR_NOOP(
    "Usage: plenwise [--steps FILE]\n"
    "       plenwise --help | --version\n");

constexpr const char* kHelp = TR_NOOP(
    "Plenwise services large-format ink-jet printers: choose a print queue and a service\n"
    "function (custom media settings, head-gap adjustment, firmware download, power\n"
    "cleaning) and follow its pages.\n"
    "\n"
    "Options:\n"
    "  --steps FILE  drive the windows from the step file FILE (tests and the demo)\n"
    "  -h, --help    show this help and end\n"
    "  --version     show the program's version and end\n"
    "\n"
    "Environment:\n"
    "  CUPS_SERVER       the CUPS scheduler to use (default: the system's own)\n"
    "  PLENWISE_MACHINE  the machine folder with the printer drivers' files and\n"
    "                    registration (default: $XDG_DATA_HOME/plenwise/machine)\n"
    "  PLENWISE_STEPS    a step file, as with --steps\n"
    "\n"
    "See plenwise(1) for the files Plenwise reads and writes.\n");

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            return {Request::kHelp, {}};
        }
        if (argument == "--version") {
            return {Request::kVersion, {}};
        }
        if (argument == "--steps") {
            if (i + 1 >= argc) {
                return {Request::kUsageError,
                        sys::TranslatedMessage("option '--steps' needs a file")};
            }
            ++i;
            continue;
        }
        if (argument.starts_with('-')) {
            return {Request::kUsageError,
                    sys::TranslatedMessage("unknown option '%1'", {argument})};
        }
        return {Request::kUsageError,
                sys::TranslatedMessage("unexpected argument '%1'", {argument})};
    }
    return {};
}

std::optional<int> AnswerCommandLine(int argc, const char* const* argv) {
    if (argc > 1) {  // what is answered here is in the operator's language
        const std::string program = sys::ExecutablePath();
        sys::UseMessageCatalogue(program.substr(0, program.rfind('/') + 1));
    }
    const CommandLine line = ParseCommandLine(argc, argv);
    switch (line.request) {
        case Request::kRun:
            return std::nullopt;
        case Request::kHelp:
            std::fputs(sys::TranslatedMessage(kUsage), stdout);
            std::fputs("\n", stdout);
            std::fputs(sys::TranslatedMessage(kHelp), stdout);
            return 0;
        case Request::kVersion: {
            // The program's own version record, shown as the about box shows the modules'.
            const std::string program = sys::ExecutablePath();
            const std::string version = sys::FileVersionText(program);
            if (version.empty()) {
                std::fprintf(
                    stderr, "plenwise: %s\n",
                    sys::TranslatedMessage("%1 carries no version record", {program}).c_str());
                return 1;
            }
            std::printf("plenwise %s\n", version.c_str());
            return 0;
        }
        case Request::kUsageError:
            break;
    }
    std::fprintf(stderr, "plenwise: %s\n%s%s\n", line.problem.c_str(),
                 sys::TranslatedMessage(kUsage),
                 sys::TranslatedMessage("Try 'plenwise --help' for more."));
    return 2;
}

}  // namespace launcher
