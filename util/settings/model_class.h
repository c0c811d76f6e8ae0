// What util knows about the printer and the machine before any page runs: the model class decided
// from the printer driver's name, its three tests, and the kind of Windows the machine is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/machine_folder.h"

// Model classes of util's printers; any other driver gives kModelClassUnknown.
inline constexpr int32_t kModelClassUnknown = 0;
inline constexpr int32_t kModelClassWl4000 = 0x10009;
inline constexpr int32_t kModelClassWideline400U = 0x10005;
inline constexpr int32_t kModelClassWideline400C = 0x20005;
inline constexpr int32_t kModelClassWideline400D = 0x30005;

// The model class of a driver name, compared byte for byte and case-sensitively.
int32_t ModelClassOf(std::string_view driverName);

// Only this family gets the custom media setting pages and the user-settings store.
bool IsUserSettingsFamily(int32_t modelClass);
// 'J' or 'E': the letter in the names of the driver's configuration files.
char ConfigurationLetter(int32_t modelClass);
// How a model's driver configuration files are named: A_DD<ink>4<size><region>.CFG and .UCF (on
// Windows 95/98/Me Ariui<region>7<size>.UC<ink-1>). The first family's size letter is always
// '8'; models with fixed files take the ink digit 1 and, on Windows 95/98/Me, a plain .UCF.
struct ConfigFileNames {
    char sizeLetter = '8';
    char regionLetter = 'J';
    bool fixedFiles = false;
};
// The first family's names: size letter '8' and the configuration letter.
ConfigFileNames UtilConfigFileNames(int32_t modelClass);
// How the first family's export files name a driver ink set (1 or 2).
std::string UtilInkModeText(int32_t driverInkSet);

// The lowest bit: such models default to 44-inch paper for sample prints, the others to 24.
bool HasWideDefaultPaper(int32_t modelClass);

// Where the printer driver keeps its configuration depends on the kind of Windows.
enum class OsKind : int32_t {
    Other = 0,
    Windows9x = 1,   // Windows 95, 98 and Me
    NtBefore5 = 2,   // Windows NT before version 5.0
    Nt5OrLater = 3,  // Windows NT 5.0 and later
};

OsKind OsKindOf(const machine::OsVersionInfo& version);
// From the machine folder's system version.
OsKind CurrentOsKind();
