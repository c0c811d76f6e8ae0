#include "platform/system/file.h"

#include <fcntl.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <optional>
#include <string_view>

extern char** environ;

namespace sys {

namespace {

std::optional<std::string_view> FindVariable(std::string_view name) {
    if (name.empty() || name.find('=') != std::string_view::npos || environ == nullptr) {
        return std::nullopt;
    }
    const char* caseInsensitiveMatch = nullptr;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view item(*entry);
        if (item.size() <= name.size() || item[name.size()] != '=') {
            continue;
        }
        if (item.compare(0, name.size(), name) == 0) {
            return item.substr(name.size() + 1);
        }
        if (caseInsensitiveMatch == nullptr &&
            ::strncasecmp(item.data(), name.data(), name.size()) == 0) {
            caseInsensitiveMatch = *entry + name.size() + 1;
        }
    }
    if (caseInsensitiveMatch != nullptr) {
        return std::string_view(caseInsensitiveMatch);
    }
    return std::nullopt;
}

}  // namespace

uint32_t GetFileAttributes(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return kInvalidFileAttributes;
    }
    uint32_t attributes = S_ISDIR(info.st_mode) ? kFileAttributeDirectory : kFileAttributeArchive;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        attributes |= kFileAttributeReadOnly;
    }
    return attributes;
}

std::string ExpandEnvironmentStrings(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    size_t position = 0;
    while (position < text.size()) {
        const size_t open = text.find('%', position);
        if (open == std::string::npos) {
            break;
        }
        const size_t close = text.find('%', open + 1);
        if (close == std::string::npos) {
            break;
        }
        result.append(text, position, open - position);
        const std::string_view name(text.data() + open + 1, close - open - 1);
        if (const auto value = FindVariable(name)) {
            result.append(*value);
        } else {
            result.append(text, open, close - open + 1);
        }
        position = close + 1;
    }
    result.append(text, position, std::string::npos);
    return result;
}

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') {
        return home;
    }
    const long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(bufferSize > 0 ? static_cast<std::size_t>(bufferSize) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir) {
        return found->pw_dir;
    }
    return "/";
}

std::string XdgBaseDirectory(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') {
        return value;
    }
    return HomeDirectory() + '/' + fallback;
}

InputFile::InputFile(const std::string& path) {
    if (path.empty()) {
        return;
    }
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd_);
        fd_ = -1;
    }
    if (fd_ >= 0) {
        size_ = static_cast<uint64_t>(info.st_size);
    }
}

InputFile::~InputFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::size_t InputFile::ReadAt(uint64_t offset, void* buffer, std::size_t length) const {
    auto* bytes = static_cast<uint8_t*>(buffer);
    std::size_t done = 0;
    while (fd_ >= 0 && done < length) {
        const ssize_t got =
            ::pread(fd_, bytes + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::vector<uint8_t> InputFile::ReadAt(uint64_t offset, std::size_t length) const {
    if (offset >= size_) {
        return {};
    }
    std::vector<uint8_t> bytes(
        static_cast<std::size_t>(std::min<uint64_t>(length, size_ - offset)));
    bytes.resize(ReadAt(offset, bytes.data(), bytes.size()));
    return bytes;
}

}  // namespace sys
