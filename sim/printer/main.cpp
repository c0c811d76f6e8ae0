// plenwise-printer-sim: serves the simulated printers of a configuration file, or talks to a
// running simulator as its control tool.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/printer/server.h"
#include "sim/printer/simulator.h"
#include "sim/printer/wire.h"

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  plenwise-printer-sim serve CONFIG [--port-file FILE]\n"
    "  plenwise-printer-sim ctl [--address HOST:PORT] COMMAND...\n"
    "      (address defaults to $PLENWISE_SIM_ADDRESS; COMMAND 'help' lists the commands)\n";

int Serve(const std::string& configPath, const std::string& portFile) {
    std::ifstream in(configPath);
    if (!in) {
        fprintf(stderr, "plenwise-printer-sim: cannot read %s\n", configPath.c_str());
        return 2;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    std::string baseDir = std::filesystem::absolute(configPath).parent_path().string();
    auto settings = printersim::ParseSettings(text.str(), baseDir, error);
    if (!settings) {
        fprintf(stderr, "plenwise-printer-sim: %s: %s\n", configPath.c_str(), error.c_str());
        return 2;
    }

    // Signals are taken by sigwait below, never by the serving threads.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    printersim::SteadyClock clock;
    auto simulator = printersim::Simulator::Create(*settings, clock, error);
    if (!simulator) {
        fprintf(stderr, "plenwise-printer-sim: %s\n", error.c_str());
        return 1;
    }
    printersim::Server server(*simulator);
    if (!server.Start(error)) {
        fprintf(stderr, "plenwise-printer-sim: %s\n", error.c_str());
        return 1;
    }
    std::string address = simwire::FormatEndpoint(server.address());
    printf("plenwise-printer-sim: listening on %s, journal %s\n", address.c_str(),
           simulator->journal().folder().c_str());
    for (auto* printer : simulator->Printers()) {
        auto snmp = server.SnmpPort(printer->id());
        printf("  %s  %s  snmp %s\n", printer->id().c_str(),
               server.DeviceUri(printer->id()).c_str(),
               snmp ? std::to_string(*snmp).c_str() : "off");
    }
    fflush(stdout);
    if (!portFile.empty()) {
        // Written once everything listens, so that its appearance means "ready".
        std::string temporary = portFile + ".part";
        std::ofstream out(temporary, std::ios::trunc);
        out << server.address().port << "\n";
        out.close();
        if (!out || std::rename(temporary.c_str(), portFile.c_str()) != 0) {
            fprintf(stderr, "plenwise-printer-sim: cannot write %s\n", portFile.c_str());
            return 1;
        }
    }
    int received = 0;
    sigwait(&stopSignals, &received);
    server.Stop();
    return 0;
}

int Control(const std::string& addressText, const std::vector<std::string>& words) {
    auto endpoint = simwire::ParseEndpoint(addressText);
    if (!endpoint || endpoint->port == 0) {
        fprintf(stderr,
                "plenwise-printer-sim ctl: no simulator address (--address HOST:PORT or "
                "PLENWISE_SIM_ADDRESS)\n");
        return 2;
    }
    std::string command;
    for (const auto& word : words) {
        command += (command.empty() ? "" : " ") + word;
    }
    if (command.find('\n') != std::string::npos) {
        fprintf(stderr, "plenwise-printer-sim ctl: a command is one line\n");
        return 2;
    }
    int fd = simwire::ConnectLoopback(*endpoint, 5000);
    if (fd < 0) {
        fprintf(stderr, "plenwise-printer-sim ctl: no simulator at %s\n", addressText.c_str());
        return 1;
    }
    std::string request = std::string(simwire::kControlGreeting) + "\n" + command + "\n";
    std::string reply;
    if (simwire::WriteAll(fd, request.data(), request.size())) {
        char chunk[4096];
        while (simwire::WaitReadable(fd, 10000) == simwire::IoResult::kOk) {
            ssize_t got = read(fd, chunk, sizeof chunk);
            if (got <= 0) {
                break;
            }
            reply.append(chunk, static_cast<size_t>(got));
        }
    }
    close(fd);
    if (reply.rfind("OK\n", 0) == 0) {
        fputs(reply.c_str() + 3, stdout);
        return 0;
    }
    fputs(reply.empty() ? "ERROR no answer\n" : reply.c_str(), stderr);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "serve") {
        std::string portFile;
        if (args.size() == 4 && args[2] == "--port-file") {
            portFile = args[3];
        } else if (args.size() != 2) {
            fputs(kUsage, stderr);
            return 2;
        }
        return Serve(args[1], portFile);
    }
    if (!args.empty() && args[0] == "ctl") {
        const char* fromEnvironment = getenv("PLENWISE_SIM_ADDRESS");
        std::string address = fromEnvironment ? fromEnvironment : "";
        size_t first = 1;
        if (args.size() >= 3 && args[1] == "--address") {
            address = args[2];
            first = 3;
        }
        return Control(address, {args.begin() + static_cast<std::ptrdiff_t>(first), args.end()});
    }
    fputs(kUsage, stderr);
    return 2;
}
