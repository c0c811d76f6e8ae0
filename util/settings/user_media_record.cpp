#include "util/settings/user_media_record.h"

#include <algorithm>
#include <cstring>

#include "util/settings/text_cut.h"

std::string UserMediaRecord::Name() const {
    const auto* begin = bytes.data() + kNameOffset;
    const auto* end = std::find(begin, begin + kNameCapacity, std::uint8_t{0});
    return std::string(begin, end);
}

void UserMediaRecord::SetName(std::string_view name) {
    std::fill_n(bytes.begin() + kNameOffset, kNameCapacity, std::uint8_t{0});
    const std::string_view kept = PrefixFittingBytes(name, kNameCapacity);
    std::memcpy(bytes.data() + kNameOffset, kept.data(), kept.size());
}

std::uint16_t UserMediaRecord::UInt16At(std::size_t offset) const {
    return static_cast<std::uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}

std::uint32_t UserMediaRecord::UInt32At(std::size_t offset) const {
    return static_cast<std::uint32_t>(bytes.at(offset)) |
           static_cast<std::uint32_t>(bytes.at(offset + 1)) << 8 |
           static_cast<std::uint32_t>(bytes.at(offset + 2)) << 16 |
           static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24;
}

void UserMediaRecord::SetUInt16At(std::size_t offset, std::uint16_t value) {
    bytes.at(offset) = static_cast<std::uint8_t>(value);
    bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void UserMediaRecord::SetUInt32At(std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void MediaWorkingCopy::TakeFrom(const UserMediaRecord& record) {
    std::copy_n(record.bytes.begin() + kRecordOffset, kSize, bytes.begin());
}

void TakeAdjustments(UserMediaRecord& record, const MediaWorkingCopy& working) {
    std::copy_n(working.bytes.begin() + MediaWorkingCopy::kDensityOffset,
                MediaWorkingCopy::kAdjustmentCount,
                record.bytes.begin() + UserMediaRecord::kDensityOffset);
}
