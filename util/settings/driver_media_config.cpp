#include "util/settings/driver_media_config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/registry/machine_folder.h"
#include "platform/registry/registry.h"
#include "platform/system/file.h"
#include "platform/system/user_file.h"
#include "util/settings/text_cut.h"

namespace {

// Files are opened without blocking, so that a FIFO or device standing where a configuration file
// should be cannot stall the wizard; only regular files are read.
using sys::Descriptor;

// Up to `length` bytes from `offset` of a regular file, fewer where it ends or cannot be read.
std::vector<uint8_t> ReadAt(int fd, uint64_t offset, std::size_t length) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<uint64_t>(info.st_size) <= offset) {
        return {};
    }
    length = static_cast<std::size_t>(
        std::min<uint64_t>(length, static_cast<uint64_t>(info.st_size) - offset));
    std::vector<uint8_t> bytes(length);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            ::pread(fd, bytes.data() + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace

namespace drivercfg {

const std::array<uint8_t, kExtraRecordSize> kExtraRecordTemplate{
    0x00, 0x03, 0xA0, 0x0B, 0x00, 0x00, 0x71, 0x10, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x03,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x0F, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0x00, 0x08, 0xC7, 0x53,
    0x02, 0x00, 0xEF, 0x66, 0x1D, 0x85, 0xCF, 0xCF, 0x67, 0x65, 0x46, 0x08, 0xC7, 0x53,
    0x00, 0x00, 0x32, 0x85, 0x7F, 0x4D, 0x02, 0x00, 0xEF, 0x66, 0x37, 0x85, 0x0E, 0x2D,
};

namespace {

constexpr const char* kCurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr uint16_t kModeCodeFlag4 = 6;
constexpr uint16_t kModeCodeFlag8 = 15;
constexpr uint16_t kModeLevelFlag2 = 2;
constexpr uint16_t kModeLevelHighestFlag1 = 1;

uint16_t UInt16At(const std::vector<uint8_t>& data, std::size_t offset) {
    return static_cast<uint16_t>(data[offset] | data[offset + 1] << 8);
}

uint32_t UInt32At(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// A string value of the machine's CurrentVersion key, expanded when asked and stored as
// REG_EXPAND_SZ; "" when it cannot be read or does not fit a path.
std::string ProgramFilesDirectory(const char* valueName, bool expand) {
    reg::HKEY key = nullptr;
    if (reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE, kCurrentVersionKey, reg::KEY_QUERY_VALUE,
                          &key) != reg::ERROR_SUCCESS) {
        return {};
    }
    std::vector<uint8_t> buffer(PATH_MAX);
    reg::DWORD type = reg::REG_NONE;
    auto size = static_cast<reg::DWORD>(buffer.size());
    const reg::LSTATUS status = reg::RegQueryValueEx(key, valueName, &type, buffer.data(), &size);
    reg::RegCloseKey(key);
    if (status != reg::ERROR_SUCCESS || (type != reg::REG_SZ && type != reg::REG_EXPAND_SZ)) {
        return {};
    }
    const auto end = std::find(buffer.begin(), buffer.begin() + size, uint8_t{0});
    std::string directory(buffer.begin(), end);
    if (expand && type == reg::REG_EXPAND_SZ) {
        directory = sys::ExpandEnvironmentStrings(directory);
    }
    return directory.size() < PATH_MAX ? directory : std::string();
}

// The driver name becomes one folder name of the UCF path.
bool IsFolderName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

std::string ConfigFileName(int32_t inkSet, const ConfigFileNames& names, const char* extension) {
    return "A_DD" + std::to_string(names.fixedFiles ? 1 : inkSet) + "4" + names.sizeLetter +
           names.regionLetter + extension;
}

// Appends one chunk value when it exists and fits below the bound; false once the bound is hit.
bool AppendChunk(reg::HKEY key, const std::string& name, std::vector<uint8_t>& data) {
    reg::DWORD size = 0;
    if (reg::RegQueryValueEx(key, name.c_str(), nullptr, nullptr, &size) != reg::ERROR_SUCCESS ||
        size == 0) {
        return true;
    }
    if (size > kMaxConfigBytes - data.size()) {
        return false;
    }
    std::vector<uint8_t> chunk(size);
    // A value that changed size since it was measured counts as missing.
    if (reg::RegQueryValueEx(key, name.c_str(), nullptr, chunk.data(), &size) ==
        reg::ERROR_SUCCESS) {
        data.insert(data.end(), chunk.begin(), chunk.begin() + size);
    }
    return true;
}

}  // namespace

std::string RegistryBaseName(int32_t inkSet) {
    std::string name = kRegistryBaseName;
    if (inkSet == 1) {
        name += "_A";
    } else if (inkSet == 2) {
        name += "_B";
    } else if (inkSet == 3) {
        name += "_C";
    }
    return name;
}

std::string RegistryKeyPath(std::string_view driverName) {
    return std::string(kRegistryKey) + std::string(driverName);
}

std::string CfgFilePath(OsKind kind, int32_t inkSet, const ConfigFileNames& names) {
    const char* version = kind == OsKind::NtBefore5    ? "2"
                          : kind == OsKind::Nt5OrLater ? "3"
                                                       : nullptr;
    if (version == nullptr) {
        return {};
    }
    return machine::GetSystemDirectory() + "/spool/Drivers/W32x86/" + version + '/' +
           ConfigFileName(inkSet, names, ".CFG");
}

std::string DriverUserFile(OsKind kind, std::string_view driverName, const std::string& fileName) {
    const std::string directory = kind == OsKind::Nt5OrLater
                                      ? ProgramFilesDirectory("ProgramFilesPath", true)
                                      : ProgramFilesDirectory("ProgramFilesDir", false);
    // An unreadable directory leaves no location rather than one at the file system's root.
    if (directory.empty() || directory.front() != '/' || !IsFolderName(driverName)) {
        return {};
    }
    std::string path = directory + "/ARVEN/" + std::string(driverName) + '/' + fileName;
    return path.size() < PATH_MAX ? path : std::string();
}

std::string UcfFilePath(OsKind kind, int32_t inkSet, const ConfigFileNames& names,
                        std::string_view driverName) {
    switch (kind) {
        case OsKind::Windows9x:
            return machine::GetWindowsDirectory() + "/Ariui" + names.regionLetter + '7' +
                   names.sizeLetter +
                   (names.fixedFiles ? std::string(".UCF") : ".UC" + std::to_string(inkSet - 1));
        case OsKind::NtBefore5:
        case OsKind::Nt5OrLater:
            return DriverUserFile(kind, driverName, ConfigFileName(inkSet, names, ".UCF"));
        case OsKind::Other:
            break;
    }
    return {};
}

std::vector<uint8_t> ReadCfgFile(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid()) {
        return {};
    }
    return ReadAt(file.get(), 0, kMaxConfigBytes);
}

UserFileRead ReadUserFileForSave(const std::string& path) {
    UserFileRead read;
    // A link is not followed: it could make the save write into a file nobody named.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid()) {
        if (errno == ENOENT) {
            read.ok = true;
        } else {
            read.error = errno == ELOOP ? path + ": is a symbolic link" : sys::ErrnoReason(path);
        }
        return read;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        read.error = path + ": not a regular file";
        return read;
    }
    if (static_cast<uint64_t>(info.st_size) > kMaxConfigBytes) {
        read.error = path + ": too large for a user configuration";
        return read;
    }
    read.exists = true;
    read.bytes = ReadAt(file.get(), 0, static_cast<std::size_t>(info.st_size));
    read.ok = read.bytes.size() == static_cast<std::size_t>(info.st_size);
    if (!read.ok) {
        read.error = path + ": cannot be read whole";
    }
    return read;
}

bool IsUserFileOfFamily(const std::vector<uint8_t>& bytes, uint8_t headerHighByte,
                        std::size_t slotCount, std::size_t slotSize) {
    // A file shorter than its slots (the driver sized it for fewer) ends between two slots.
    return bytes.size() >= kUcfHeaderSize && bytes[1] == headerHighByte &&
           (bytes.size() >= kUcfHeaderSize + slotCount * slotSize ||
            (bytes.size() - kUcfHeaderSize) % slotSize == 0);
}

bool WriteUserFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    sys::ReplaceOptions options;
    options.followLink = false;
    return sys::ReplaceUserFile(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), options);
}

std::vector<uint8_t> ReadCfgRegistry(std::string_view driverName, int32_t inkSet) {
    const std::string base = RegistryBaseName(inkSet);
    const std::string keyPath = RegistryKeyPath(driverName) + '\\' + base;
    reg::HKEY key = nullptr;
    if (reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE, keyPath.c_str(), reg::KEY_QUERY_VALUE, &key) !=
        reg::ERROR_SUCCESS) {
        return {};
    }
    uint8_t countBytes[4] = {};
    reg::DWORD countSize = sizeof countBytes;
    uint32_t continuations = 0;
    if (reg::RegQueryValueEx(key, (base + kChunkCountSuffix).c_str(), nullptr, countBytes,
                             &countSize) == reg::ERROR_SUCCESS &&
        countSize == sizeof countBytes) {
        continuations = std::min(UInt32At(countBytes), kMaxContinuationChunks);
    }
    std::vector<uint8_t> data;
    bool room = AppendChunk(key, base, data);
    for (uint32_t chunk = 2; room && chunk <= continuations + 1; ++chunk) {
        room = AppendChunk(key, base + std::to_string(chunk), data);
    }
    reg::RegCloseKey(key);
    return data;
}

ConfigurationLayout ConfigurationLayout::Parse(const std::vector<uint8_t>& data,
                                               std::size_t recordSize) {
    ConfigurationLayout layout;
    if (data.size() < kHeaderSize) {
        return layout;
    }
    layout.mark = UInt32At(data.data());
    const uint64_t directory = UInt32At(data.data() + kDirectoryOffsetField);
    if (directory + kDirectorySize > data.size()) {
        return layout;
    }
    const auto at = static_cast<std::size_t>(directory);
    layout.hasDirectory = true;
    layout.userSlotCount = UInt16At(data, at + kUserSlotCountField);
    layout.extraRecordCount = UInt16At(data, at + kExtraRecordCountField);
    const std::size_t declared = std::size_t{UInt16At(data, at + kFirstPartCountField)} +
                                 UInt16At(data, at + kSecondPartCountField);
    layout.firstRecord = at + kDirectorySize;
    layout.recordCount = std::min(declared, (data.size() - layout.firstRecord) / recordSize);
    return layout;
}

MediaConfiguration MediaConfiguration::Parse(const std::vector<uint8_t>& data) {
    const ConfigurationLayout layout = ConfigurationLayout::Parse(data, UserMediaRecord::kSize);
    MediaConfiguration config;
    config.mark = layout.mark;
    config.hasDirectory = layout.hasDirectory;
    config.userSlotCount = layout.userSlotCount;
    config.extraRecordCount = layout.extraRecordCount;
    config.records.resize(layout.recordCount);
    for (std::size_t i = 0; i < layout.recordCount; ++i) {
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(layout.firstRecord +
                                                               i * UserMediaRecord::kSize),
                    UserMediaRecord::kSize, config.records[i].bytes.begin());
    }
    return config;
}

bool RecordMatchesFlag(const UserMediaRecord& record, int32_t modeFlag) {
    switch (modeFlag) {
        case 1:
            return record.ModeLevel() <= kModeLevelHighestFlag1;
        case 2:
            return record.ModeLevel() == kModeLevelFlag2;
        case 4:
            return record.ModeCode() == kModeCodeFlag4;
        case 8:
            return record.ModeCode() == kModeCodeFlag8;
        default:
            return false;
    }
}

int32_t ModeFlagsOf(const UserMediaRecord& record) {
    int32_t flags = 0;
    if (record.ModeLevel() == kModeLevelFlag2) {
        flags |= 2;
    } else if (record.ModeLevel() <= kModeLevelHighestFlag1) {
        flags |= 1;
    }
    if (record.ModeCode() == kModeCodeFlag4) {
        flags |= 4;
    } else if (record.ModeCode() == kModeCodeFlag8) {
        flags |= 8;
    }
    return flags;
}

}  // namespace drivercfg

namespace {

bool IsInUseRecordOf(const UserMediaRecord& record, uint32_t mediaId) {
    return record.MediaId() == mediaId && record.InUse() == UserMediaRecord::kInUse;
}

bool HasName(const UserMediaRecord& slot, std::string_view name) {
    return slot.Name() == PrefixFittingBytes(name, UserMediaRecord::kNameCapacity);
}

std::size_t SlotOffset(std::size_t slot) {
    return drivercfg::kUcfHeaderSize + slot * UserMediaRecord::kSize;
}

// A new UCF: the header, the slots (all zero but `slot`, which holds the record) and the extra
// records made from the template.
std::vector<uint8_t> NewUserFile(std::size_t slots, std::size_t extras, std::size_t slot,
                                 const UserMediaRecord& record) {
    using namespace drivercfg;
    std::vector<uint8_t> bytes(SlotOffset(slots) + extras * kExtraRecordSize, 0);
    bytes[0] = static_cast<uint8_t>(kNewUcfHeader & 0xFF);
    bytes[1] = static_cast<uint8_t>(kNewUcfHeader >> 8);
    std::copy(record.bytes.begin(), record.bytes.end(),
              bytes.begin() + static_cast<std::ptrdiff_t>(SlotOffset(slot)));
    for (std::size_t i = 0; i < extras; ++i) {
        auto at =
            bytes.begin() + static_cast<std::ptrdiff_t>(SlotOffset(slots) + i * kExtraRecordSize);
        std::copy(kExtraRecordTemplate.begin(), kExtraRecordTemplate.end(), at);
        *at = static_cast<uint8_t>(i & 0xFF);
    }
    return bytes;
}

}  // namespace

// The UCF's slots as far as the file holds them, up to the store's slot count.
struct DriverMediaConfig::Slots {
    bool opened = false;
    // The file exists but its slots could not be read: not a regular file, not readable, or a
    // read failed before its end.
    bool unreadable = false;
    // The file's size in bytes, once opened.
    uint64_t size = 0;
    std::vector<UserMediaRecord> records;

    // The slots in use come first: the in-use prefix.
    std::size_t InUseCount() const {
        std::size_t count = 0;
        while (count < records.size() &&
               records[count].EntryType() == UserMediaRecord::kUserEntry) {
            ++count;
        }
        return count;
    }
};

std::string DriverMediaConfig::CfgPath() const {
    const UserSettingsHost& host = store_.Host();
    return drivercfg::CfgFilePath(host.HostOsKind(), host.DriverInkSet(), host.ConfigNames());
}

std::string DriverMediaConfig::UcfPath() const {
    const UserSettingsHost& host = store_.Host();
    return drivercfg::UcfFilePath(host.HostOsKind(), host.DriverInkSet(), host.ConfigNames(),
                                  host.DriverName());
}

drivercfg::MediaConfiguration DriverMediaConfig::ReadConfiguration() const {
    const UserSettingsHost& host = store_.Host();
    if (host.HostOsKind() == OsKind::Windows9x) {
        return drivercfg::MediaConfiguration::Parse(
            drivercfg::ReadCfgRegistry(host.DriverName(), host.DriverInkSet()));
    }
    return drivercfg::MediaConfiguration::Parse(drivercfg::ReadCfgFile(CfgPath()));
}

bool DriverMediaConfig::LoadBase(uint32_t mediaId, int32_t modeFlag) {
    for (const UserMediaRecord& record : ReadConfiguration().records) {
        if (IsInUseRecordOf(record, mediaId) && drivercfg::RecordMatchesFlag(record, modeFlag)) {
            store_.record = record;
            return true;
        }
    }
    return false;
}

int32_t DriverMediaConfig::ModesOf(uint32_t mediaId) const {
    int32_t flags = 0;
    for (const UserMediaRecord& record : ReadConfiguration().records) {
        if (IsInUseRecordOf(record, mediaId)) {
            flags |= drivercfg::ModeFlagsOf(record);
        }
    }
    return flags;
}

bool DriverMediaConfig::ReadSlotCounts() {
    const drivercfg::MediaConfiguration config = ReadConfiguration();
    if (!config.hasDirectory) {
        return false;
    }
    store_.userSlotCount = config.userSlotCount;
    store_.extraRecordCount = config.extraRecordCount;
    return true;
}

bool DriverMediaConfig::DriverFilePresent() const {
    return drivercfg::MediaConfiguration::Parse(drivercfg::ReadCfgFile(CfgPath())).mark ==
           drivercfg::kCfgMark;
}

DriverMediaConfig::Slots DriverMediaConfig::ReadUserSlots() const {
    Slots slots;
    const std::string path = UcfPath();
    if (path.empty()) {
        return slots;
    }
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid()) {
        slots.unreadable = errno != ENOENT;
        return slots;
    }
    slots.opened = true;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        slots.unreadable = true;
        return slots;
    }
    slots.size = static_cast<uint64_t>(info.st_size);
    const auto count = static_cast<std::size_t>(std::max(store_.userSlotCount, int32_t{0}));
    const std::size_t wanted = count * UserMediaRecord::kSize;
    const std::vector<uint8_t> bytes = ReadAt(file.get(), drivercfg::kUcfHeaderSize, wanted);
    const uint64_t held =
        slots.size > drivercfg::kUcfHeaderSize ? slots.size - drivercfg::kUcfHeaderSize : 0;
    slots.unreadable = bytes.size() < std::min<uint64_t>(held, wanted);
    slots.records.resize(bytes.size() / UserMediaRecord::kSize);
    for (std::size_t i = 0; i < slots.records.size(); ++i) {
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(i * UserMediaRecord::kSize),
                    UserMediaRecord::kSize, slots.records[i].bytes.begin());
    }
    return slots;
}

int32_t DriverMediaConfig::ListUserNames(int32_t max, std::vector<std::string>& names) const {
    names.clear();
    if (UcfPath().empty()) {
        return 0;
    }
    const Slots slots = ReadUserSlots();
    if (!slots.opened) {
        return kNoUserFile;
    }
    const std::size_t limit = static_cast<std::size_t>(std::max(max, int32_t{0}));
    const std::size_t inUse = slots.InUseCount();
    for (std::size_t i = 0; i < inUse && names.size() < limit; ++i) {
        names.push_back(slots.records[i].Name());
    }
    return static_cast<int32_t>(names.size());
}

bool DriverMediaConfig::FindUser(std::string_view name, UserMediaRecord* found) const {
    const Slots slots = ReadUserSlots();
    const std::size_t inUse = slots.InUseCount();
    for (std::size_t i = 0; i < inUse; ++i) {
        if (HasName(slots.records[i], name)) {
            if (found != nullptr) {
                *found = slots.records[i];
            }
            return true;
        }
    }
    return false;
}

bool DriverMediaConfig::LoadUser(std::string_view name) {
    UserMediaRecord found;
    if (!FindUser(name, &found)) {
        return false;
    }
    store_.record = found;
    store_.working.TakeFrom(found);
    return true;
}

uint32_t DriverMediaConfig::UserMediaId(std::string_view name) const {
    UserMediaRecord found;
    return FindUser(name, &found) ? found.MediaId() : 0;
}

bool DriverMediaConfig::UserExists(std::string_view name) const {
    return FindUser(name, nullptr);
}

int32_t DriverMediaConfig::SaveUser(std::string_view name) {
    const auto slotCount = static_cast<std::size_t>(std::max(store_.userSlotCount, int32_t{0}));
    const auto extraCount = static_cast<std::size_t>(std::max(store_.extraRecordCount, int32_t{0}));
    const std::string path = UcfPath();
    // A configuration without slots has no room for any entry.
    if (slotCount == 0 || path.empty()) {
        return kSaveFailed;
    }
    // Saves into one UCF, from any process, take turns: each one's entry stays.
    const sys::UserFileLock lock(path);
    const drivercfg::UserFileRead old = drivercfg::ReadUserFileForSave(path);
    // Entries that cannot be read cannot be kept: writing blind would put the setting over one.
    if (!lock.Held() || !old.ok) {
        return kSaveFailed;
    }
    // A missing UCF, or an empty one, is made anew; anything else must be a UCF of this family.
    const bool fresh = old.bytes.size() < drivercfg::kUcfHeaderSize;
    if (!fresh && !drivercfg::IsUserFileOfFamily(old.bytes, drivercfg::kUcfHeaderHighByte,
                                                 slotCount, UserMediaRecord::kSize)) {
        return kSaveFailed;
    }
    std::size_t slot = 0;
    if (!fresh) {
        UserMediaRecord present;
        for (slot = 0; slot < slotCount && SlotOffset(slot + 1) <= old.bytes.size(); ++slot) {
            std::copy_n(old.bytes.begin() + static_cast<std::ptrdiff_t>(SlotOffset(slot)),
                        UserMediaRecord::kSize, present.bytes.begin());
            if (present.EntryType() != UserMediaRecord::kUserEntry || HasName(present, name)) {
                break;
            }
        }
        if (slot == slotCount) {
            return kSaveFailed;
        }
    }

    UserMediaRecord& record = store_.record;
    TakeAdjustments(record, store_.working);
    record.SetName(name);
    record.SetEntryType(UserMediaRecord::kUserEntry);

    std::vector<uint8_t> content;
    if (fresh) {
        content = NewUserFile(slotCount, extraCount, slot, record);
    } else {
        content = old.bytes;
        content.resize(std::max(content.size(), SlotOffset(slot + 1)));
        std::copy(record.bytes.begin(), record.bytes.end(),
                  content.begin() + static_cast<std::ptrdiff_t>(SlotOffset(slot)));
    }
    return drivercfg::WriteUserFile(path, content) ? 0 : kSaveFailed;
}
