// Profile-format (INI) files with the rules of the system the modules were designed for:
// section and key names match regardless of ASCII case, lines are kept where they stand when a
// value changes, the file is created by the first write, a missing value gives the default, and
// a string is cut to the caller's buffer size. Unlike there, every write that fails says so, and
// a file is replaced atomically, so that a reader never sees half of one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/export.h"

namespace profile {

// One profile file held as its lines. Lines that are neither section headers nor key=value
// lines (comments starting with ';', blank lines, anything else) are carried unchanged.
class PLENWISE_API ProfileFile {
  public:
    // Reads `path`. A missing file is an empty profile. False, leaving the profile empty, when
    // the file exists but cannot be read or is far larger than any profile.
    bool Load(const std::string& path);

    // The value of the key in the first section of that name: blanks around it removed, and one
    // pair of matching outer quotes (" or ') removed. nullopt when section or key is missing.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // The value of the key in each section, as Value reads it, in file order: one entry per
    // section name (its first section, named as its header spells it), nullopt where the key is
    // missing. One pass over the file, however many sections it has.
    struct SectionValue {
        std::string section;
        std::optional<std::string> value;
    };
    std::vector<SectionValue> ValuesOfKey(std::string_view key) const;
    // The value, or the default when missing, read by the rules of GetPrivateProfileString and
    // GetPrivateProfileInt below.
    std::string StringValue(std::string_view section, std::string_view key,
                            std::string_view defaultValue, std::size_t bufferSize) const;
    int32_t IntValue(std::string_view section, std::string_view key, int32_t defaultValue) const;

    // Replaces the value of an existing key in place (keeping the key's spelling) or adds the
    // key at the end of its section, or the section at the end of the file. False, changing
    // nothing, when a name or the value cannot be stored in the format: line breaks or NULs, a
    // ']' in the section name, a '=' in the key, a key that is empty or starts with '[' or ';'.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    // Remove the key's line, or the section's header and all its lines; false when there was
    // nothing to remove.
    bool RemoveKey(std::string_view section, std::string_view key);
    bool RemoveSection(std::string_view section);

    std::size_t LineCount() const { return lines_.size(); }

    // Writes the profile to `path`, replacing the file atomically (sys::ReplaceUserFile; a link
    // is written through). Keeps a read-only file and reports false, as does a missing directory
    // or any failed write, with the reason in `error`.
    bool Save(const std::string& path, std::string* error = nullptr) const;

  private:
    struct Span {
        std::size_t header;  // index of the section's header line
        std::size_t end;     // one past the section's last line
    };
    std::optional<Span> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(const Span& span, std::string_view key) const;

    std::vector<std::string> lines_;
    std::string lineEnd_ = "\n";
    bool byteOrderMark_ = false;
};

// The value of the key, or `defaultValue` (without its trailing blanks) when the file, the
// section or the key is missing; cut to bufferSize - 1 bytes, as a buffer of bufferSize bytes
// with its terminating NUL would hold it (bufferSize 0 gives "").
PLENWISE_API std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                                 std::string_view defaultValue,
                                                 std::size_t bufferSize, const std::string& file);

// The value read as a decimal integer: optional blanks, an optional sign, then digits up to the
// first other character (so "12ab" gives 12 and "ab" gives 0). `defaultValue` when the key is
// missing or its value empty. Only the first 29 characters count, as in a 30-byte buffer.
PLENWISE_API int32_t GetPrivateProfileInt(std::string_view section, std::string_view key,
                                          int32_t defaultValue, const std::string& file);

// Sets the key to the value. A null value removes the key, a null key the whole section (a file
// without them is left untouched). True when the file now holds the change; false when it could not
// be read or written or the names cannot be stored (see ProfileFile::Set).
PLENWISE_API bool WritePrivateProfileString(std::string_view section, const char* key,
                                            const char* value, const std::string& file);

}  // namespace profile
