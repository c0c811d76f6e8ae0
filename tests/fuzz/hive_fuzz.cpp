// The registry's hive files. Whatever text the user's hive holds, the keys it names can be read
// value by value (a lookup by name agrees with the enumeration), and a change to another key,
// which reads, rewrites and replaces the file, keeps every value that could be read exactly as
// it was; the new value reads back as written. A hive that cannot be parsed is set aside and the
// change lands in a fresh one.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t kProbedKeys = 8;
constexpr reg::DWORD kProbedValues = 64;
constexpr reg::DWORD kLargestData = 1u << 20;
constexpr const char* kRootPrefix = "HKEY_CURRENT_USER\\";

struct Data {
    reg::DWORD type = 0;
    std::vector<uint8_t> bytes;
    bool operator==(const Data&) const = default;
};
using Snapshot = std::map<std::string, std::vector<std::pair<std::string, Data>>>;

// The keys that the hive's section lines name, as paths below the root.
std::vector<std::string> NamedKeys(std::string_view text) {
    std::vector<std::string> keys;
    size_t at = 0;
    while (at < text.size() && keys.size() < kProbedKeys) {
        size_t end = text.find('\n', at);
        std::string_view line = text.substr(at, end == std::string_view::npos ? end : end - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            std::string_view path = line.substr(1, line.size() - 2);
            if (path.starts_with(kRootPrefix)) {
                keys.emplace_back(path.substr(std::string_view(kRootPrefix).size()));
            }
        }
    }
    return keys;
}

// Every value of the key, by enumeration, each checked against a lookup by its name.
std::vector<std::pair<std::string, Data>> ReadValues(reg::HKEY key) {
    std::vector<std::pair<std::string, Data>> values;
    std::vector<char> name(16384);
    for (reg::DWORD index = 0; index < kProbedValues; ++index) {
        auto nameSize = static_cast<reg::DWORD>(name.size());
        reg::DWORD type = 0;
        reg::DWORD size = 0;
        const reg::LSTATUS sized =
            reg::RegEnumValue(key, index, name.data(), &nameSize, &type, nullptr, &size);
        if (sized == reg::ERROR_NO_MORE_ITEMS) {
            break;
        }
        FUZZ_CHECK(sized == reg::ERROR_SUCCESS);
        FUZZ_CHECK(nameSize < name.size() && name[nameSize] == '\0');
        const std::string valueName(name.data(), nameSize);
        if (size > kLargestData) {
            continue;
        }
        Data data{type, std::vector<uint8_t>(size)};
        reg::DWORD got = size;
        reg::DWORD lookedUpType = 0;
        FUZZ_CHECK(reg::RegQueryValueEx(key, valueName.c_str(), &lookedUpType, data.bytes.data(),
                                        &got) == reg::ERROR_SUCCESS);
        // Names are unique within a key, so the lookup finds the enumerated value.
        FUZZ_CHECK(got == size && lookedUpType == type);
        values.emplace_back(valueName, std::move(data));
    }
    return values;
}

Snapshot Read(const std::vector<std::string>& keys) {
    Snapshot snapshot;
    for (const std::string& path : keys) {
        reg::HKEY key = nullptr;
        if (reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER, path.c_str(), reg::KEY_READ, &key) ==
            reg::ERROR_SUCCESS) {
            snapshot[path] = ReadValues(key);
            reg::RegCloseKey(key);
        }
    }
    return snapshot;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("XDG_CONFIG_HOME", (fuzz::ScratchDir() + "/config").c_str(), 1);
    setenv("PLENWISE_MACHINE", (fuzz::ScratchDir() + "/machine").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string hive = reg::UserHivePath();
    std::filesystem::remove_all(std::filesystem::path(hive).parent_path());
    std::filesystem::create_directories(std::filesystem::path(hive).parent_path());
    fuzz::WriteFile(hive, data, size);

    const std::vector<std::string> keys = NamedKeys(fuzz::AsText(data, size));
    const Snapshot before = Read(keys);

    reg::HKEY probe = nullptr;
    reg::DWORD disposition = 0;
    const reg::LSTATUS created = reg::RegCreateKeyEx(reg::HKEY_CURRENT_USER, "Plenwise Fuzz\\Probe",
                                                     reg::KEY_ALL_ACCESS, &probe, &disposition);
    if (created != reg::ERROR_SUCCESS) {
        return 0;
    }
    const uint8_t written[] = {0x00, 0x0A, 0x22, 0x5C, 0xFF, 'x'};
    FUZZ_CHECK(reg::RegSetValueEx(probe, "Written \"value\"", reg::REG_BINARY, written,
                                  sizeof written) == reg::ERROR_SUCCESS);
    uint8_t back[sizeof written] = {};
    reg::DWORD backSize = sizeof back;
    reg::DWORD type = 0;
    FUZZ_CHECK(reg::RegQueryValueEx(probe, "written \"VALUE\"", &type, back, &backSize) ==
               reg::ERROR_SUCCESS);
    FUZZ_CHECK(type == reg::REG_BINARY && backSize == sizeof written &&
               std::equal(back, back + sizeof back, written));
    reg::RegCloseKey(probe);

    // The hive was rewritten: what was readable before reads the same. A hive set aside as
    // corrupt had nothing readable.
    const Snapshot after = Read(keys);
    for (const auto& [path, values] : before) {
        const auto found = after.find(path);
        FUZZ_CHECK(found != after.end());
        std::string folded = path;
        for (char& c : folded) {
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        }
        if (!folded.starts_with("plenwise fuzz\\probe")) {
            FUZZ_CHECK(found->second == values);
        }
    }
    return 0;
}
