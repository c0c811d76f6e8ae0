// A machine with the simulated driver installed: a private machine folder, an in-memory spooler
// whose queues name their driver file, and the real ARSET32.so copied into the spooler's driver
// directory as the driver package places it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/registry/machine_folder.h"
#include "tests/support/memory_spooler.h"
#include "tests/support/scratch.h"

namespace drivertest {

inline std::string BuiltLibrary() {
    const char* out = std::getenv("PLENWISE_OUT");
    return std::string(out ? out : ".") + "/ARSET32.so";
}

// True while the process has the file mapped, that is, while the library is loaded.
inline bool IsMapped(const std::string& path) {
    std::ifstream maps("/proc/self/maps");
    const std::string canonical = std::filesystem::weakly_canonical(path).string();
    for (std::string line; std::getline(maps, line);) {
        if (line.size() >= canonical.size() &&
            line.compare(line.size() - canonical.size(), canonical.size(), canonical) == 0) {
            return true;
        }
    }
    return false;
}

class DriverMachine : public ::testing::Test {
  protected:
    DriverMachine() : machine_("PLENWISE_MACHINE", scratch_ / "machine") {
        machine::EnsureMachineFolder();
        driverDirectory_ = machine::GetSystemDirectory() + "/spool/Drivers/W32x86/3";
    }

    // Copies the built library into the driver directory; its path.
    std::string InstallLibrary() {
        const std::string installed = driverDirectory_ + "/ARSET32.so";
        std::filesystem::copy_file(BuiltLibrary(), installed,
                                   std::filesystem::copy_options::overwrite_existing);
        return installed;
    }

    // A queue whose driver file lies in the driver directory.
    void AddQueue(const std::string& queue, const std::string& driver) {
        spool_->AddQueue(queue, driver, "plenwise:/" + queue);
        spool_->SetDriverFiles(queue, driverDirectory_ + "/ARSET32.so",
                               driverDirectory_ + "/ARVENUI.INI", driverDirectory_ + "/ARSET32.so");
    }

    // The queue's settings file of the library, as a test or the world script writes it.
    std::string SettingsFile(const std::string& queue) const {
        return driverDirectory_ + "/ARSET32/" + queue + ".ini";
    }
    void ConfigureQueue(const std::string& queue, const std::string& lines) {
        std::filesystem::create_directories(driverDirectory_ + "/ARSET32");
        std::ofstream(SettingsFile(queue)) << "[Settings]\n" << lines;
    }

    testsupport::ScratchDir scratch_;
    testsupport::ScopedEnvironment machine_;
    spooler::ScopedMemorySpooler spool_;
    std::string driverDirectory_;
};

}  // namespace drivertest
