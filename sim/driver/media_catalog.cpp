#include "sim/driver/media_catalog.h"

#include <algorithm>

namespace simdriver {

namespace {

constexpr Model kModels[] = {
    {"ARVEN WL-4000", 'J', 11176, 3, true},
    {"ARVEN Wideline 400U", 'E', 6096, 3, true},
    {"ARVEN Wideline 400C", 'E', 6096, 2, false},
    {"ARVEN Wideline 400D", 'E', 6096, 2, false},
};

constexpr uint8_t kBothInkSets = kInkSet1 | kInkSet2;
constexpr uint8_t kStandardModes = kModeStandard | kModeFine;
constexpr uint8_t kAllModes = kModeStandard | kModeFine | kModeQuality | kModeBest;

// Resolutions by print mode index: fine, standard, quality, best.
constexpr std::array<Resolution, kModeCount> kPaperResolutions{
    {{720, 720}, {360, 360}, {720, 1440}, {1440, 1440}}};
constexpr std::array<Resolution, kModeCount> kFilmResolutions{
    {{720, 720}, {360, 720}, {720, 1440}, {1440, 1440}}};
constexpr std::array<Resolution, kModeCount> kCoarseResolutions{
    {{360, 720}, {360, 360}, {720, 720}, {720, 1440}}};

// Media groups (the record's extra byte).
constexpr uint8_t kGroupPaper = 1;
constexpr uint8_t kGroupPhoto = 2;
constexpr uint8_t kGroupFineArt = 3;
constexpr uint8_t kGroupFilm = 4;
constexpr uint8_t kGroupTextile = 5;

// In the driver's list order. One entry (0x0090) is a media util's data file does not know.
constexpr Media kMedia[] = {
    {0x0010,
     "Plain Paper",
     kBothInkSets,
     kStandardModes,
     {0, 0, 0, 1, 60, 0, kGroupPaper},
     kCoarseResolutions},
    {0x0011,
     "Coated Paper",
     kBothInkSets,
     kAllModes,
     {0, 0, 5, 2, 60, 0, kGroupPaper},
     kPaperResolutions},
    {0x0012,
     "Heavyweight Coated Paper",
     kBothInkSets,
     kStandardModes | kModeQuality,
     {2, 0, 10, 3, 55, 0, kGroupPaper},
     kPaperResolutions},
    {0x0020,
     "Photo Glossy Paper",
     kBothInkSets,
     kAllModes,
     {0, -2, 30, 3, 45, 1, kGroupPhoto},
     kPaperResolutions},
    {0x0021,
     "Photo Semigloss Paper",
     kBothInkSets,
     kAllModes,
     {0, -1, 25, 3, 45, 1, kGroupPhoto},
     kPaperResolutions},
    {0x0022,
     "Photo Luster Paper",
     kInkSet1,
     kStandardModes | kModeBest,
     {-2, -1, 25, 3, 40, 1, kGroupPhoto},
     kPaperResolutions},
    {0x0030,
     "Enhanced Matte Paper",
     kBothInkSets,
     kAllModes,
     {3, 0, 10, 3, 55, 0, kGroupFineArt},
     kPaperResolutions},
    {0x0031,
     "Fine Art Cotton Rag",
     kInkSet2,
     kAllModes,
     {5, 1, 40, 5, 35, 2, kGroupFineArt},
     kPaperResolutions},
    {0x0040,
     "Clear Film",
     kBothInkSets,
     kStandardModes | kModeQuality,
     {-5, 0, 60, 2, 20, 2, kGroupFilm},
     kFilmResolutions},
    {0x0041,
     "Backlit Film",
     kBothInkSets,
     kStandardModes,
     {-3, 0, 80, 2, 15, 2, kGroupFilm},
     kFilmResolutions},
    {0x0050,
     "Polyester Canvas",
     kBothInkSets,
     kStandardModes | kModeQuality,
     {8, 2, 50, 12, 8, 2, kGroupTextile},
     kCoarseResolutions},
    {0x0090,
     "Banner Vinyl (solvent-free)",
     kBothInkSets,
     kModeStandard,
     {-8, 3, 120, 6, 4, 2, kGroupFilm},
     kCoarseResolutions},
};

void PutUInt16(std::vector<uint8_t>& bytes, std::size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutUInt32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

constexpr std::size_t kRecordSize = 102;
constexpr std::size_t kDirectoryOffset = 16;
constexpr std::size_t kRecordsOffset = kDirectoryOffset + 16;
constexpr uint32_t kConfigurationMark = 0x500;
constexpr uint16_t kDriverEntry = 1;

struct ModeRecord {
    uint8_t flag;
    uint16_t code;
    uint16_t level;
};
// The standard and fine modes form the first part, the high-quality ones the second.
constexpr ModeRecord kFirstPart[] = {{kModeStandard, 0, 1}, {kModeFine, 0, 2}};
constexpr ModeRecord kSecondPart[] = {{kModeQuality, 6, 0}, {kModeBest, 15, 0}};

// The media values of a mode: finer modes lay down more ink and dry longer; the second ink set
// runs a little lighter.
MediaValues ValuesFor(const Media& media, const ModeRecord& mode, int inkSet) {
    MediaValues values = media.values;
    const int index = ModeIndexOfFlag(mode.flag);
    static constexpr uint8_t kExtraDrying[kModeCount] = {10, 0, 20, 40};
    values.drytime = static_cast<uint8_t>(std::min(255, values.drytime + kExtraDrying[index]));
    if (inkSet == 2) {
        values.density = static_cast<int8_t>(values.density - 2);
    }
    return values;
}

void PutRecord(std::vector<uint8_t>& bytes, const Media& media, const ModeRecord& mode, int inkSet,
               char letter, uint32_t inUse, uint16_t serial) {
    const std::size_t at = bytes.size();
    bytes.resize(at + kRecordSize, 0);
    const MediaValues values = ValuesFor(media, mode, inkSet);
    const Resolution resolution = media.resolutions[ModeIndexOfFlag(mode.flag)];
    PutUInt16(bytes, at + 0, mode.code);
    PutUInt16(bytes, at + 2, mode.level);
    bytes[at + 4] = static_cast<uint8_t>(inkSet);
    bytes[at + 5] = static_cast<uint8_t>(letter);
    PutUInt16(bytes, at + 6, serial);
    PutUInt32(bytes, at + 8, media.id);
    PutUInt32(bytes, at + 12, inUse);
    // The driver's own rendering parameters, carried by util unread.
    PutUInt16(bytes, at + 16, resolution.horizontal);
    PutUInt16(bytes, at + 18, resolution.vertical);
    bytes[at + 20] = static_cast<uint8_t>(2 + ModeIndexOfFlag(mode.flag) * 2);  // passes
    bytes[at + 21] = values.extra;
    bytes[at + 56] = static_cast<uint8_t>(values.density);
    bytes[at + 57] = static_cast<uint8_t>(values.forward);
    bytes[at + 58] = values.drytime;
    bytes[at + 59] = values.paperthick;
    bytes[at + 60] = values.paperdraw;
    bytes[at + 61] = values.paperCut;
    bytes[at + 62] = values.extra;
    PutUInt16(bytes, at + 84, kDriverEntry);
}

}  // namespace

std::span<const Model> Models() {
    return kModels;
}

const Model* FindModel(std::string_view driverName) {
    for (const Model& model : kModels) {
        if (model.driverName == driverName) {
            return &model;
        }
    }
    return nullptr;
}

std::span<const Media> AllMedia() {
    return kMedia;
}

const Media* FindMedia(uint16_t id) {
    for (const Media& media : kMedia) {
        if (media.id == id) {
            return &media;
        }
    }
    return nullptr;
}

std::vector<const Media*> MediaOf(int inkSet) {
    std::vector<const Media*> list;
    const uint8_t bit = inkSet == 2 ? kInkSet2 : kInkSet1;
    for (const Media& media : kMedia) {
        if ((media.inkSets & bit) != 0) {
            list.push_back(&media);
        }
    }
    return list;
}

int ModeIndexOfFlag(uint8_t flag) {
    switch (flag) {
        case kModeFine:
            return 0;
        case kModeStandard:
            return 1;
        case kModeQuality:
            return 2;
        case kModeBest:
            return 3;
        default:
            return -1;
    }
}

std::vector<uint8_t> BuildMediaConfiguration(int inkSet, char letter) {
    const std::vector<const Media*> media = MediaOf(inkSet);
    std::vector<uint8_t> bytes(kRecordsOffset, 0);
    uint16_t serial = 0;
    uint16_t firstPart = 0;
    // A record the driver withdrew: still in the file, never in use.
    PutRecord(bytes, *media.front(), kFirstPart[0], inkSet, letter, 0, serial++);
    ++firstPart;
    for (const Media* entry : media) {
        for (const ModeRecord& mode : kFirstPart) {
            if ((entry->modes & mode.flag) != 0) {
                PutRecord(bytes, *entry, mode, inkSet, letter, 1, serial++);
                ++firstPart;
            }
        }
    }
    uint16_t secondPart = 0;
    for (const Media* entry : media) {
        for (const ModeRecord& mode : kSecondPart) {
            if ((entry->modes & mode.flag) != 0) {
                PutRecord(bytes, *entry, mode, inkSet, letter, 1, serial++);
                ++secondPart;
            }
        }
    }
    PutUInt32(bytes, 0, kConfigurationMark);
    PutUInt32(bytes, 4, static_cast<uint32_t>(bytes.size()));
    PutUInt32(bytes, 8, kDirectoryOffset);
    PutUInt16(bytes, kDirectoryOffset + 2, secondPart);
    PutUInt16(bytes, kDirectoryOffset + 4, firstPart);
    PutUInt16(bytes, kDirectoryOffset + 8, kUserSlots);
    PutUInt16(bytes, kDirectoryOffset + 10, kExtraRecords);
    return bytes;
}

std::string ConfigurationFileName(int inkSet, char letter) {
    return "A_DD" + std::to_string(inkSet) + "48" + letter + ".CFG";
}

}  // namespace simdriver
