// The machine folder: the Windows machine the program expects, as one folder laid out like it
// (docs/registry.md). It holds the Windows and system directories (the printer driver's
// spooler directories below the latter), the program files directory, the machine hive
// (HKEY_LOCAL_MACHINE) and the system version. It is prepared on first use: every call below
// except MachineFolder and SetVersion makes sure the layout exists.
#pragma once

#include <cstdint>
#include <string>

#include "platform/export.h"

namespace machine {

// Platform identifiers of the system version.
inline constexpr uint32_t kPlatformWin32s = 0;
inline constexpr uint32_t kPlatformWindows = 1;  // Windows 95/98/Me
inline constexpr uint32_t kPlatformNt = 2;

struct OsVersionInfo {
    uint32_t platformId = kPlatformNt;
    uint32_t majorVersion = 5;
    uint32_t minorVersion = 1;
};

// $PLENWISE_MACHINE, or $XDG_DATA_HOME/plenwise/machine (XDG_DATA_HOME defaulting to
// ~/.local/share). Follows the environment at the time of the call.
PLENWISE_API std::string MachineFolder();

// Creates what is missing of the layout: Windows/, Windows/System32/ with
// spool/Drivers/W32x86/2/ and /3/ below it, Program Files/, version.ini with the default
// version, and the machine hive with "ProgramFilesDir" and "ProgramFilesPath" (REG_SZ, the
// Program Files directory) under Software\Microsoft\Windows\CurrentVersion. Existing files and
// values are left as they are. False when part of it could not be created.
PLENWISE_API bool EnsureMachineFolder();

// The system version from version.ini ([Version] PlatformId, MajorVersion, MinorVersion); a
// missing or unreadable entry gives the default (NT 5.1).
PLENWISE_API OsVersionInfo GetVersionEx();
// Replaces version.ini, e.g. to make the machine a Windows 98 one. False when it cannot be
// written.
PLENWISE_API bool SetVersion(const OsVersionInfo& version);

// <machine folder>/Windows and <machine folder>/Windows/System32, without a trailing slash.
PLENWISE_API std::string GetWindowsDirectory();
PLENWISE_API std::string GetSystemDirectory();

}  // namespace machine
