#include "util/settings/driver_files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/system/file.h"

namespace util {

namespace {

// Why the file cannot be read, or "" when it can; a missing file is "" when `mayBeMissing`.
std::string OpenProblem(const std::string& path, bool mayBeMissing, off_t* size) {
    // Not blocking on a FIFO put in the file's place.
    sys::Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid()) {
        return errno == ENOENT && mayBeMissing ? "" : std::strerror(errno);
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        return std::strerror(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return "it is a folder";
    }
    if (!S_ISREG(info.st_mode)) {
        return "it is not a regular file";
    }
    if (size != nullptr) {
        *size = info.st_size;
    }
    return {};
}

}  // namespace

std::optional<DriverFileFault> CheckDriverFiles(MediaSettingsStore& store) {
    const bool counted = store.ReadSlotCounts();
    if (!counted || store.UserSlotCount() <= 0) {
        const std::string cfg = store.CfgPath();
        if (cfg.empty()) {
            // Windows 95/98/Me keep it in the machine's registry.
            return DriverFileFault{
                "the media configuration in the registry",
                counted ? "it has no room for custom media settings" : "it is missing or damaged"};
        }
        off_t size = 0;
        std::string reason = OpenProblem(cfg, false, &size);
        if (reason.empty()) {
            reason = size == 0  ? "it is empty"
                     : !counted ? "it is damaged: it ends before its media directory"
                                : "it has no room for custom media settings";
        }
        return DriverFileFault{cfg, reason};
    }
    const std::string ucf = store.UcfPath();
    if (!ucf.empty()) {
        std::string reason = OpenProblem(ucf, true, nullptr);
        if (!reason.empty()) {
            return DriverFileFault{ucf, reason};
        }
    }
    return std::nullopt;
}

}  // namespace util
