#include "util/settings/user_settings.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

#include "platform/profile/profile.h"
#include "platform/system/clock.h"
#include "platform/system/user_file.h"
#include "util/settings/text_cut.h"

namespace {

constexpr const char* kBaseSection = "Base";
constexpr const char* kExportVersion = "1.00";
// Buffer sizes of the lookups, terminating NUL included.
constexpr std::size_t kCustomNameBuffer = 64;
constexpr std::size_t kModelBuffer = 256;

constexpr uint16_t kModeCodeFlag4 = 6;
constexpr uint16_t kModeCodeFlag8 = 15;
constexpr uint16_t kModeLevelFlag2 = 2;

// Print mode index -> flag.
constexpr std::array<int32_t, kPrintModeCount> kFlagOfIndex{2, 1, 4, 8};

// A negative count, which no writer produces, counts as no sections.
int32_t MediaCount(const profile::ProfileFile& file) {
    return std::max(file.IntValue(kBaseSection, "MediaCount", 0), 0);
}

// The index n of a section named as MediaSectionName(n) names it (ignoring ASCII case); 0 for any
// other name.
int32_t MediaIndexOf(std::string_view section) {
    constexpr std::string_view kPrefix = "media";
    if (section.size() <= kPrefix.size() || section.size() > kPrefix.size() + 10) {
        return 0;
    }
    int64_t index = 0;
    for (std::size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (i < kPrefix.size()) {
            if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != kPrefix[i]) {
                return 0;
            }
        } else if (c >= '0' && c <= '9') {
            index = index * 10 + (c - '0');
        } else {
            return 0;
        }
    }
    if (index < 1 || index > std::numeric_limits<int32_t>::max()) {
        return 0;
    }
    const auto n = static_cast<int32_t>(index);
    return section.substr(kPrefix.size()) ==
                   std::string_view(UserSettings::MediaSectionName(n)).substr(kPrefix.size())
               ? n
               : 0;
}

// What the file's MediaNN sections say: the smallest index whose "CustomName" equals the name (0
// when none), and the highest index of any. One pass over the file's sections, however large its
// "MediaCount": a section beyond the count is found, and one the count leaves out is never
// taken for a new name.
struct MediaSections {
    int32_t found = 0;
    int32_t highest = 0;
};

MediaSections ScanSections(const profile::ProfileFile& file, std::string_view name) {
    MediaSections sections;
    for (const auto& [section, value] : file.ValuesOfKey("CustomName")) {
        const int32_t index = MediaIndexOf(section);
        if (index == 0) {
            continue;
        }
        sections.highest = std::max(sections.highest, index);
        if ((sections.found == 0 || index < sections.found) && value &&
            std::string_view(*value).substr(0, kCustomNameBuffer - 1) == name) {
            sections.found = index;
        }
    }
    return sections;
}

std::string MakeTime() {
    const sys::LocalTime now = sys::CurrentClock().Now();
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    return text;
}

}  // namespace

int32_t PrintModeIndexOfFlag(int32_t flag) {
    for (std::size_t index = 0; index < kFlagOfIndex.size(); ++index) {
        if (kFlagOfIndex[index] == flag) {
            return static_cast<int32_t>(index);
        }
    }
    return -1;
}

int32_t PrintModeFlagOfIndex(int32_t index) {
    return index >= 0 && index < static_cast<int32_t>(kFlagOfIndex.size())
               ? kFlagOfIndex[static_cast<std::size_t>(index)]
               : 0;
}

int32_t PaperdrawStep(uint8_t raw) {
    if (raw <= 6) {
        return -4;
    }
    if (raw <= 10) {
        return -3;
    }
    if (raw <= 30) {
        return -2;
    }
    if (raw <= 50) {
        return -1;
    }
    return 0;
}

std::string UserSettings::MediaSectionName(int32_t index) {
    char name[24];
    std::snprintf(name, sizeof name, "Media%02d", index);
    return name;
}

int32_t UserSettings::PrintModeFlag() const {
    if (record.ModeCode() == kModeCodeFlag4) {
        return 4;
    }
    if (record.ModeCode() == kModeCodeFlag8) {
        return 8;
    }
    return record.ModeLevel() == kModeLevelFlag2 ? 2 : 1;
}

bool UserSettings::ExportWrite(const std::string& path, std::string_view name, int32_t hres,
                               int32_t vres, int32_t mw) const {
    // Exports into one file, from any process, take turns: each one's setting stays.
    const sys::UserFileLock lock(path);
    profile::ProfileFile file;
    if (!lock.Held() || !file.Load(path)) {
        return false;
    }
    const MediaSections sections = ScanSections(file, name);
    // A count that is missing, not a number or below the sections present is no guide: a new
    // name goes past every section there is, and the count is written to include it.
    int32_t count = std::max(MediaCount(file), sections.highest);
    int32_t index = sections.found;
    if (index == 0) {
        if (count == std::numeric_limits<int32_t>::max()) {
            return false;  // no further section can be counted
        }
        index = ++count;
    }

    const std::string driverName = host_.DriverName();
    const std::string countText = std::to_string(count);
    const std::string media = MediaSectionName(index);
    const std::string customName(PrefixFittingBytes(name, kExportNameBytes));
    auto number = [](int32_t value) { return std::to_string(value); };
    const std::array<std::pair<const char*, std::string>, 13> values{{
        {"CustomName", customName},
        {"ID", number(host_.MediaTypes().FileIdOf(record.MediaId()))},
        {"Mode", number(host_.PrintMode() + 1)},
        {"Hres", number(hres)},
        {"Vres", number(vres)},
        {"Mw", number(mw)},
        {"Density", number(working.Density())},
        {"Forward", number(working.Forward())},
        {"Drytime", number(working.Drytime())},
        {"Paperthick", number(working.Paperthick())},
        {"Paperdraw", number(PaperdrawStep(working.Paperdraw()))},
        {"PaperCut", number(working.PaperCut() + 1)},
        {"InkMode", host_.InkModeText()},
    }};

    bool stored = file.Set(kBaseSection, "Version", kExportVersion) &&
                  file.Set(kBaseSection, "MakeTime", MakeTime()) &&
                  file.Set(kBaseSection, "Model", driverName) &&
                  file.Set(kBaseSection, "MediaCount", countText);
    for (const auto& [key, value] : values) {
        stored = stored && file.Set(media, key, value);
    }
    return stored && file.Save(path);
}

int32_t UserSettings::ExportFind(const std::string& path, std::string_view name) const {
    profile::ProfileFile file;
    return file.Load(path) ? ScanSections(file, name).found : 0;
}

bool UserSettings::ExportModelMatches(const std::string& path) const {
    return profile::GetPrivateProfileString(kBaseSection, "Model", "", kModelBuffer, path) ==
           host_.DriverName();
}

bool UserSettings::ExportSetting(const std::string& path, std::string_view name) const {
    const MediaTypeTable& table = host_.MediaTypes();
    const int32_t mode = host_.PrintMode();
    Resolution resolution;
    int32_t mw = 0;
    if (mode >= 0 && static_cast<std::size_t>(mode) < kPrintModeCount) {
        if (const auto resolutions = table.ResolutionsOf(record.MediaId())) {
            resolution = (*resolutions)[static_cast<std::size_t>(mode)];
        }
        if (const auto mws = table.MwOf(record.MediaId())) {
            mw = (*mws)[static_cast<std::size_t>(mode)];
        }
    }
    return ExportWrite(path, name, resolution.horizontal, resolution.vertical, mw);
}
