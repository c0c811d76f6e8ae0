#include "platform/profile/profile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

#include "platform/system/file.h"
#include "platform/system/user_file.h"

namespace profile {

namespace {

// Profiles are a few kilobytes; a file beyond this is not one, and is neither read nor replaced.
constexpr std::uintmax_t kMaxProfileBytes = std::uintmax_t{16} << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// GetPrivateProfileInt reads the value into a buffer of this many bytes.
constexpr std::size_t kIntBufferSize = 30;

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    return folded;
}

// A value without one pair of matching outer quotes (" or ').
std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

// The name of a section header line ("[name]"; a missing ']' ends the name with the line).
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    line.remove_prefix(1);
    return Trim(line.substr(0, line.find(']')));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    line = Trim(line);
    const auto equals = line.find('=');
    if (line.empty() || line.front() == ';' || line.front() == '[' ||
        equals == std::string_view::npos) {
        return std::nullopt;
    }
    return KeyLine{Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

bool ProfileFile::Load(const std::string& path) {
    lines_.clear();
    lineEnd_ = "\n";
    byteOrderMark_ = false;
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return true;
    }
    if (error || !std::filesystem::is_regular_file(status)) {
        return false;
    }
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxProfileBytes) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad() || content.size() > kMaxProfileBytes) {
        return false;
    }

    std::string_view rest = content;
    if (rest.starts_with(kByteOrderMark)) {
        byteOrderMark_ = true;
        rest.remove_prefix(kByteOrderMark.size());
    }
    const auto firstBreak = rest.find('\n');
    if (firstBreak != std::string_view::npos && firstBreak > 0 && rest[firstBreak - 1] == '\r') {
        lineEnd_ = "\r\n";
    }
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        // A line cannot end in a carriage return: written back, it would read as a CR-LF end.
        while (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines_.emplace_back(line);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return true;
}

std::optional<ProfileFile::Span> ProfileFile::FindSection(std::string_view section) const {
    const std::string_view wanted = Trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i]);
        if (!name || !EqualIgnoringCase(*name, wanted)) {
            continue;
        }
        std::size_t end = i + 1;
        while (end < lines_.size() && !SectionName(lines_[end])) {
            ++end;
        }
        return Span{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> ProfileFile::FindKey(const Span& span, std::string_view key) const {
    const std::string_view wanted = Trim(key);
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        const auto line = ParseKeyLine(lines_[i]);
        if (line && EqualIgnoringCase(line->key, wanted)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ProfileFile::Value(std::string_view section,
                                              std::string_view key) const {
    const auto span = FindSection(section);
    const auto index = span ? FindKey(*span, key) : std::nullopt;
    if (!index) {
        return std::nullopt;
    }
    return std::string(Unquoted(ParseKeyLine(lines_[*index])->value));
}

std::vector<ProfileFile::SectionValue> ProfileFile::ValuesOfKey(std::string_view key) const {
    const std::string_view wanted = Trim(key);
    std::vector<SectionValue> values;
    std::set<std::string> seen;
    bool counting = false;  // in the first section of its name, whose key is still missing
    for (const std::string& line : lines_) {
        if (const auto name = SectionName(line)) {
            counting = seen.insert(Folded(*name)).second;
            if (counting) {
                values.push_back({std::string(*name), std::nullopt});
            }
            continue;
        }
        const auto keyLine = counting ? ParseKeyLine(line) : std::nullopt;
        if (keyLine && EqualIgnoringCase(keyLine->key, wanted)) {
            values.back().value = std::string(Unquoted(keyLine->value));
            counting = false;
        }
    }
    return values;
}

bool ProfileFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (HasLineBreakOrNul(section) || section.find(']') != std::string_view::npos ||
        HasLineBreakOrNul(key) || key.empty() || key.front() == '[' || key.front() == ';' ||
        key.find('=') != std::string_view::npos || HasLineBreakOrNul(value)) {
        return false;
    }
    const auto span = FindSection(section);
    if (!span) {
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(std::string(key) + "=" + std::string(value));
        return true;
    }
    if (const auto index = FindKey(*span, key)) {
        const std::string_view storedKey = ParseKeyLine(lines_[*index])->key;
        lines_[*index] = std::string(storedKey) + "=" + std::string(value);
        return true;
    }
    // After the section's last non-blank line, so that a blank line before the next section
    // stays there.
    std::size_t at = span->end;
    while (at > span->header + 1 && Trim(lines_[at - 1]).empty()) {
        --at;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  std::string(key) + "=" + std::string(value));
    return true;
}

bool ProfileFile::RemoveKey(std::string_view section, std::string_view key) {
    const auto span = FindSection(section);
    const auto index = span ? FindKey(*span, key) : std::nullopt;
    if (!index) {
        return false;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*index));
    return true;
}

bool ProfileFile::RemoveSection(std::string_view section) {
    const auto span = FindSection(section);
    if (!span) {
        return false;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(span->header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(span->end));
    return true;
}

bool ProfileFile::Save(const std::string& path, std::string* error) const {
    // A link is written through, as the file it names is the profile; its attributes are the
    // file's.
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const std::string directory = parent.empty() ? std::string(".") : parent.string();
    const uint32_t directoryAttributes = sys::GetFileAttributes(directory);
    const uint32_t fileAttributes = sys::GetFileAttributes(path);
    if (directoryAttributes == sys::kInvalidFileAttributes ||
        (directoryAttributes & sys::kFileAttributeDirectory) == 0 ||
        (directoryAttributes & sys::kFileAttributeReadOnly) != 0 ||
        (fileAttributes != sys::kInvalidFileAttributes &&
         (fileAttributes & (sys::kFileAttributeDirectory | sys::kFileAttributeReadOnly)) != 0)) {
        if (error != nullptr) {
            *error = path + ": cannot be written there";
        }
        return false;
    }
    std::string content = byteOrderMark_ ? std::string(kByteOrderMark) : std::string();
    for (const std::string& line : lines_) {
        content += line;
        content += lineEnd_;
    }
    return sys::ReplaceUserFile(path, content, sys::ReplaceOptions{}, error);
}

std::string ProfileFile::StringValue(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, std::size_t bufferSize) const {
    const std::optional<std::string> value = Value(section, key);
    std::string text =
        value ? *value
              : std::string(defaultValue.substr(0, defaultValue.find_last_not_of(' ') + 1));
    if (bufferSize == 0) {
        return {};
    }
    if (text.size() > bufferSize - 1) {
        text.resize(bufferSize - 1);
    }
    return text;
}

int32_t ProfileFile::IntValue(std::string_view section, std::string_view key,
                              int32_t defaultValue) const {
    const std::string text = StringValue(section, key, "", kIntBufferSize);
    if (text.empty()) {
        return defaultValue;
    }
    std::size_t i = text.find_first_not_of(" \t");
    bool negative = false;
    if (i != std::string::npos && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated like the unsigned 32-bit result of the Windows call, which wraps on overflow.
    uint32_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    return static_cast<int32_t>(negative ? 0U - magnitude : magnitude);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t bufferSize,
                                    const std::string& file) {
    // A file that cannot be read is an empty profile here, which gives the default.
    ProfileFile profile;
    profile.Load(file);
    return profile.StringValue(section, key, defaultValue, bufferSize);
}

int32_t GetPrivateProfileInt(std::string_view section, std::string_view key, int32_t defaultValue,
                             const std::string& file) {
    ProfileFile profile;
    profile.Load(file);
    return profile.IntValue(section, key, defaultValue);
}

bool WritePrivateProfileString(std::string_view section, const char* key, const char* value,
                               const std::string& file) {
    ProfileFile profile;
    if (!profile.Load(file)) {
        return false;
    }
    if (key == nullptr || value == nullptr) {
        const bool removed =
            key == nullptr ? profile.RemoveSection(section) : profile.RemoveKey(section, key);
        return !removed || profile.Save(file);
    }
    return profile.Set(section, key, value) && profile.Save(file);
}

}  // namespace profile
