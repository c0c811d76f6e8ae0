#include "altutil/second_media_config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "altutil/second_family.h"
#include "common/utf8.h"
#include "platform/system/file.h"
#include "platform/system/user_file.h"
#include "util/settings/driver_media_config.h"

namespace altutil {

namespace {

uint32_t UInt32At(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

void SetUInt32At(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// The record's first 16 bytes (mode code and level, the driver's 4, media ID, in use) have the
// same places in both record layouts.
constexpr std::size_t kSharedHead = 16;
constexpr std::size_t kEditedValues = MediaWorkingCopy::kAdjustmentCount + 1;  // and the extra

// The code point that starts at text[at], and its length; malformed bytes give U+FFFD, one byte.
uint32_t DecodeUtf8(std::string_view text, std::size_t at, std::size_t& length) {
    length = 1;
    const auto lead = static_cast<uint8_t>(text[at]);
    std::size_t extra = 0;
    if (lead < 0x80) {
        return lead;
    } else if (lead >= 0xC2 && lead < 0xE0) {
        extra = 1;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        extra = 2;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        extra = 3;
    } else {
        return 0xFFFD;
    }
    if (at + extra >= text.size()) {
        return 0xFFFD;
    }
    uint32_t codePoint = lead & (0x3F >> extra);
    for (std::size_t i = 1; i <= extra; ++i) {
        const auto next = static_cast<uint8_t>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0xFFFD;
        }
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (codePoint < kSmallest[extra] || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint < 0xE000)) {
        return 0xFFFD;
    }
    length = extra + 1;
    return codePoint;
}

}  // namespace

std::vector<uint16_t> NameUnits(std::string_view name) {
    std::vector<uint16_t> units;
    for (std::size_t at = 0; at < name.size();) {
        std::size_t length = 1;
        const uint32_t codePoint = DecodeUtf8(name, at, length);
        at += length;
        const std::size_t needed = codePoint >= 0x10000 ? 2 : 1;
        if (units.size() + needed > SecondMediaConfig::kNameUnits) {
            break;
        }
        if (needed == 2) {
            units.push_back(static_cast<uint16_t>(0xD800 + ((codePoint - 0x10000) >> 10)));
            units.push_back(static_cast<uint16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<uint16_t>(codePoint));
        }
    }
    return units;
}

std::string NameText(const std::vector<uint16_t>& units) {
    std::string text;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const uint16_t unit = units[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            AppendUtf8(text, 0x10000 + ((uint32_t{unit} - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            AppendUtf8(text, 0xFFFD);
        } else {
            AppendUtf8(text, unit);
        }
    }
    return text;
}

uint32_t SecondMediaRecord::MediaId() const {
    return UInt32At(bytes.data() + UserMediaRecord::kMediaIdOffset);
}

uint32_t SecondMediaRecord::EntryType() const {
    return UInt32At(bytes.data() + kEntryTypeOffset);
}

UserMediaRecord SecondMediaRecord::AsUserRecord() const {
    UserMediaRecord record;
    std::copy_n(bytes.begin(), kSharedHead, record.bytes.begin());
    std::copy_n(bytes.begin() + kValuesOffset, kEditedValues,
                record.bytes.begin() + UserMediaRecord::kDensityOffset);
    return record;
}

void SecondMediaRecord::TakeFrom(const UserMediaRecord& record, const MediaWorkingCopy& working) {
    std::copy_n(record.bytes.begin(), kSharedHead, bytes.begin());
    std::copy_n(working.bytes.begin() + MediaWorkingCopy::kDensityOffset,
                MediaWorkingCopy::kAdjustmentCount, bytes.begin() + kValuesOffset);
}

std::string SecondMediaConfig::Slot::Name() const {
    std::vector<uint16_t> units;
    for (std::size_t i = 0; i + 1 < partA.size() && units.size() < kNameUnits; i += 2) {
        const auto unit = static_cast<uint16_t>(partA[i] | partA[i + 1] << 8);
        if (unit == 0) {
            break;
        }
        units.push_back(unit);
    }
    return NameText(units);
}

std::string SecondMediaConfig::CfgPath() const {
    const UserSettingsHost& host = store_.Host();
    return SecondCfgPath(host.ModelClass(), host.DriverInkSet());
}

std::string SecondMediaConfig::UcfPath() const {
    const UserSettingsHost& host = store_.Host();
    return SecondUcfPath(host.ModelClass(), host.DriverInkSet(), host.DriverName());
}

std::vector<SecondMediaRecord> SecondMediaConfig::DriverRecords() const {
    const std::vector<uint8_t> data = drivercfg::ReadCfgFile(CfgPath());
    const auto layout = drivercfg::ConfigurationLayout::Parse(data, SecondMediaRecord::kSize);
    std::vector<SecondMediaRecord> records(layout.recordCount);
    for (std::size_t i = 0; i < layout.recordCount; ++i) {
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(layout.firstRecord +
                                                               i * SecondMediaRecord::kSize),
                    SecondMediaRecord::kSize, records[i].bytes.begin());
    }
    return records;
}

bool SecondMediaConfig::DriverFilePresent() const {
    return drivercfg::ConfigurationLayout::Parse(drivercfg::ReadCfgFile(CfgPath()),
                                                 SecondMediaRecord::kSize)
               .mark == kCfgMark;
}

bool SecondMediaConfig::ReadSlotCounts() {
    const auto layout = drivercfg::ConfigurationLayout::Parse(drivercfg::ReadCfgFile(CfgPath()),
                                                              SecondMediaRecord::kSize);
    if (!layout.hasDirectory) {
        return false;
    }
    slotCount_ = layout.userSlotCount;
    return true;
}

bool SecondMediaConfig::LoadBase(uint32_t mediaId, int32_t modeFlag) {
    for (const SecondMediaRecord& record : DriverRecords()) {
        const UserMediaRecord mapped = record.AsUserRecord();
        if (mapped.MediaId() == mediaId && mapped.InUse() == UserMediaRecord::kInUse &&
            drivercfg::RecordMatchesFlag(mapped, modeFlag)) {
            current_ = Slot();
            current_.partB = record;
            store_.record = mapped;
            return true;
        }
    }
    return false;
}

int32_t SecondMediaConfig::ModesOf(uint32_t mediaId) const {
    int32_t flags = 0;
    for (const SecondMediaRecord& record : DriverRecords()) {
        const UserMediaRecord mapped = record.AsUserRecord();
        if (mapped.MediaId() == mediaId && mapped.InUse() == UserMediaRecord::kInUse) {
            flags |= drivercfg::ModeFlagsOf(mapped);
        }
    }
    return flags;
}

bool SecondMediaConfig::ReadUserSlots(std::vector<Slot>& inUse) const {
    inUse.clear();
    const std::string path = UcfPath();
    if (path.empty()) {
        return true;
    }
    const sys::InputFile file(path);
    if (!file.IsOpen()) {
        return false;
    }
    for (int32_t index = 0; index < slotCount_; ++index) {
        const std::vector<uint8_t> bytes =
            file.ReadAt(kUserHeaderSize + uint64_t(index) * kSlotSize, kSlotSize);
        if (bytes.size() < kSlotSize) {
            break;
        }
        Slot slot;
        std::copy_n(bytes.begin(), kPartASize, slot.partA.begin());
        std::copy_n(bytes.begin() + kPartASize, SecondMediaRecord::kSize, slot.partB.bytes.begin());
        if (slot.partB.EntryType() != SecondMediaRecord::kUserEntry) {
            break;
        }
        inUse.push_back(slot);
    }
    return true;
}

const SecondMediaConfig::Slot* SecondMediaConfig::Find(const std::vector<Slot>& slots,
                                                       std::string_view name) const {
    const std::string stored = NameText(NameUnits(name));
    for (const Slot& slot : slots) {
        if (slot.Name() == stored) {
            return &slot;
        }
    }
    return nullptr;
}

int32_t SecondMediaConfig::ListUserNames(int32_t max, std::vector<std::string>& names) const {
    names.clear();
    if (UcfPath().empty()) {
        return 0;
    }
    std::vector<Slot> slots;
    if (!ReadUserSlots(slots)) {
        return -1;
    }
    for (const Slot& slot : slots) {
        if (static_cast<int32_t>(names.size()) >= max) {
            break;
        }
        names.push_back(slot.Name());
    }
    return static_cast<int32_t>(names.size());
}

bool SecondMediaConfig::LoadUser(std::string_view name) {
    std::vector<Slot> slots;
    const Slot* found = ReadUserSlots(slots) ? Find(slots, name) : nullptr;
    if (found == nullptr) {
        return false;
    }
    current_ = *found;
    store_.record = current_.partB.AsUserRecord();
    store_.working.TakeFrom(store_.record);
    return true;
}

uint32_t SecondMediaConfig::UserMediaId(std::string_view name) const {
    std::vector<Slot> slots;
    const Slot* found = ReadUserSlots(slots) ? Find(slots, name) : nullptr;
    return found != nullptr ? found->partB.MediaId() : 0;
}

bool SecondMediaConfig::UserExists(std::string_view name) const {
    std::vector<Slot> slots;
    return ReadUserSlots(slots) && Find(slots, name) != nullptr;
}

int32_t SecondMediaConfig::SaveUser(std::string_view name) {
    const std::string path = UcfPath();
    std::vector<Slot> slots;
    if (path.empty() || slotCount_ <= 0) {
        return -1;
    }
    // Saves into one user file, from any process, take turns: each one's entry stays.
    const sys::UserFileLock lock(path);
    const drivercfg::UserFileRead old = drivercfg::ReadUserFileForSave(path);
    if (!lock.Held() || !old.exists ||
        !drivercfg::IsUserFileOfFamily(old.bytes, kUserHeaderHighByte,
                                       static_cast<std::size_t>(slotCount_), kSlotSize) ||
        !ReadUserSlots(slots)) {
        return -1;
    }
    const Slot* same = Find(slots, name);
    const std::size_t index =
        same != nullptr ? static_cast<std::size_t>(same - slots.data()) : slots.size();
    if (index >= static_cast<std::size_t>(slotCount_)) {
        return -1;  // every slot holds another name
    }
    Slot slot = current_;
    // The name field: the units and their terminating 0; the rest of part A stays.
    std::fill_n(slot.partA.begin(), 2 * (kNameUnits + 1), uint8_t{0});
    const std::vector<uint16_t> units = NameUnits(name);
    for (std::size_t i = 0; i < units.size(); ++i) {
        slot.partA[2 * i] = static_cast<uint8_t>(units[i]);
        slot.partA[2 * i + 1] = static_cast<uint8_t>(units[i] >> 8);
    }
    slot.partB.TakeFrom(store_.record, store_.working);
    SetUInt32At(slot.partB.bytes.data() + SecondMediaRecord::kEntryTypeOffset,
                SecondMediaRecord::kUserEntry);
    std::vector<uint8_t> content = old.bytes;
    content.resize(std::max(content.size(), kUserHeaderSize + (index + 1) * kSlotSize));
    const auto offset = static_cast<std::ptrdiff_t>(kUserHeaderSize + index * kSlotSize);
    std::copy(slot.partA.begin(), slot.partA.end(), content.begin() + offset);
    std::copy(slot.partB.bytes.begin(), slot.partB.bytes.end(),
              content.begin() + offset + static_cast<std::ptrdiff_t>(kPartASize));
    return drivercfg::WriteUserFile(path, content) ? 0 : -1;
}

}  // namespace altutil
