// Printer drivers as the machine registers them: a key per driver name in the machine hive,
// naming its driver file, data file and configuration file in the spooler's driver directory.
#pragma once

#include <string>

#include "platform/export.h"

namespace machine {

struct DriverFiles {
    std::string name;
    std::string driverFile;  // file names when registering; full paths when looked up
    std::string dataFile;
    std::string configFile;
};

// <system directory>/spool/Drivers/W32x86/3: where installed drivers keep their files.
PLENWISE_API std::string DriverDirectory();
PLENWISE_API bool RegisterDriver(const DriverFiles& driver);
// The registered files of a driver, as full paths in the driver directory; false when the
// driver is not registered.
PLENWISE_API bool LookUpDriver(const std::string& name, DriverFiles& driver);

}  // namespace machine
