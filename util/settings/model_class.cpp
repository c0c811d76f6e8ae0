#include "util/settings/model_class.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<std::string_view, int32_t>, 4> kModels{{
    {"ARVEN WL-4000", kModelClassWl4000},
    {"ARVEN Wideline 400U", kModelClassWideline400U},
    {"ARVEN Wideline 400C", kModelClassWideline400C},
    {"ARVEN Wideline 400D", kModelClassWideline400D},
}};

constexpr int32_t kFamilyMask = 0xFF0000;
constexpr int32_t kUserSettingsFamily = 0x10000;
constexpr int32_t kLetterBit = 4;
constexpr int32_t kWidePaperBit = 1;
constexpr uint32_t kFirstNt5Version = 5;

}  // namespace

int32_t ModelClassOf(std::string_view driverName) {
    for (const auto& [name, modelClass] : kModels) {
        if (name == driverName) {
            return modelClass;
        }
    }
    return kModelClassUnknown;
}

bool IsUserSettingsFamily(int32_t modelClass) {
    return (modelClass & kFamilyMask) == kUserSettingsFamily;
}

char ConfigurationLetter(int32_t modelClass) {
    return (modelClass & kLetterBit) == 0 ? 'J' : 'E';
}

ConfigFileNames UtilConfigFileNames(int32_t modelClass) {
    return {'8', ConfigurationLetter(modelClass), false};
}

std::string UtilInkModeText(int32_t driverInkSet) {
    return driverInkSet == 2 ? "B101,3202,4304,5408,6210,7320" : "1101,3202,4304,5408,6210,7320";
}

bool HasWideDefaultPaper(int32_t modelClass) {
    return (modelClass & kWidePaperBit) != 0;
}

OsKind OsKindOf(const machine::OsVersionInfo& version) {
    switch (version.platformId) {
        case machine::kPlatformWindows:
            return OsKind::Windows9x;
        case machine::kPlatformNt:
            return version.majorVersion < kFirstNt5Version ? OsKind::NtBefore5 : OsKind::Nt5OrLater;
        default:
            return OsKind::Other;
    }
}

OsKind CurrentOsKind() {
    return OsKindOf(machine::GetVersionEx());
}
