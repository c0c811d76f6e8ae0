// Running programs of the build from a test, and reading what the simulated printers received.
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/scratch.h"

namespace testsupport {

inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

struct RunResult {
    int exitCode = -1;
    std::string output;
};

// Runs a shell command, its output (both streams) captured.
inline RunResult Shell(const std::string& command) {
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

// Brings the simulated world up in `world` (scripts/world.sh), its printers printing, cleaning
// and taking firmware quickly.
inline RunResult WorldUp(const std::string& world) {
    return Shell("PLENWISE_WORLD=" + world + " PLENWISE_SIM_PRINT_MS=50 PLENWISE_SIM_BUSY_MS=0 " +
                 Env("PLENWISE_SOURCE") + "/scripts/world.sh up");
}
inline void WorldDown(const std::string& world) {
    Shell("PLENWISE_WORLD=" + world + " " + Env("PLENWISE_SOURCE") + "/scripts/world.sh down");
}

// The journal record and bytes of every job the printer received, in order.
inline std::vector<std::pair<std::string, std::string>> JobsOf(const std::string& journal,
                                                               const std::string& printer) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(journal)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with("-" + printer + ".txt")) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    std::vector<std::pair<std::string, std::string>> jobs;
    for (const std::string& name : names) {
        const std::string stem = journal + "/" + name.substr(0, name.size() - 4);
        jobs.emplace_back(ScratchDir::Read(stem + ".txt"), ScratchDir::Read(stem + ".bin"));
    }
    return jobs;
}

// Waits until the printer's journal holds `count` jobs, each finished; returns them.
inline std::vector<std::pair<std::string, std::string>> FinishedJobsOf(const std::string& journal,
                                                                       const std::string& printer,
                                                                       size_t count) {
    std::vector<std::pair<std::string, std::string>> jobs;
    WaitUntil([&]() {
        jobs = JobsOf(journal, printer);
        return jobs.size() >= count && std::all_of(jobs.begin(), jobs.end(), [](const auto& job) {
                   return job.first.find("state: done") != std::string::npos;
               });
    });
    return jobs;
}

}  // namespace testsupport
