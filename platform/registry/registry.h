// The registry as the program sees it: HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, keys created
// on demand, typed values, with the calls and results of the Windows registry. Key and value
// names compare with ASCII case folding and keep the spelling of their first creation; "" names
// a key's default value. Strings are UTF-8.
//
// Each root is a hive file in the `.reg` text format (docs/registry.md): the user's under
// $XDG_CONFIG_HOME/plenwise/, the machine's in the machine folder. Every call reads the file
// afresh, and every change is a locked read-modify-write that replaces the file atomically, so
// several processes share one hive without losing each other's changes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/export.h"

namespace reg {

using DWORD = uint32_t;
using LSTATUS = int32_t;
using REGSAM = uint32_t;

struct KeyHandle;  // opaque
using HKEY = KeyHandle*;

// The roots. They are always open; closing them does nothing.
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002});

// Results.
inline constexpr LSTATUS ERROR_SUCCESS = 0;
inline constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
inline constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
inline constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
inline constexpr LSTATUS ERROR_OUTOFMEMORY = 14;  // the hive would exceed its size limit
inline constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
inline constexpr LSTATUS ERROR_BAD_PATHNAME = 161;
inline constexpr LSTATUS ERROR_MORE_DATA = 234;
inline constexpr LSTATUS ERROR_NO_MORE_ITEMS = 259;
inline constexpr LSTATUS ERROR_REGISTRY_IO_FAILED = 1016;

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

// Access rights of a key handle.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Dispositions of RegCreateKeyEx.
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens the key `subKey` below `key`, creating it and any missing key on the way; `key` needs
// KEY_CREATE_SUB_KEY. `subKey` is a backslash-separated path (nullptr or "" opens `key` itself
// anew; one trailing backslash is ignored); a component may not be empty, longer than 255 bytes
// or hold a control character (ERROR_BAD_PATHNAME / ERROR_INVALID_PARAMETER). `disposition`
// (optional) receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
PLENWISE_API LSTATUS RegCreateKeyEx(HKEY key, const char* subKey, REGSAM access, HKEY* result,
                                    DWORD* disposition);
// Opens an existing key; ERROR_FILE_NOT_FOUND when it does not exist.
PLENWISE_API LSTATUS RegOpenKeyEx(HKEY key, const char* subKey, REGSAM access, HKEY* result);
PLENWISE_API LSTATUS RegCloseKey(HKEY key);

// Reads a value (nullptr names the default value). `type` (optional) receives its type. With
// `data` nullptr, `*size` receives the size needed; otherwise `*size` is the buffer's size on
// entry and the value's size on return; ERROR_MORE_DATA, with `*size` set to the size needed and
// the buffer untouched, when the value does not fit. ERROR_FILE_NOT_FOUND when the value (or the
// key, if it has vanished from the hive) is missing. Needs KEY_QUERY_VALUE.
PLENWISE_API LSTATUS RegQueryValueEx(HKEY key, const char* valueName, DWORD* type, uint8_t* data,
                                     DWORD* size);
// Stores `size` bytes as a value of `type`, replacing what the name held. Strings are stored
// as given, so a REG_SZ written by the usual convention includes its terminating NUL. A key
// that has vanished from the hive (a hive set aside as corrupt) is created again. Needs
// KEY_SET_VALUE.
PLENWISE_API LSTATUS RegSetValueEx(HKEY key, const char* valueName, DWORD type, const uint8_t* data,
                                   DWORD size);
// ERROR_FILE_NOT_FOUND when there is no such value. Needs KEY_SET_VALUE.
PLENWISE_API LSTATUS RegDeleteValue(HKEY key, const char* valueName);
// The value at `index` in creation order; ERROR_NO_MORE_ITEMS past the last. `*nameSize` is the
// name buffer's size in bytes including the NUL on entry and the name's length without it on
// return; ERROR_MORE_DATA (with `*nameSize` set to the size needed including the NUL) when the
// name does not fit. `type`, `data` and `dataSize` behave as in RegQueryValueEx. Needs
// KEY_QUERY_VALUE.
PLENWISE_API LSTATUS RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* type,
                                  uint8_t* data, DWORD* dataSize);

// The hive files, for people and tests: $XDG_CONFIG_HOME/plenwise/user.reg (XDG_CONFIG_HOME
// defaulting to ~/.config) and <machine folder>/machine.reg. Both follow the environment at the
// time of the call; an open key stays with the hive it was opened in.
PLENWISE_API std::string UserHivePath();
PLENWISE_API std::string MachineHivePath();

}  // namespace reg
