#include "sim/driver/media_catalog.h"

#include <algorithm>

namespace simdriver {

namespace {

constexpr Model kModels[] = {
    {"ARVEN WL-4000", Family::First, 0, 'J', 11176, 3, true},
    {"ARVEN Wideline 400U", Family::First, 0, 'E', 6096, 3, true},
    {"ARVEN Wideline 400C", Family::First, 0, 'E', 6096, 2, false},
    {"ARVEN Wideline 400D", Family::First, 0, 'E', 6096, 2, false},
    {"ARVEN WL-3000", Family::Second, 0x09, 'J', 11176, 3, true},
    {"ARVEN WL-2000", Family::Second, 0x0A, 'J', 6096, 3, true},
    {"ARVEN Wideline 300", Family::Second, 0x05, 'E', 11176, 3, true},
    {"ARVEN Wideline 200", Family::Second, 0x06, 'E', 6096, 3, true},
    {"ARVEN Wideline 300-D", Family::Second, 0x25, 'E', 11176, 2, true},
    {"ARVEN Wideline 200-D", Family::Second, 0x26, 'E', 6096, 2, true},
};

// In the second family the code decides the region letter, and the wide models (44 inches)
// are those whose size letter says so.
constexpr bool SecondFamilyCodesAgree() {
    for (const Model& model : kModels) {
        if (model.family != Family::Second) {
            continue;
        }
        const bool wide = (model.code & kCodeWideBit) != 0;
        const char region = (model.code & kCodeRegionBit) != 0 ? 'E' : 'J';
        if (model.letter != region || model.largestWidth != (wide ? 11176 : 6096)) {
            return false;
        }
    }
    return true;
}
static_assert(SecondFamilyCodesAgree());

constexpr int kFirstFamilyInkSets[] = {1, 2};
constexpr int kSecondFamilyInkSets[] = {1, 2, 3, 4};

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

constexpr std::size_t kDirectoryOffset = 16;
constexpr std::size_t kRecordsOffset = kDirectoryOffset + 16;
constexpr uint32_t kConfigurationMark = 0x500;
constexpr uint32_t kSecondConfigurationMark = 0x710;
constexpr uint16_t kSecondUserHeader = 0x0710;
constexpr uint16_t kDriverEntry = 1;

// Where the two configurations put a record's fields; the fields before the media values are
// at the same places in both.
struct RecordLayout {
    std::size_t size;
    std::size_t valuesAt;  // Density, Forward, Drytime, Paperthick, Paperdraw, PaperCut, extra
    std::size_t entryTypeAt;
    bool wideEntryType;  // uint32 rather than uint16
};
constexpr RecordLayout kFirstLayout{102, 56, 84, false};
constexpr RecordLayout kSecondLayout{128, 80, 124, true};

struct ModeRecord {
    uint8_t flag;
    uint16_t code;
    uint16_t level;
};
// The standard and fine modes form the first part, the high-quality ones the second.
constexpr ModeRecord kFirstPart[] = {{kModeStandard, 0, 1}, {kModeFine, 0, 2}};
constexpr ModeRecord kSecondPart[] = {{kModeQuality, 6, 0}, {kModeBest, 15, 0}};

// The serial number has one byte in the second configuration.
static_assert(std::size(kMedia) * kModeCount + 1 <= 0xFF);

// The list an ink set uses: ink sets 2 and 3 the second, all others the first.
int ListOf(int inkSet) {
    return inkSet == 2 || inkSet == 3 ? 2 : 1;
}

// The media values of a mode: finer modes lay down more ink and dry longer; the ink sets of the
// second list run a little lighter.
MediaValues ValuesFor(const Media& media, const ModeRecord& mode, int inkSet) {
    MediaValues values = media.values;
    const int index = ModeIndexOfFlag(mode.flag);
    static constexpr uint8_t kExtraDrying[kModeCount] = {10, 0, 20, 40};
    values.drytime = static_cast<uint8_t>(std::min(255, values.drytime + kExtraDrying[index]));
    if (ListOf(inkSet) == 2) {
        values.density = static_cast<int8_t>(values.density - 2);
    }
    return values;
}

void PutRecord(std::vector<uint8_t>& bytes, const RecordLayout& layout, const Media& media,
               const ModeRecord& mode, int inkSet, char letter, uint32_t inUse, uint16_t serial) {
    const std::size_t at = bytes.size();
    bytes.resize(at + layout.size, 0);
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
    const std::size_t v = at + layout.valuesAt;
    bytes[v + 0] = static_cast<uint8_t>(values.density);
    bytes[v + 1] = static_cast<uint8_t>(values.forward);
    bytes[v + 2] = values.drytime;
    bytes[v + 3] = values.paperthick;
    bytes[v + 4] = values.paperdraw;
    bytes[v + 5] = values.paperCut;
    bytes[v + 6] = values.extra;
    if (layout.wideEntryType) {
        PutUInt32(bytes, at + layout.entryTypeAt, kDriverEntry);
    } else {
        PutUInt16(bytes, at + layout.entryTypeAt, kDriverEntry);
    }
}

// Header, directory and records: a withdrawn record (still in the file, never in use), then for
// each media of the list a record per standard mode it has, then the high-quality records.
std::vector<uint8_t> BuildConfiguration(const RecordLayout& layout, uint32_t mark,
                                        uint16_t userSlots, uint16_t extraRecords, int inkSet,
                                        char letter) {
    const std::vector<const Media*> media = MediaOf(inkSet);
    std::vector<uint8_t> bytes(kRecordsOffset, 0);
    uint16_t serial = 0;
    uint16_t firstPart = 0;
    PutRecord(bytes, layout, *media.front(), kFirstPart[0], inkSet, letter, 0, serial++);
    ++firstPart;
    for (const Media* entry : media) {
        for (const ModeRecord& mode : kFirstPart) {
            if ((entry->modes & mode.flag) != 0) {
                PutRecord(bytes, layout, *entry, mode, inkSet, letter, 1, serial++);
                ++firstPart;
            }
        }
    }
    uint16_t secondPart = 0;
    for (const Media* entry : media) {
        for (const ModeRecord& mode : kSecondPart) {
            if ((entry->modes & mode.flag) != 0) {
                PutRecord(bytes, layout, *entry, mode, inkSet, letter, 1, serial++);
                ++secondPart;
            }
        }
    }
    PutUInt32(bytes, 0, mark);
    PutUInt32(bytes, 4, static_cast<uint32_t>(bytes.size()));
    PutUInt32(bytes, 8, kDirectoryOffset);
    PutUInt16(bytes, kDirectoryOffset + 2, secondPart);
    PutUInt16(bytes, kDirectoryOffset + 4, firstPart);
    PutUInt16(bytes, kDirectoryOffset + 8, userSlots);
    PutUInt16(bytes, kDirectoryOffset + 10, extraRecords);
    return bytes;
}

// The ink set whose records a model's configuration holds: a "-D" model's are those of ink set 1.
int ConfigurationInkSet(const Model& model, int inkSet) {
    return HasSingleConfiguration(model) ? 1 : inkSet;
}

// The second family's size letter: 'O' or 'Q', for the "-D" models 'P' or 'R'.
char SizeLetter(const Model& model) {
    const bool wide = (model.code & kCodeWideBit) != 0;
    if (HasSingleConfiguration(model)) {
        return wide ? 'P' : 'R';
    }
    return wide ? 'O' : 'Q';
}

// "A_FCF<ink-1>9<digit><region>", the digit '8' for the wide models and '7' for the others.
std::string SecondConfigurationStem(const Model& model, int inkSet) {
    const char digit = (model.code & kCodeWideBit) != 0 ? '8' : '7';
    return "A_FCF" + std::to_string(inkSet - 1) + '9' + digit + model.letter;
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

std::span<const int> InkSetsOf(const Model& model) {
    if (model.family == Family::Second) {
        return kSecondFamilyInkSets;
    }
    return kFirstFamilyInkSets;
}

bool HasSingleConfiguration(const Model& model) {
    return model.family == Family::Second && (model.code & kCodeSingleBit) != 0;
}

bool HasSecondConfiguration(const Model& model) {
    return model.family == Family::Second && !HasSingleConfiguration(model);
}

std::vector<const Media*> MediaOf(int inkSet) {
    std::vector<const Media*> list;
    const uint8_t bit = ListOf(inkSet) == 2 ? kInkSet2 : kInkSet1;
    for (const Media& media : kMedia) {
        if ((media.inkSets & bit) != 0) {
            list.push_back(&media);
        }
    }
    return list;
}

std::vector<const Media*> MediaOf(const Model& model, int inkSet) {
    return MediaOf(ConfigurationInkSet(model, inkSet));
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
    return BuildConfiguration(kFirstLayout, kConfigurationMark, kUserSlots, kExtraRecords, inkSet,
                              letter);
}

std::string ConfigurationFileName(int inkSet, char letter) {
    return "A_DD" + std::to_string(inkSet) + "48" + letter + ".CFG";
}

std::vector<uint8_t> BuildMediaConfiguration(const Model& model, int inkSet) {
    return BuildMediaConfiguration(ConfigurationInkSet(model, inkSet), model.letter);
}

std::string ConfigurationFileName(const Model& model, int inkSet) {
    if (model.family == Family::First) {
        return ConfigurationFileName(inkSet, model.letter);
    }
    return "A_DD" + std::to_string(ConfigurationInkSet(model, inkSet)) + '4' + SizeLetter(model) +
           model.letter + ".CFG";
}

std::vector<uint8_t> BuildSecondMediaConfiguration(const Model& model, int inkSet) {
    return BuildConfiguration(kSecondLayout, kSecondConfigurationMark, kSecondUserSlots, 0, inkSet,
                              model.letter);
}

std::string SecondConfigurationFileName(const Model& model, int inkSet) {
    return SecondConfigurationStem(model, inkSet) + ".CFG";
}

std::string SecondUserConfigurationFileName(const Model& model, int inkSet) {
    return SecondConfigurationStem(model, inkSet) + ".UCF";
}

std::vector<uint8_t> EmptySecondUserConfiguration() {
    std::vector<uint8_t> bytes(2 + std::size_t{kSecondUserSlots} * kSecondUserSlotSize, 0);
    PutUInt16(bytes, 0, kSecondUserHeader);
    return bytes;
}

}  // namespace simdriver
