// What util knows about the printer and the machine before any page runs: the model class decided
// from the printer driver's name, its three tests, and the kind of Windows the machine is.
#pragma once

#include <cstdint>
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
