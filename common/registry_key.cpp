#include "common/registry_key.h"

#include <array>
#include <cstring>

#include "platform/system/file.h"

namespace {

// The buffer a stored string is read into; longer data reads as the default.
constexpr std::size_t kStringBufferBytes = 260;

}  // namespace

RegistryKey::RegistryKey(reg::HKEY root, const std::string& keyName) {
    if (reg::RegCreateKeyEx(root, keyName.c_str(), reg::KEY_ALL_ACCESS, &key_, nullptr) !=
        reg::ERROR_SUCCESS) {
        key_ = nullptr;
    }
}

RegistryKey::~RegistryKey() {
    if (key_) {
        reg::RegCloseKey(key_);
    }
}

reg::LSTATUS RegistryKey::Query(const std::string& subkey, const std::string& valueName,
                                uint8_t* data, reg::DWORD size, reg::DWORD* type) const {
    reg::HKEY opened = nullptr;
    reg::LSTATUS status =
        reg::RegCreateKeyEx(key_, subkey.c_str(), reg::KEY_ALL_ACCESS, &opened, nullptr);
    if (status != reg::ERROR_SUCCESS) {
        return status;
    }
    status = reg::RegQueryValueEx(opened, valueName.c_str(), type, data, &size);
    reg::RegCloseKey(opened);
    return status;
}

reg::LSTATUS RegistryKey::Set(const std::string& subkey, const std::string& valueName,
                              reg::DWORD type, const uint8_t* data, reg::DWORD size) {
    reg::HKEY opened = nullptr;
    reg::LSTATUS status =
        reg::RegCreateKeyEx(key_, subkey.c_str(), reg::KEY_ALL_ACCESS, &opened, nullptr);
    if (status != reg::ERROR_SUCCESS) {
        return status;
    }
    status = reg::RegSetValueEx(opened, valueName.c_str(), type, data, size);
    reg::RegCloseKey(opened);
    return status;
}

std::string RegistryKey::ReadText(const std::string& subkey, const std::string& valueName,
                                  const std::string& defaultText, bool expand) const {
    std::array<char, kStringBufferBytes> buffer{};
    reg::DWORD type = reg::REG_NONE;
    if (Query(subkey, valueName, reinterpret_cast<uint8_t*>(buffer.data()),
              static_cast<reg::DWORD>(buffer.size()), &type) != reg::ERROR_SUCCESS) {
        return defaultText;
    }
    // Data of exactly the buffer's size may lack a NUL; the text then ends with the buffer.
    std::string text(buffer.data(), strnlen(buffer.data(), buffer.size()));
    return expand && type == reg::REG_EXPAND_SZ ? sys::ExpandEnvironmentStrings(text) : text;
}

std::string RegistryKey::ReadString(const std::string& subkey, const std::string& valueName,
                                    const std::string& defaultText) const {
    return ReadText(subkey, valueName, defaultText, false);
}

std::string RegistryKey::ReadExpandedString(const std::string& subkey, const std::string& valueName,
                                            const std::string& defaultText) const {
    return ReadText(subkey, valueName, defaultText, true);
}

uint32_t RegistryKey::ReadNumber(const std::string& subkey, const std::string& valueName,
                                 uint32_t defaultNumber) const {
    std::array<uint8_t, 4> bytes{};
    if (Query(subkey, valueName, bytes.data(), static_cast<reg::DWORD>(bytes.size())) !=
        reg::ERROR_SUCCESS) {
        return defaultNumber;
    }
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

reg::LSTATUS RegistryKey::WriteString(const std::string& subkey, const std::string& valueName,
                                      const std::string& text) {
    return Set(subkey, valueName, reg::REG_SZ, reinterpret_cast<const uint8_t*>(text.c_str()),
               static_cast<reg::DWORD>(text.size() + 1));
}

reg::LSTATUS RegistryKey::WriteNumber(const std::string& subkey, const std::string& valueName,
                                      uint32_t number) {
    const std::array<uint8_t, 4> bytes = {
        static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
        static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
    return Set(subkey, valueName, reg::REG_DWORD, bytes.data(),
               static_cast<reg::DWORD>(bytes.size()));
}
