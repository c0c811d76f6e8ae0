// What altutil knows of the second printer family: the model codes decided from the driver
// name, the names of the driver's configuration files they select, and the driver ink sets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "util/settings/driver_settings_library.h"
#include "util/settings/model_class.h"

namespace altutil {

// The model code of a driver name, compared exactly; 0 for any other. Its bits: 0 the size
// letter, 2 the region letter, 5 a "-D" model with fixed file names and no second configuration.
int32_t ModelCodeOf(std::string_view driverName);
bool IsFixedFileModel(int32_t modelCode);
ConfigFileNames ConfigFileNamesOf(int32_t modelCode);

// The driver ink set, 1 to 4, from the driver's answer to item 217: 4 when its fourth value is
// 1, else 1, 2 or 3 by its seventh value (0xA01, 0xA0B, 0xB0B); 1 for anything else.
int32_t DriverInkSetOf(const driverlib::InkSetQuery& answer);
// How the export file names a driver ink set ("InkMode").
std::string InkModeTextOf(int32_t driverInkSet);

// The second configuration's files: A_FCF<ink-1>9<8|7><region>.CFG in the spooler's driver
// directory 3, and the .UCF of that name in the driver's folder of the program files; "" for the
// "-D" models, and for the user file when its folder cannot be found.
std::string SecondCfgPath(int32_t modelCode, int32_t inkSet);
std::string SecondUcfPath(int32_t modelCode, int32_t inkSet, std::string_view driverName);

}  // namespace altutil
