// A private machine folder, a wizard host whose kind of Windows, model and ink set a test
// chooses, and builders of driver media records, CFG data and UCF files written independently
// of the code under test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry/machine_folder.h"
#include "platform/registry/registry.h"
#include "tests/support/scratch.h"
#include "util/settings/driver_media_config.h"

namespace configtest {

class FakeHost : public UserSettingsHost {
  public:
    std::string DriverName() const override { return driverName; }
    int32_t DriverInkSet() const override { return inkSet; }
    int32_t PrintMode() const override { return 1; }
    int32_t ModelClass() const override { return ModelClassOf(driverName); }
    OsKind HostOsKind() const override { return kind; }
    ConfigFileNames ConfigNames() const override { return UtilConfigFileNames(ModelClass()); }
    std::string InkModeText() const override { return UtilInkModeText(inkSet); }
    const MediaTypeTable& MediaTypes() const override { return media; }

    std::string driverName = "ARVEN WL-4000";
    int32_t inkSet = 1;
    OsKind kind = OsKind::Nt5OrLater;
    MediaTypeTable media;
};

inline UserMediaRecord DriverRecord(uint32_t mediaId, uint16_t level, uint16_t code,
                                    uint32_t inUse = 1, uint8_t density = 0) {
    UserMediaRecord record;
    record.SetMediaId(mediaId);
    record.SetModeLevel(level);
    record.SetModeCode(code);
    record.SetInUse(inUse);
    record.bytes[UserMediaRecord::kDensityOffset] = density;
    return record;
}

inline UserMediaRecord UserEntry(const std::string& name, uint32_t mediaId) {
    UserMediaRecord record = DriverRecord(mediaId, 1, 0);
    record.SetEntryType(UserMediaRecord::kUserEntry);
    record.SetName(name);
    return record;
}

inline void Put16(std::vector<uint8_t>& bytes, std::size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void Put32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

struct CfgLayout {
    uint32_t directoryOffset = 16;
    uint16_t userSlots = 4;
    uint16_t extras = 2;
    uint16_t secondPart = 0;                  // how many of the records count as the second part
    std::optional<uint32_t> declaredRecords;  // the counts' sum, when it should lie
};

inline std::vector<uint8_t> Cfg(const std::vector<UserMediaRecord>& records,
                                const CfgLayout& layout = {}) {
    std::vector<uint8_t> bytes(layout.directoryOffset + 16, 0xCC);
    Put32(bytes, 0, 0x500);
    Put32(bytes, 4, 0);
    Put32(bytes, 8, layout.directoryOffset);
    const std::size_t dir = layout.directoryOffset;
    const uint32_t total = layout.declaredRecords.value_or(static_cast<uint32_t>(records.size()));
    Put16(bytes, dir, 0);
    Put16(bytes, dir + 2, layout.secondPart);
    Put16(bytes, dir + 4, static_cast<uint16_t>(total - layout.secondPart));
    Put16(bytes, dir + 6, 0);
    Put16(bytes, dir + 8, layout.userSlots);
    Put16(bytes, dir + 10, layout.extras);
    Put32(bytes, dir + 12, 0);
    for (const UserMediaRecord& record : records) {
        bytes.insert(bytes.end(), record.bytes.begin(), record.bytes.end());
    }
    return bytes;
}

inline std::string AsString(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// A UCF: header, then the given slots (free ones all zero), padded with free slots to `slots`.
inline std::string Ucf(const std::vector<UserMediaRecord>& used, std::size_t slots,
                       std::size_t extras = 0) {
    std::string bytes = "\x07\x05";
    for (std::size_t i = 0; i < slots; ++i) {
        const UserMediaRecord record = i < used.size() ? used[i] : UserMediaRecord{};
        bytes.append(record.bytes.begin(), record.bytes.end());
    }
    bytes.append(extras * drivercfg::kExtraRecordSize, '\x5A');
    return bytes;
}

class ConfigTest : public ::testing::Test {
  protected:
    ConfigTest()
        : machine_("PLENWISE_MACHINE", scratch_ / "machine"), store_(host_), config_(store_) {
        machine::EnsureMachineFolder();
    }

    std::string Machine() const { return scratch_ / "machine"; }

    // Writes a file, making its folder.
    std::string WriteFile(const std::string& path, const std::string& bytes) const {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }

    void SetMachineValue(const char* key, const char* name, uint32_t type,
                         const std::vector<uint8_t>& data) const {
        reg::HKEY handle = nullptr;
        ASSERT_EQ(reg::RegCreateKeyEx(reg::HKEY_LOCAL_MACHINE, key, reg::KEY_ALL_ACCESS, &handle,
                                      nullptr),
                  reg::ERROR_SUCCESS);
        EXPECT_EQ(reg::RegSetValueEx(handle, name, type, data.data(),
                                     static_cast<reg::DWORD>(data.size())),
                  reg::ERROR_SUCCESS);
        reg::RegCloseKey(handle);
    }

    void SetProgramFiles(const char* name, uint32_t type, const std::string& text) const {
        std::vector<uint8_t> data(text.begin(), text.end());
        data.push_back(0);
        SetMachineValue("Software\\Microsoft\\Windows\\CurrentVersion", name, type, data);
    }

    // A chunk of the registry form of the CFG, as a Windows 98 driver stores it.
    void SetChunk(const std::string& valueName, const std::vector<uint8_t>& data) const {
        const std::string key = drivercfg::RegistryKeyPath(host_.driverName) + '\\' +
                                drivercfg::RegistryBaseName(host_.inkSet);
        SetMachineValue(key.c_str(), valueName.c_str(), reg::REG_BINARY, data);
    }
    void SetChunkCount(const std::string& valueName, uint32_t count) const {
        const std::string key = drivercfg::RegistryKeyPath(host_.driverName) + '\\' +
                                drivercfg::RegistryBaseName(host_.inkSet);
        std::vector<uint8_t> data(4);
        Put32(data, 0, count);
        SetMachineValue(key.c_str(), valueName.c_str(), reg::REG_DWORD, data);
    }

    testsupport::ScratchDir scratch_;
    testsupport::ScopedEnvironment machine_;
    FakeHost host_;
    UserSettings store_;
    DriverMediaConfig config_;
};

}  // namespace configtest
