// The device mode of a printer queue: what a device context is created with. It is a public
// part, laid out below and read by platform/gdi, followed by `driverExtra` bytes that belong to
// the printer driver and are carried unread. Drivers hand it out as one block (the driver
// settings library's ARDM_GetDevMode); sizes and offsets are those of this struct on the
// platform's C ABI.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace gdi {

// Which public fields the driver filled in, as in `fields`.
inline constexpr uint32_t kDevModeOrientation = 0x00000001;
inline constexpr uint32_t kDevModePaperLength = 0x00000004;
inline constexpr uint32_t kDevModePaperWidth = 0x00000008;
inline constexpr uint32_t kDevModeCopies = 0x00000100;
inline constexpr uint32_t kDevModePrintQuality = 0x00000400;
inline constexpr uint32_t kDevModeYResolution = 0x00002000;

inline constexpr uint16_t kDevModeSpecVersion = 0x0401;

inline constexpr int16_t kOrientationPortrait = 1;
inline constexpr int16_t kOrientationLandscape = 2;

struct DevMode {
    static constexpr std::size_t kDeviceNameSize = 32;

    char deviceName[kDeviceNameSize] = {};  // the queue name, NUL-padded, cut to fit
    uint16_t specVersion = kDevModeSpecVersion;
    uint16_t driverVersion = 0;
    uint16_t size = sizeof(DevMode);  // bytes of the public part
    uint16_t driverExtra = 0;         // bytes of the driver's part that follow it
    uint32_t fields = 0;
    int16_t orientation = kOrientationPortrait;
    int16_t copies = 1;
    int32_t paperWidth = 0;    // 0.1 mm, across the paper feed
    int32_t paperLength = 0;   // 0.1 mm, along the paper feed
    int32_t printQuality = 0;  // horizontal resolution, dots per inch
    int32_t yResolution = 0;   // vertical resolution, dots per inch

    // Bytes of the whole block, driver's part included.
    std::size_t TotalSize() const { return std::size_t{size} + driverExtra; }
};

// Reads the public part of a device mode block of `length` bytes. False when the block is too
// short for what its header claims, has another spec version or lacks paper size or resolution.
inline bool ReadDevMode(const void* block, std::size_t length, DevMode& out) {
    if (block == nullptr || length < sizeof(DevMode)) {
        return false;
    }
    DevMode read;
    std::memcpy(&read, block, sizeof(DevMode));
    constexpr uint32_t kNeeded =
        kDevModePaperWidth | kDevModePaperLength | kDevModePrintQuality | kDevModeYResolution;
    if (read.specVersion != kDevModeSpecVersion || read.size < sizeof(DevMode) ||
        read.TotalSize() > length || (read.fields & kNeeded) != kNeeded || read.paperWidth <= 0 ||
        read.paperLength <= 0 || read.printQuality <= 0 || read.yResolution <= 0) {
        return false;
    }
    read.deviceName[DevMode::kDeviceNameSize - 1] = '\0';
    out = read;
    return true;
}

}  // namespace gdi
