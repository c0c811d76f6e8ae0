// One open registry key through which the modules keep their small settings: each operation
// opens (creating) a subkey of it, reads or writes one value and closes the subkey again.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry/registry.h"

// Where the modules keep their settings: subkey kSettingsSubkey of kSettingsKey, under the user's
// root (the machine's for defaults).
inline constexpr const char* kSettingsKey = "SoftWare\\ARVEN";
inline constexpr const char* kSettingsSubkey = "Tarnwell";

class RegistryKey {
  public:
    // Opens `keyName` under `root` with all access, creating it when missing. A key that cannot
    // be opened makes every read give its default and every write fail.
    RegistryKey(reg::HKEY root, const std::string& keyName);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // The text stored under the name (up to its first NUL), or `defaultText` when the subkey
    // cannot be opened, the value is missing or its data does not fit 260 bytes. The value's
    // type is not examined.
    std::string ReadString(const std::string& subkey, const std::string& valueName,
                           const std::string& defaultText) const;
    // The same, with environment references expanded when the value is a REG_EXPAND_SZ.
    std::string ReadExpandedString(const std::string& subkey, const std::string& valueName,
                                   const std::string& defaultText) const;
    // The first 4 bytes of the value as a little-endian number (shorter data zero-filled), or
    // `defaultNumber` on any failure. The type is not examined.
    uint32_t ReadNumber(const std::string& subkey, const std::string& valueName,
                        uint32_t defaultNumber) const;
    // REG_SZ of the text with its terminating NUL.
    reg::LSTATUS WriteString(const std::string& subkey, const std::string& valueName,
                             const std::string& text);
    // REG_DWORD, 4 bytes.
    reg::LSTATUS WriteNumber(const std::string& subkey, const std::string& valueName,
                             uint32_t number);

  private:
    std::string ReadText(const std::string& subkey, const std::string& valueName,
                         const std::string& defaultText, bool expand) const;
    reg::LSTATUS Query(const std::string& subkey, const std::string& valueName, uint8_t* data,
                       reg::DWORD size, reg::DWORD* type = nullptr) const;
    reg::LSTATUS Set(const std::string& subkey, const std::string& valueName, reg::DWORD type,
                     const uint8_t* data, reg::DWORD size);

    reg::HKEY key_ = nullptr;
};
