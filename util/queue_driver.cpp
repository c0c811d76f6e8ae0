#include "util/queue_driver.h"

#include "platform/spooler/spooler.h"

namespace util {

QueueDriver FindQueueDriver(const std::string& printerName) {
    spooler::PrinterInfo2 queue;
    if (!spooler::FindPrinter(printerName, queue)) {
        return {};
    }
    return {queue.driverName, queue.portName};
}

int32_t ReadDriverInkSet(DriverSettingsLibrary& library, const std::string& printerName,
                         const std::string& portName, const Variant& variant) {
    int32_t handle = 0;
    if (library.Open(printerName, portName, &handle) != 0) {
        return 1;
    }
    driverlib::InkSetQuery answer;
    library.GetData(handle, driverlib::kItemInkSet, &answer);
    const int32_t inkSet = variant.driverInkSetOf(answer);
    library.Close(handle);
    return inkSet;
}

std::optional<std::string> DriverMediaName(DriverSettingsLibrary& library,
                                           const std::string& printerName,
                                           const std::string& portName, uint32_t mediaId) {
    int32_t handle = 0;
    if (library.Open(printerName, portName, &handle) != 0) {
        return std::nullopt;
    }
    std::string name;  // stays empty when the driver does not know the media
    library.GetMediaName(handle, mediaId, name);
    library.Close(handle);
    return name;
}

}  // namespace util
