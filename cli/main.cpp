// plenwise-cli: see cli/cli.h. It finds the data files of the modules beside itself, as the
// modules do.
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/system/module.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string program = sys::ExecutablePath();
    return cli::Run(arguments, program.substr(0, program.rfind('/') + 1));
}
