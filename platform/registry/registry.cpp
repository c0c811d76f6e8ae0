#include "platform/registry/registry.h"

#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/registry/hive.h"
#include "platform/registry/machine_folder.h"
#include "platform/system/file.h"

namespace reg {

namespace {

enum class Root { CurrentUser, LocalMachine };

// What a handle stands for: a key path in one hive file, with the rights it was opened with.
// The key itself is looked up afresh in the file by every call.
struct OpenKey {
    Root root = Root::CurrentUser;
    std::string hivePath;
    hive::KeyPath path;
    REGSAM access = KEY_ALL_ACCESS;
};

// Handles are numbers into this table, so that a stale or invented handle is refused rather
// than followed.
std::mutex gMutex;
std::unordered_map<uintptr_t, OpenKey> gKeys;
uintptr_t gNextHandle = 0x1000;

const char* RootName(Root root) {
    return root == Root::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

hive::HiveFile HiveOf(const OpenKey& key) {
    return {key.hivePath, RootName(key.root)};
}

bool Resolve(HKEY key, OpenKey* out) {
    if (key == HKEY_CURRENT_USER) {
        *out = OpenKey{Root::CurrentUser, UserHivePath(), {}, KEY_ALL_ACCESS};
        return true;
    }
    if (key == HKEY_LOCAL_MACHINE) {
        hive::PrepareMachineFolder();
        *out = OpenKey{Root::LocalMachine, MachineHivePath(), {}, KEY_ALL_ACCESS};
        return true;
    }
    std::lock_guard<std::mutex> lock(gMutex);
    auto it = gKeys.find(reinterpret_cast<uintptr_t>(key));
    if (it == gKeys.end()) {
        return false;
    }
    *out = it->second;
    return true;
}

HKEY Register(OpenKey key) {
    std::lock_guard<std::mutex> lock(gMutex);
    uintptr_t handle = gNextHandle;
    gNextHandle += 4;
    gKeys.emplace(handle, std::move(key));
    return reinterpret_cast<HKEY>(handle);
}

// Appends a caller's subkey path to `path`: nullptr and "" add nothing, and one trailing
// backslash is ignored.
LSTATUS AppendSubKey(const char* subKey, hive::KeyPath* path) {
    std::string_view text = subKey ? subKey : "";
    if (!text.empty() && text.back() == '\\') {
        text.remove_suffix(1);
    }
    return text.empty() ? ERROR_SUCCESS : hive::AppendKeyPath(text, path);
}

// Resolves a handle for a value operation that needs `right`.
LSTATUS ResolveFor(HKEY key, REGSAM right, OpenKey* out) {
    if (!Resolve(key, out)) {
        return ERROR_INVALID_HANDLE;
    }
    return (out->access & right) == right ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS CheckValueName(const char* valueName, std::string_view* out) {
    *out = valueName ? valueName : "";
    return hive::IsStorableName(*out, hive::kMaxValueNameBytes) ? ERROR_SUCCESS
                                                                : ERROR_INVALID_PARAMETER;
}

// Hands a value's type and data to a caller's buffers, as RegQueryValueEx does.
LSTATUS CopyValue(const hive::Value& value, DWORD* type, uint8_t* data, DWORD* size) {
    if (data && !size) {
        return ERROR_INVALID_PARAMETER;
    }
    if (type) {
        *type = value.type;
    }
    auto needed = static_cast<DWORD>(value.data.size());
    if (!data) {
        if (size) {
            *size = needed;
        }
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed > 0) {
        std::memcpy(data, value.data.data(), needed);
    }
    *size = needed;
    return ERROR_SUCCESS;
}

// Reads the hive of an open key and finds the key in it; `root` keeps the tree alive.
LSTATUS ReadKey(const OpenKey& open, hive::Key& root, hive::Key** key) {
    if (LSTATUS status = HiveOf(open).Read(root); status != ERROR_SUCCESS) {
        return status;
    }
    *key = hive::FindPath(root, open.path);
    return *key ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

}  // namespace

LSTATUS RegCreateKeyEx(HKEY key, const char* subKey, REGSAM access, HKEY* result,
                       DWORD* disposition) {
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    OpenKey opened;
    if (LSTATUS status = ResolveFor(key, KEY_CREATE_SUB_KEY, &opened); status != ERROR_SUCCESS) {
        return status;
    }
    if (LSTATUS status = AppendSubKey(subKey, &opened.path); status != ERROR_SUCCESS) {
        return status;
    }
    opened.access = access;
    bool created = false;
    LSTATUS status = HiveOf(opened).Update([&opened, &created](hive::Key& root, bool& changed) {
        hive::KeyPath spelled;
        hive::CreatePath(root, opened.path, &spelled, &created);
        opened.path = std::move(spelled);
        changed = created;
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) {
        return status;
    }
    *result = Register(std::move(opened));
    if (disposition) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyEx(HKEY key, const char* subKey, REGSAM access, HKEY* result) {
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    OpenKey opened;
    if (!Resolve(key, &opened)) {
        return ERROR_INVALID_HANDLE;
    }
    if (LSTATUS status = AppendSubKey(subKey, &opened.path); status != ERROR_SUCCESS) {
        return status;
    }
    hive::Key root;
    if (LSTATUS status = HiveOf(opened).Read(root); status != ERROR_SUCCESS) {
        return status;
    }
    hive::KeyPath spelled;
    if (!hive::FindPath(root, opened.path, &spelled)) {
        return ERROR_FILE_NOT_FOUND;
    }
    opened.path = std::move(spelled);
    opened.access = access;
    *result = Register(std::move(opened));
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) {
        return ERROR_SUCCESS;
    }
    std::lock_guard<std::mutex> lock(gMutex);
    return gKeys.erase(reinterpret_cast<uintptr_t>(key)) == 1 ? ERROR_SUCCESS
                                                              : ERROR_INVALID_HANDLE;
}

LSTATUS RegQueryValueEx(HKEY key, const char* valueName, DWORD* type, uint8_t* data, DWORD* size) {
    OpenKey open;
    std::string_view name;
    if (LSTATUS status = ResolveFor(key, KEY_QUERY_VALUE, &open); status != ERROR_SUCCESS) {
        return status;
    }
    if (LSTATUS status = CheckValueName(valueName, &name); status != ERROR_SUCCESS) {
        return status;
    }
    hive::Key root;
    hive::Key* found = nullptr;
    if (LSTATUS status = ReadKey(open, root, &found); status != ERROR_SUCCESS) {
        return status;
    }
    const hive::Value* value = found->FindValue(name);
    return value ? CopyValue(*value, type, data, size) : ERROR_FILE_NOT_FOUND;
}

LSTATUS RegSetValueEx(HKEY key, const char* valueName, DWORD type, const uint8_t* data,
                      DWORD size) {
    OpenKey open;
    std::string_view name;
    if (LSTATUS status = ResolveFor(key, KEY_SET_VALUE, &open); status != ERROR_SUCCESS) {
        return status;
    }
    if (LSTATUS status = CheckValueName(valueName, &name); status != ERROR_SUCCESS) {
        return status;
    }
    if (!data && size > 0) {
        return ERROR_INVALID_PARAMETER;
    }
    std::vector<uint8_t> bytes(data, data + size);
    return HiveOf(open).Update([&](hive::Key& root, bool& changed) {
        hive::Key& target = hive::CreatePath(root, open.path, nullptr, &changed);
        changed = target.SetValue(name, type, bytes) || changed;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteValue(HKEY key, const char* valueName) {
    OpenKey open;
    std::string_view name;
    if (LSTATUS status = ResolveFor(key, KEY_SET_VALUE, &open); status != ERROR_SUCCESS) {
        return status;
    }
    if (LSTATUS status = CheckValueName(valueName, &name); status != ERROR_SUCCESS) {
        return status;
    }
    return HiveOf(open).Update([&](hive::Key& root, bool& changed) {
        hive::Key* target = hive::FindPath(root, open.path);
        changed = target && target->DeleteValue(name);
        return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

LSTATUS RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* type, uint8_t* data,
                     DWORD* dataSize) {
    if (!name || !nameSize) {
        return ERROR_INVALID_PARAMETER;
    }
    OpenKey open;
    if (LSTATUS status = ResolveFor(key, KEY_QUERY_VALUE, &open); status != ERROR_SUCCESS) {
        return status;
    }
    hive::Key root;
    hive::Key* found = nullptr;
    if (LSTATUS status = ReadKey(open, root, &found); status != ERROR_SUCCESS) {
        return status;
    }
    if (index >= found->values.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const hive::Value& value = found->values[index];
    auto length = static_cast<DWORD>(value.name.size());
    if (*nameSize <= length) {
        *nameSize = length + 1;
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, value.name.c_str(), length + 1);
    *nameSize = length;
    return CopyValue(value, type, data, dataSize);
}

std::string UserHivePath() {
    return sys::XdgBaseDirectory("XDG_CONFIG_HOME", ".config") + "/plenwise/user.reg";
}

std::string MachineHivePath() {
    return machine::MachineFolder() + "/machine.reg";
}

}  // namespace reg
