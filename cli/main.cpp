// plenwise-cli: see cli/cli.h. It finds the data files of the modules beside itself, as the
// modules do.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/translation.h"
#include "platform/system/module.h"
#include "platform/system/standard_streams.h"

int main(int argc, char** argv) {
    sys::OpenClosedStandardStreams();
    sys::CheckStandardOutput();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string program = sys::ExecutablePath();
    const std::string directory = program.substr(0, program.rfind('/') + 1);
    sys::UseMessageCatalogue(directory);
    int result = cli::Run(arguments, directory);
    // A script reads the output: a cut one must not end as done.
    std::string reason;
    if (!sys::FinishStandardOutput(reason)) {
        std::cerr << cli::Tr("plenwise-cli: the output could not be written: %1", {reason}) << "\n";
        if (result != cli::kExitUsage) {
            result = cli::kExitFailed;
        }
    }
    return result;
}
