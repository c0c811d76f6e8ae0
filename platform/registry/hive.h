// The hive files behind the registry: one key tree per file, kept in the Windows `.reg` text
// format (docs/registry.md). Internal to plenwise_registry.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace reg::hive {

// Names are compared with ASCII case folding, as the registry compares them.
std::string Fold(std::string_view name);

// Without leading and trailing blanks (and a line's trailing carriage return).
std::string_view Trim(std::string_view s);

struct Value {
    std::string name;  // spelling of first creation; "" is the default value
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

struct Key {
    std::string name;           // spelling of first creation
    std::vector<Value> values;  // in creation order
    // Subkeys by folded name, so that they are listed in the order the registry enumerates them.
    std::map<std::string, std::unique_ptr<Key>> subkeys;

    Key* FindSubkey(std::string_view subkeyName) const;
    Key& CreateSubkey(std::string_view subkeyName, bool* created);
    Value* FindValue(std::string_view valueName);
    // Replaces the data of an existing value (keeping its spelling) or appends a new one.
    // False when the value already held exactly this type and data.
    bool SetValue(std::string_view valueName, uint32_t type, std::vector<uint8_t> data);
    bool DeleteValue(std::string_view valueName);
};

using KeyPath = std::vector<std::string>;

// The key at `path` below `root`, or nullptr; `spelled` (optional) receives the stored spelling
// of each component.
Key* FindPath(Key& root, const KeyPath& path, KeyPath* spelled = nullptr);
// The key at `path`, creating what is missing; `spelled` receives the stored spelling of each
// component and `created` whether any key was added.
Key& CreatePath(Key& root, const KeyPath& path, KeyPath* spelled, bool* created);

// Limits on names and nesting, as the registry sets them (the depth also keeps recursion over a
// tree shallow), and on the hive file, so that a huge or hostile file cannot exhaust memory.
inline constexpr std::size_t kMaxKeyNameBytes = 255;
inline constexpr std::size_t kMaxKeyDepth = 512;
inline constexpr std::size_t kMaxValueNameBytes = 16383;
inline constexpr std::size_t kMaxHiveBytes = std::size_t{64} << 20;

// A key or value name is storable when it fits its limit and holds no control character (the
// file is line-based). Key names are checked by the caller for backslashes.
bool IsStorableName(std::string_view name, std::size_t maxBytes);

// Appends the components of a backslash-separated key path to `path`: ERROR_BAD_PATHNAME for an
// empty component, ERROR_INVALID_PARAMETER for one that is not storable or too deep a path.
int32_t AppendKeyPath(std::string_view text, KeyPath* path);

// Parses a hive file's text into `root` (whose name is the file's root, e.g.
// "HKEY_CURRENT_USER"). False when the text is not a hive of that root.
bool Parse(std::string_view text, Key& root);
std::string Serialize(const Key& root);

// A hive file and the lock file beside it. Every operation reads the file afresh.
class HiveFile {
  public:
    HiveFile(std::string path, std::string rootName);

    // Loads the current content under a shared lock. A missing file is an empty hive; a file
    // that cannot be parsed (or is no regular file) is moved aside, the operator is told
    // (sys::Notice::HiveSetAside), and it is replaced by an empty hive, with the machine's
    // defaults in the machine hive. Returns a Windows status.
    int32_t Read(Key& root) const;

    // Read-modify-write under an exclusive lock: loads the current content, applies `change`
    // (which sets `changed` when it modified the tree and returns a status), and when it
    // succeeded with a change, replaces the file atomically. Returns the status.
    using Change = std::function<int32_t(Key& root, bool& changed)>;
    int32_t Update(const Change& change) const;

    const std::string& path() const { return path_; }

  private:
    enum class Load { Ok, Corrupt, Failed };
    Load LoadFile(Key& root) const;
    int32_t SetCorruptAside(Key& root) const;
    int32_t Write(const Key& root) const;
    Key EmptyRoot() const;

    std::string path_;
    std::string rootName_;
};

// Puts the machine hive's defaults (the program files values) where they are missing, setting
// `changed` when it adds any (machine_folder.cpp).
void SeedMachineDefaults(Key& root, bool& changed);

// Makes sure the machine folder is laid out before its hive is used, cheaply when it is
// (machine_folder.cpp).
void PrepareMachineFolder();

}  // namespace reg::hive
