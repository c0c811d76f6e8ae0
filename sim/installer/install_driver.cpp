// Installs the simulated printer driver on the machine folder, as a driver package would: its
// files go into the spooler's driver directory and every driver name is registered in the
// machine hive.
//
//   plenwise-install-driver "ARVEN WL-4000" "ARVEN WL-2000" ...
//
// The machine folder is PLENWISE_MACHINE (or the default one). The communication library and
// the driver's settings library are taken from the tool's own directory.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/registry/driver_registration.h"
#include "platform/registry/machine_folder.h"
#include "platform/system/module.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDataFile = "ARVENUI.INI";
constexpr const char* kSettingsLibrary = "ARSET32.so";
constexpr const char* kLinkLibrary = "ABAPI.so";

bool Copy(const fs::path& from, const fs::path& to) {
    std::error_code error;
    if (!fs::exists(from)) {
        return false;
    }
    // A new file, never new bytes in one that a running program may have loaded.
    fs::path partial = to.string() + ".new";
    fs::copy_file(from, partial, fs::copy_options::overwrite_existing, error);
    if (!error) {
        fs::rename(partial, to, error);
    }
    if (error) {
        std::fprintf(stderr, "plenwise-install-driver: cannot copy %s: %s\n", from.c_str(),
                     error.message().c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: plenwise-install-driver DRIVER-NAME...\n");
        return 2;
    }
    if (!machine::EnsureMachineFolder()) {
        std::fprintf(stderr, "plenwise-install-driver: cannot set up the machine folder %s\n",
                     machine::MachineFolder().c_str());
        return 1;
    }
    fs::path directory = machine::DriverDirectory();
    fs::path own = fs::path(sys::ExecutablePath()).parent_path();
    std::error_code error;
    fs::create_directories(directory, error);
    if (!Copy(own / kLinkLibrary, directory / kLinkLibrary)) {
        std::fprintf(stderr, "plenwise-install-driver: %s is missing beside the tool\n",
                     kLinkLibrary);
        return 1;
    }
    // The settings library comes with the driver when it has been built.
    Copy(own / kSettingsLibrary, directory / kSettingsLibrary);
    {
        std::ofstream data(directory / kDataFile, std::ios::trunc);
        data << "[User Mode Printer Driver Information]\r\nABAPII=" << kLinkLibrary << "\r\n";
        if (!data) {
            std::fprintf(stderr, "plenwise-install-driver: cannot write %s\n", kDataFile);
            return 1;
        }
    }
    for (int i = 1; i < argc; ++i) {
        machine::DriverFiles driver{argv[i], kSettingsLibrary, kDataFile, kSettingsLibrary};
        if (!machine::RegisterDriver(driver)) {
            std::fprintf(stderr, "plenwise-install-driver: cannot register %s\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
