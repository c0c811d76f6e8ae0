#include "altutil/second_family.h"

#include <array>
#include <utility>

#include "platform/registry/machine_folder.h"
#include "util/settings/driver_media_config.h"

namespace altutil {

namespace {

constexpr std::array<std::pair<std::string_view, int32_t>, 6> kModels{{
    {"ARVEN WL-3000", 9},
    {"ARVEN WL-2000", 10},
    {"ARVEN Wideline 300", 5},
    {"ARVEN Wideline 200", 6},
    {"ARVEN Wideline 300-D", 0x25},
    {"ARVEN Wideline 200-D", 0x26},
}};

constexpr int32_t kSizeBit = 1;
constexpr int32_t kRegionBit = 4;
constexpr int32_t kFixedFilesBit = 0x20;

char RegionLetter(int32_t modelCode) {
    return (modelCode & kRegionBit) != 0 ? 'E' : 'J';
}

// A_FCF<ink-1>9<8|7><region>
std::string SecondFileName(int32_t modelCode, int32_t inkSet, const char* extension) {
    return "A_FCF" + std::to_string(inkSet - 1) + '9' + ((modelCode & kSizeBit) != 0 ? '8' : '7') +
           RegionLetter(modelCode) + extension;
}

}  // namespace

int32_t ModelCodeOf(std::string_view driverName) {
    for (const auto& [name, code] : kModels) {
        if (name == driverName) {
            return code;
        }
    }
    return 0;
}

bool IsFixedFileModel(int32_t modelCode) {
    return (modelCode & kFixedFilesBit) != 0;
}

ConfigFileNames ConfigFileNamesOf(int32_t modelCode) {
    const bool wide = (modelCode & kSizeBit) != 0;
    const bool fixed = IsFixedFileModel(modelCode);
    const char size = fixed ? (wide ? 'P' : 'R') : (wide ? 'O' : 'Q');
    return {size, RegionLetter(modelCode), fixed};
}

int32_t DriverInkSetOf(const driverlib::InkSetQuery& answer) {
    if (answer.values[3] == 1) {
        return 4;
    }
    switch (answer.values[driverlib::InkSetQuery::kInkSetIndex]) {
        case 0xA0B:
            return 2;
        case 0xB0B:
            return 3;
        default:
            return 1;
    }
}

std::string InkModeTextOf(int32_t driverInkSet) {
    switch (driverInkSet) {
        case 2:
            return "B101,3202,4304,5408,6210,7320,A140";
        case 3:
            return "B101,3202,4304,5408,6210,7320,B140";
        case 4:
            return "1101,3202,4304,5408,6210,7320,1140";
        default:
            return "1101,3202,4304,5408,6210,7320,A140";
    }
}

std::string SecondCfgPath(int32_t modelCode, int32_t inkSet) {
    if (IsFixedFileModel(modelCode)) {
        return {};
    }
    return machine::GetSystemDirectory() + "/spool/Drivers/W32x86/3/" +
           SecondFileName(modelCode, inkSet, ".CFG");
}

std::string SecondUcfPath(int32_t modelCode, int32_t inkSet, std::string_view driverName) {
    if (IsFixedFileModel(modelCode)) {
        return {};
    }
    return drivercfg::DriverUserFile(OsKind::Nt5OrLater, driverName,
                                     SecondFileName(modelCode, inkSet, ".UCF"));
}

}  // namespace altutil
