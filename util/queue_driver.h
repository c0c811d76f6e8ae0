// What a media-settings function learns of its queue's driver before anything else: the driver
// and port the spooler names, and the ink set the driver is set up for. The wizard host and
// plenwise-cli start the same way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "util/settings/driver_settings_library.h"
#include "util/variant.h"

namespace util {

struct QueueDriver {
    std::string driverName;
    std::string portName;
};

// The queue's driver name and port as the spooler lists them (a connection of the same name
// wins); both empty when no queue has that name.
QueueDriver FindQueueDriver(const std::string& printerName);

// The driver ink set: the driver settings library's answer to item 217, read the variant's way;
// 1 when the library cannot be opened for the queue.
int32_t ReadDriverInkSet(DriverSettingsLibrary& library, const std::string& printerName,
                         const std::string& portName, const Variant& variant);

// The driver's display name of a media ID ("" when it does not know it); none when the library
// cannot be opened for the queue.
std::optional<std::string> DriverMediaName(DriverSettingsLibrary& library,
                                           const std::string& printerName,
                                           const std::string& portName, uint32_t mediaId);

}  // namespace util
