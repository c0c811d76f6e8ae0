#include "platform/registry/driver_registration.h"

#include <cstdint>
#include <vector>

#include "platform/registry/machine_folder.h"
#include "platform/registry/registry.h"

namespace machine {

namespace {

constexpr const char* kDriversKey =
    "System\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\";

bool SetString(reg::HKEY key, const char* name, const std::string& value) {
    return reg::RegSetValueEx(key, name, reg::REG_SZ,
                              reinterpret_cast<const uint8_t*>(value.c_str()),
                              static_cast<reg::DWORD>(value.size() + 1)) == reg::ERROR_SUCCESS;
}

std::string GetString(reg::HKEY key, const char* name) {
    reg::DWORD size = 0;
    reg::DWORD type = 0;
    if (reg::RegQueryValueEx(key, name, &type, nullptr, &size) != reg::ERROR_SUCCESS || size == 0 ||
        size > 4096) {
        return {};
    }
    std::vector<uint8_t> data(size + 1, 0);
    if (reg::RegQueryValueEx(key, name, &type, data.data(), &size) != reg::ERROR_SUCCESS) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(data.data()));
}

}  // namespace

std::string DriverDirectory() {
    return GetSystemDirectory() + "/spool/Drivers/W32x86/3";
}

bool RegisterDriver(const DriverFiles& driver) {
    reg::HKEY key = nullptr;
    if (reg::RegCreateKeyEx(reg::HKEY_LOCAL_MACHINE, (kDriversKey + driver.name).c_str(),
                            reg::KEY_ALL_ACCESS, &key, nullptr) != reg::ERROR_SUCCESS) {
        return false;
    }
    bool stored = SetString(key, "Driver", driver.driverFile) &&
                  SetString(key, "Data File", driver.dataFile) &&
                  SetString(key, "Configuration File", driver.configFile);
    reg::RegCloseKey(key);
    return stored;
}

bool LookUpDriver(const std::string& name, DriverFiles& driver) {
    // A name that would reach another key is no driver name.
    if (name.empty() || name.find('\\') != std::string::npos) {
        return false;
    }
    reg::HKEY key = nullptr;
    if (reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE, (kDriversKey + name).c_str(), reg::KEY_READ,
                          &key) != reg::ERROR_SUCCESS) {
        return false;
    }
    std::string directory = DriverDirectory() + "/";
    auto path = [&](const char* value) {
        std::string file = GetString(key, value);
        return file.empty() ? file : directory + file;
    };
    driver = DriverFiles{name, path("Driver"), path("Data File"), path("Configuration File")};
    reg::RegCloseKey(key);
    return !driver.driverFile.empty();
}

}  // namespace machine
