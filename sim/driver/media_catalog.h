// What the simulated printer driver knows about its models and media: the one source from which
// its media configuration files (make-driver-cfg) and its settings library (ARSET32.so) are
// made, so that the media the library lists are exactly those the configuration holds records
// for (docs/driver-package.md).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace simdriver {

// Print-mode flags, as the driver's records encode them: flag 1 mode level 1, flag 2 level 2,
// flag 4 mode code 6, flag 8 mode code 15.
inline constexpr uint8_t kModeStandard = 1;  // print mode index 1
inline constexpr uint8_t kModeFine = 2;      // print mode index 0
inline constexpr uint8_t kModeQuality = 4;   // print mode index 2
inline constexpr uint8_t kModeBest = 8;      // print mode index 3
inline constexpr std::size_t kModeCount = 4;

// Ink sets the driver can be configured for, as bits.
inline constexpr uint8_t kInkSet1 = 1;
inline constexpr uint8_t kInkSet2 = 2;

struct Resolution {
    uint16_t horizontal = 0;
    uint16_t vertical = 0;
};

struct Model {
    std::string_view driverName;
    char letter;           // 'J' or 'E': selects the configuration files
    int16_t largestWidth;  // 0.1 mm
    int16_t commandLevel;
    bool customMedia;  // keeps custom media settings: has a user configuration
};

// The media values a record carries for one print mode; the high-quality modes dry longer.
struct MediaValues {
    int8_t density = 0;
    int8_t forward = 0;
    uint8_t drytime = 0;     // 0.1 s
    uint8_t paperthick = 0;  // 0.1 mm
    uint8_t paperdraw = 0;   // suction, raw
    uint8_t paperCut = 0;    // 0-based
    uint8_t extra = 0;       // media group, sent with sample prints
};

struct Media {
    uint16_t id;
    std::string_view name;
    uint8_t inkSets;  // kInkSet1 | kInkSet2
    uint8_t modes;    // print-mode flags that have records
    MediaValues values;
    // By print mode index (0: fine, 1: standard, 2: quality, 3: best).
    std::array<Resolution, kModeCount> resolutions;
};

std::span<const Model> Models();
const Model* FindModel(std::string_view driverName);

std::span<const Media> AllMedia();
const Media* FindMedia(uint16_t id);
// The media of an ink set (1 or 2) in the driver's list order.
std::vector<const Media*> MediaOf(int inkSet);

// Print mode index of a mode flag; -1 for anything else.
int ModeIndexOfFlag(uint8_t flag);

// The user configuration the driver sizes: slots for user entries and 84-byte extra records.
inline constexpr uint16_t kUserSlots = 40;
inline constexpr uint16_t kExtraRecords = 6;

// The media configuration (CFG) of an ink set and configuration letter, as bytes:
// header (0x500, data size, directory offset), directory, then the 102-byte media records,
// standard and fine modes first (the first part), the high-quality modes after (the second).
std::vector<uint8_t> BuildMediaConfiguration(int inkSet, char letter);
// "A_DD<ink>48<letter>.CFG".
std::string ConfigurationFileName(int inkSet, char letter);

}  // namespace simdriver
