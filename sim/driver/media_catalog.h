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

// The media lists of the driver, as bits: every ink set uses one of the two (ink sets 3 and 4 of
// the second family use those of ink sets 2 and 1).
inline constexpr uint8_t kInkSet1 = 1;
inline constexpr uint8_t kInkSet2 = 2;

struct Resolution {
    uint16_t horizontal = 0;
    uint16_t vertical = 0;
};

enum class Family : uint8_t {
    First,   // WL-4000 and the Wideline 400 models: ink sets 1 and 2
    Second,  // WL-3000, WL-2000, the Wideline 300 and 200 models: ink sets 1 to 4
};

// The second family's model code: its bits name the model's configuration files
// (docs/second-media-config.md).
inline constexpr uint8_t kCodeWideBit = 0x01;    // size letter 'O' ("-D": 'P'), A_FCF digit '8'
inline constexpr uint8_t kCodeRegionBit = 0x04;  // region letter 'E', else 'J'
inline constexpr uint8_t kCodeSingleBit = 0x20;  // a "-D" model: A_DD14 names, no A_FCF files

struct Model {
    std::string_view driverName;
    Family family;
    uint8_t code;          // second family: the model code; 0 in the first
    char letter;           // region letter 'J' or 'E': selects the configuration files
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

// The driver ink sets a model's queue can be configured for: 1 and 2, or 1 to 4.
std::span<const int> InkSetsOf(const Model& model);
// A "-D" model keeps one media configuration, whatever its ink set.
bool HasSingleConfiguration(const Model& model);
// The second family's models other than "-D" keep a second configuration, the A_FCF files.
bool HasSecondConfiguration(const Model& model);

std::span<const Media> AllMedia();
const Media* FindMedia(uint16_t id);
// The media of an ink set's list in the driver's list order: ink sets 2 and 3 share one list,
// 1 and 4 the other.
std::vector<const Media*> MediaOf(int inkSet);
// The media a model's driver lists, and holds records for, when its queue is set to the ink set.
std::vector<const Media*> MediaOf(const Model& model, int inkSet);

// Print mode index of a mode flag; -1 for anything else.
int ModeIndexOfFlag(uint8_t flag);

// The user configuration the driver sizes: slots for user entries and 84-byte extra records.
inline constexpr uint16_t kUserSlots = 40;
inline constexpr uint16_t kExtraRecords = 6;
// The second user configuration (A_FCF ... .UCF): 408-byte slots, no extra records.
inline constexpr uint16_t kSecondUserSlots = 32;
inline constexpr std::size_t kSecondUserSlotSize = 408;

// The media configuration (CFG) of an ink set and configuration letter, as bytes:
// header (0x500, data size, directory offset), directory, then the 102-byte media records,
// standard and fine modes first (the first part), the high-quality modes after (the second).
std::vector<uint8_t> BuildMediaConfiguration(int inkSet, char letter);
// "A_DD<ink>48<letter>.CFG", the first family's name.
std::string ConfigurationFileName(int inkSet, char letter);

// A model's media configuration for a driver ink set of the model, and its file's name:
// "A_DD<ink>48<letter>.CFG" in the first family, "A_DD<ink>4<size><region>.CFG" or, for the
// "-D" models, "A_DD14<size><region>.CFG" in the second.
std::vector<uint8_t> BuildMediaConfiguration(const Model& model, int inkSet);
std::string ConfigurationFileName(const Model& model, int inkSet);

// The second configuration of a model that has one (HasSecondConfiguration): header 0x710, the
// same directory, 128-byte media records with the same media and modes as the first.
std::vector<uint8_t> BuildSecondMediaConfiguration(const Model& model, int inkSet);
// "A_FCF<ink-1>9<digit><region>.CFG" and the ".UCF" of the same name.
std::string SecondConfigurationFileName(const Model& model, int inkSet);
std::string SecondUserConfigurationFileName(const Model& model, int inkSet);
// The second user configuration as the driver's installation creates it: header 0x0710, every
// slot free.
std::vector<uint8_t> EmptySecondUserConfiguration();

}  // namespace simdriver
