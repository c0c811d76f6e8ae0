#include "platform/registry/hive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <utility>

#include "platform/registry/registry.h"
#include "platform/system/file.h"
#include "platform/system/operator_notice.h"
#include "platform/system/user_file.h"

namespace reg::hive {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// regedit breaks hex lists after this column.
constexpr std::size_t kHexLineWidth = 76;

char FoldChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldChar(a[i]) != FoldChar(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = FoldChar(c);
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// 1 to maxDigits hex digits and nothing else.
bool ParseHexNumber(std::string_view s, std::size_t maxDigits, uint32_t* out) {
    if (s.empty() || s.size() > maxDigits) {
        return false;
    }
    uint32_t value = 0;
    for (char c : s) {
        int digit = HexDigit(c);
        if (digit < 0) {
            return false;
        }
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    *out = value;
    return true;
}

bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t length;
        uint32_t codePoint;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            length = 2;
            codePoint = c & 0x1Fu;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            codePoint = c & 0x0Fu;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            codePoint = c & 0x07u;
        } else {
            return false;
        }
        if (s.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            codePoint = codePoint << 6 | (next & 0x3Fu);
        }
        constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < kSmallest[length] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

// The hive file's lines, trimmed, one after the other.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : rest_(text) {}

    bool Next(std::string_view& line) {
        if (done_) {
            return false;
        }
        std::size_t end = rest_.find('\n');
        if (end == std::string_view::npos) {
            line = rest_;
            done_ = true;
        } else {
            line = rest_.substr(0, end);
            rest_.remove_prefix(end + 1);
        }
        line = Trim(line);
        return true;
    }

  private:
    std::string_view rest_;
    bool done_ = false;
};

// A quoted string at the front of `s`, with \\ and \" unescaped; any other backslash stands for
// itself, as a hand-written path would mean it. Consumes the string from `s`.
bool ParseQuoted(std::string_view& s, std::string* out) {
    if (s.empty() || s.front() != '"') {
        return false;
    }
    out->clear();
    for (std::size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            c = s[++i];
        }
        out->push_back(c);
    }
    return false;
}

// A comma-separated list of bytes that continues on the next line after a trailing backslash.
bool ParseHexBytes(std::string_view first, LineReader& lines, std::vector<uint8_t>* out) {
    std::string joined;
    std::string_view piece = first;
    while (!piece.empty() && piece.back() == '\\') {
        piece.remove_suffix(1);
        joined.append(piece);
        if (!lines.Next(piece)) {
            return false;
        }
    }
    joined.append(piece);
    std::string_view rest = Trim(joined);
    out->clear();
    while (!rest.empty()) {
        std::size_t comma = rest.find(',');
        std::string_view token = Trim(rest.substr(0, comma));
        uint32_t byte = 0;
        if (!ParseHexNumber(token, 2, &byte)) {
            return false;
        }
        out->push_back(static_cast<uint8_t>(byte));
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
        if (rest.empty()) {
            return false;  // a list may not end with a comma
        }
    }
    return true;
}

bool ParseValueLine(std::string_view line, LineReader& lines, Key& key) {
    std::string name;
    if (line.front() == '@') {
        line.remove_prefix(1);
    } else if (!ParseQuoted(line, &name)) {
        return false;
    }
    if (!IsStorableName(name, kMaxValueNameBytes)) {
        return false;
    }
    line = Trim(line);
    if (line.empty() || line.front() != '=') {
        return false;
    }
    line = Trim(line.substr(1));

    uint32_t type = REG_BINARY;
    std::vector<uint8_t> data;
    if (!line.empty() && line.front() == '"') {
        std::string text;
        if (!ParseQuoted(line, &text) || !Trim(line).empty()) {
            return false;
        }
        type = REG_SZ;
        data.assign(text.begin(), text.end());
        data.push_back(0);
    } else if (line.starts_with("dword:")) {
        uint32_t number = 0;
        if (!ParseHexNumber(line.substr(6), 8, &number)) {
            return false;
        }
        type = REG_DWORD;
        data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
    } else if (line.starts_with("hex")) {
        line.remove_prefix(3);
        if (!line.empty() && line.front() == '(') {
            std::size_t close = line.find(')');
            if (close == std::string_view::npos ||
                !ParseHexNumber(line.substr(1, close - 1), 8, &type)) {
                return false;
            }
            line.remove_prefix(close + 1);
        }
        if (line.empty() || line.front() != ':' || !ParseHexBytes(line.substr(1), lines, &data)) {
            return false;
        }
    } else {
        return false;
    }
    key.SetValue(name, type, std::move(data));
    return true;
}

// "[ROOT\a\b]": opens (creating) the key the header names.
Key* ParseSection(std::string_view line, Key& root) {
    if (line.size() < 2 || line.back() != ']') {
        return nullptr;
    }
    std::string_view inner = line.substr(1, line.size() - 2);
    std::size_t slash = inner.find('\\');
    if (!EqualsFolded(inner.substr(0, slash), root.name)) {
        return nullptr;
    }
    KeyPath path;
    if (slash != std::string_view::npos &&
        AppendKeyPath(inner.substr(slash + 1), &path) != ERROR_SUCCESS) {
        return nullptr;
    }
    return &CreatePath(root, path, nullptr, nullptr);
}

void AppendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
}

// A REG_SZ value is written as "text" when that reads back as the same bytes and keeps the file
// line-based UTF-8 text: one terminating NUL, no other NUL, no control characters.
bool IsPlainString(const std::vector<uint8_t>& data) {
    if (data.empty() || data.back() != 0) {
        return false;
    }
    std::string_view text(reinterpret_cast<const char*>(data.data()), data.size() - 1);
    for (char c : text) {
        if (c == '\0' || IsControl(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return IsValidUtf8(text);
}

void AppendValue(std::string& out, const Value& value) {
    if (value.name.empty()) {
        out.push_back('@');
    } else {
        AppendQuoted(out, value.name);
    }
    out.push_back('=');
    char buffer[32];
    if (value.type == REG_SZ && IsPlainString(value.data)) {
        AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                           value.data.size() - 1));
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        uint32_t number = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                          static_cast<uint32_t>(value.data[3]) << 24;
        std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
        out += buffer;
    } else {
        if (value.type == REG_BINARY) {
            out += "hex:";
        } else {
            std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
            out += buffer;
        }
        std::size_t column = out.size() - out.rfind('\n') - 1;
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            std::snprintf(buffer, sizeof buffer, "%02x", value.data[i]);
            out += buffer;
            column += 2;
            if (i + 1 < value.data.size()) {
                out.push_back(',');
                ++column;
                if (column > kHexLineWidth) {
                    out += "\\\n  ";
                    column = 2;
                }
            }
        }
    }
    out.push_back('\n');
}

void AppendKey(std::string& out, const Key& key, const std::string& path) {
    out += '[' + path + "]\n";
    for (const Value& value : key.values) {
        AppendValue(out, value);
    }
    out.push_back('\n');
    for (const auto& [folded, subkey] : key.subkeys) {
        AppendKey(out, *subkey, path + '\\' + subkey->name);
    }
}

std::string ParentDirectory(const std::string& path) {
    std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? "." : parent;
}

std::string AsideName(const std::string& path) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = path + ".corrupt-" + stamp;
    std::string candidate = base;
    struct stat existing {};
    for (int n = 2; lstat(candidate.c_str(), &existing) == 0; ++n) {
        candidate = base + '-' + std::to_string(n);
    }
    return candidate;
}

}  // namespace

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string Fold(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        c = FoldChar(c);
    }
    return folded;
}

Key* Key::FindSubkey(std::string_view subkeyName) const {
    auto it = subkeys.find(Fold(subkeyName));
    return it == subkeys.end() ? nullptr : it->second.get();
}

Key& Key::CreateSubkey(std::string_view subkeyName, bool* created) {
    auto [it, inserted] = subkeys.try_emplace(Fold(subkeyName));
    if (inserted) {
        it->second = std::make_unique<Key>();
        it->second->name = subkeyName;
    }
    if (created && inserted) {
        *created = true;
    }
    return *it->second;
}

Value* Key::FindValue(std::string_view valueName) {
    for (Value& value : values) {
        if (EqualsFolded(value.name, valueName)) {
            return &value;
        }
    }
    return nullptr;
}

bool Key::SetValue(std::string_view valueName, uint32_t type, std::vector<uint8_t> data) {
    Value* value = FindValue(valueName);
    if (!value) {
        values.push_back(Value{std::string(valueName), type, std::move(data)});
        return true;
    }
    if (value->type == type && value->data == data) {
        return false;
    }
    value->type = type;
    value->data = std::move(data);
    return true;
}

bool Key::DeleteValue(std::string_view valueName) {
    Value* value = FindValue(valueName);
    if (!value) {
        return false;
    }
    values.erase(values.begin() + (value - values.data()));
    return true;
}

Key* FindPath(Key& root, const KeyPath& path, KeyPath* spelled) {
    Key* key = &root;
    if (spelled) {
        spelled->clear();
    }
    for (const std::string& component : path) {
        key = key->FindSubkey(component);
        if (!key) {
            return nullptr;
        }
        if (spelled) {
            spelled->push_back(key->name);
        }
    }
    return key;
}

Key& CreatePath(Key& root, const KeyPath& path, KeyPath* spelled, bool* created) {
    Key* key = &root;
    if (spelled) {
        spelled->clear();
    }
    for (const std::string& component : path) {
        key = &key->CreateSubkey(component, created);
        if (spelled) {
            spelled->push_back(key->name);
        }
    }
    return *key;
}

bool IsStorableName(std::string_view name, std::size_t maxBytes) {
    if (name.size() > maxBytes) {
        return false;
    }
    for (char c : name) {
        if (IsControl(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

int32_t AppendKeyPath(std::string_view text, KeyPath* path) {
    while (true) {
        std::size_t slash = text.find('\\');
        std::string_view component = text.substr(0, slash);
        if (component.empty()) {
            return ERROR_BAD_PATHNAME;
        }
        if (!IsStorableName(component, kMaxKeyNameBytes) || path->size() == kMaxKeyDepth) {
            return ERROR_INVALID_PARAMETER;
        }
        path->emplace_back(component);
        if (slash == std::string_view::npos) {
            return ERROR_SUCCESS;
        }
        text.remove_prefix(slash + 1);
    }
}

bool Parse(std::string_view text, Key& root) {
    if (text.starts_with(kUtf8Bom)) {
        text.remove_prefix(kUtf8Bom.size());
    }
    if (text.find('\0') != std::string_view::npos) {
        return false;
    }
    LineReader lines(text);
    std::string_view line;
    bool sawHeader = false;
    Key* current = nullptr;
    while (lines.Next(line)) {
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (!sawHeader) {
            if (line != kHeader) {
                return false;
            }
            sawHeader = true;
        } else if (line.front() == '[') {
            current = ParseSection(line, root);
            if (!current) {
                return false;
            }
        } else if (!current || !ParseValueLine(line, lines, *current)) {
            return false;
        }
    }
    return sawHeader;
}

std::string Serialize(const Key& root) {
    std::string out(kHeader);
    out += "\n\n";
    AppendKey(out, root, root.name);
    return out;
}

HiveFile::HiveFile(std::string path, std::string rootName)
    : path_(std::move(path)), rootName_(std::move(rootName)) {}

Key HiveFile::EmptyRoot() const {
    Key root;
    root.name = rootName_;
    return root;
}

HiveFile::Load HiveFile::LoadFile(Key& root) const {
    // Without blocking: a FIFO or device in the hive's place is no hive, and is set aside.
    int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) {
            return Load::Failed;
        }
        root = EmptyRoot();
        return Load::Ok;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        close(fd);
        return Load::Failed;
    }
    if (!S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) > kMaxHiveBytes) {
        close(fd);
        return Load::Corrupt;
    }
    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t filled = 0;
    while (filled < content.size()) {
        ssize_t got = read(fd, content.data() + filled, content.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            close(fd);
            return Load::Failed;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    close(fd);
    content.resize(filled);

    Key parsed = EmptyRoot();
    if (!content.empty() && !Parse(content, parsed)) {
        return Load::Corrupt;
    }
    root = std::move(parsed);
    return Load::Ok;
}

int32_t HiveFile::SetCorruptAside(Key& root) const {
    const std::string aside = AsideName(path_);
    if (std::rename(path_.c_str(), aside.c_str()) != 0) {
        return ERROR_REGISTRY_IO_FAILED;
    }
    root = EmptyRoot();
    // The machine's defaults are put back, or the settings that rest on them would vanish.
    if (rootName_ == "HKEY_LOCAL_MACHINE") {
        bool changed = false;
        SeedMachineDefaults(root, changed);
    }
    const int32_t status = Write(root);
    sys::TellOperator(sys::Notice::HiveSetAside,
                      "The registry file " + path_ + " was damaged. It is kept as " + aside +
                          ", and a new one " + (status == ERROR_SUCCESS ? "was" : "could not be") +
                          " started.");
    return status;
}

int32_t HiveFile::Write(const Key& root) const {
    std::string content = Serialize(root);
    if (content.size() > kMaxHiveBytes) {
        return ERROR_OUTOFMEMORY;
    }
    return sys::ReplaceUserFile(path_, content, sys::ReplaceOptions{}) ? ERROR_SUCCESS
                                                                       : ERROR_REGISTRY_IO_FAILED;
}

int32_t HiveFile::Read(Key& root) const {
    std::error_code error;
    if (!std::filesystem::is_directory(ParentDirectory(path_), error)) {
        root = EmptyRoot();
        return ERROR_SUCCESS;
    }
    Load result;
    {
        // Without a lock file (a read-only place) the file is still read: writers replace it
        // by rename, so a reader never sees half of one.
        const sys::UserFileLock lock(path_, sys::UserFileLock::Kind::Shared);
        result = LoadFile(root);
    }
    if (result == Load::Ok) {
        return ERROR_SUCCESS;
    }
    if (result == Load::Failed) {
        return ERROR_REGISTRY_IO_FAILED;
    }
    // Setting a corrupt file aside needs the exclusive lock; the update re-reads the file.
    return Update([&root](Key& current, bool&) {
        root = std::move(current);
        return ERROR_SUCCESS;
    });
}

int32_t HiveFile::Update(const Change& change) const {
    sys::MakeUserFolders(ParentDirectory(path_));
    const sys::UserFileLock lock(path_);
    if (!lock.Held()) {
        return ERROR_ACCESS_DENIED;
    }
    Key root = EmptyRoot();
    switch (LoadFile(root)) {
        case Load::Ok:
            break;
        case Load::Corrupt:
            if (int32_t status = SetCorruptAside(root); status != ERROR_SUCCESS) {
                return status;
            }
            break;
        case Load::Failed:
            return ERROR_REGISTRY_IO_FAILED;
    }
    bool changed = false;
    int32_t status = change(root, changed);
    if (status == ERROR_SUCCESS && changed) {
        status = Write(root);
    }
    return status;
}

}  // namespace reg::hive
