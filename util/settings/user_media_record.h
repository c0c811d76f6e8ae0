// The printer driver's media record, as the driver keeps it in its media configuration (CFG) and
// user configuration (UCF), and the working copy of its adjustable part that util's pages edit.
// Both hold their bytes exactly as stored (little-endian), so they are read and written whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// 102 bytes; only the fields below have a meaning for util, every other byte is carried unchanged.
//
// | Offset | Width  | Field                                                      |
// |--------|--------|------------------------------------------------------------|
// | 0      | uint16 | mode code (6 and 15 select the high-quality modes)         |
// | 2      | uint16 | mode level (0 or 1, or 2)                                   |
// | 8      | uint32 | driver media ID                                            |
// | 12     | uint32 | in use: 1 = the record counts for its media ID             |
// | 56     | int8   | Density                                                    |
// | 57     | int8   | Forward                                                    |
// | 58     | uint8  | Drytime                                                    |
// | 59     | uint8  | Paperthick                                                 |
// | 60     | uint8  | Paperdraw (raw driver value)                               |
// | 61     | uint8  | PaperCut (0-based)                                         |
// | 62     | uint8  | media extra byte (sent with sample prints)                 |
// | 84     | uint16 | entry type: 2 = user entry                                 |
// | 86     | 16     | user setting name, NUL-padded, not necessarily terminated; |
// |        |        | it runs to the end of the record                           |
struct UserMediaRecord {
    static constexpr std::size_t kSize = 102;

    static constexpr std::size_t kModeCodeOffset = 0;
    static constexpr std::size_t kModeLevelOffset = 2;
    static constexpr std::size_t kMediaIdOffset = 8;
    static constexpr std::size_t kInUseOffset = 12;
    static constexpr std::size_t kDensityOffset = 56;
    static constexpr std::size_t kForwardOffset = 57;
    static constexpr std::size_t kDrytimeOffset = 58;
    static constexpr std::size_t kPaperthickOffset = 59;
    static constexpr std::size_t kPaperdrawOffset = 60;
    static constexpr std::size_t kPaperCutOffset = 61;
    static constexpr std::size_t kMediaExtraOffset = 62;
    static constexpr std::size_t kEntryTypeOffset = 84;
    static constexpr std::size_t kNameOffset = 86;
    static constexpr std::size_t kNameCapacity = 16;

    static constexpr std::uint32_t kInUse = 1;
    static constexpr std::uint16_t kUserEntry = 2;

    std::array<std::uint8_t, kSize> bytes{};

    std::uint16_t ModeCode() const { return UInt16At(kModeCodeOffset); }
    void SetModeCode(std::uint16_t value) { SetUInt16At(kModeCodeOffset, value); }
    std::uint16_t ModeLevel() const { return UInt16At(kModeLevelOffset); }
    void SetModeLevel(std::uint16_t value) { SetUInt16At(kModeLevelOffset, value); }
    std::uint32_t MediaId() const { return UInt32At(kMediaIdOffset); }
    void SetMediaId(std::uint32_t value) { SetUInt32At(kMediaIdOffset, value); }
    std::uint32_t InUse() const { return UInt32At(kInUseOffset); }
    void SetInUse(std::uint32_t value) { SetUInt32At(kInUseOffset, value); }
    std::uint8_t MediaExtra() const { return bytes[kMediaExtraOffset]; }
    std::uint16_t EntryType() const { return UInt16At(kEntryTypeOffset); }
    void SetEntryType(std::uint16_t value) { SetUInt16At(kEntryTypeOffset, value); }

    // The stored name: the name field up to its first NUL, at most 16 bytes.
    std::string Name() const;
    // Clears the name field and stores the longest start of `name` that fits into 16 bytes
    // without cutting a UTF-8 character.
    void SetName(std::string_view name);

    std::uint16_t UInt16At(std::size_t offset) const;
    std::uint32_t UInt32At(std::size_t offset) const;
    void SetUInt16At(std::size_t offset, std::uint16_t value);
    void SetUInt32At(std::size_t offset, std::uint32_t value);
};

// The working copy: record bytes 16 to 63, taken when a setting is loaded or a new one is based on
// a driver record. The pages edit the six adjustable values in it; saving a user entry copies
// exactly those six back into the record (TakeAdjustments).
struct MediaWorkingCopy {
    static constexpr std::size_t kSize = 48;
    static constexpr std::size_t kRecordOffset = 16;

    static constexpr std::size_t kDensityOffset = 40;
    static constexpr std::size_t kForwardOffset = 41;
    static constexpr std::size_t kDrytimeOffset = 42;
    static constexpr std::size_t kPaperthickOffset = 43;
    static constexpr std::size_t kPaperdrawOffset = 44;
    static constexpr std::size_t kPaperCutOffset = 45;
    static constexpr std::size_t kAdjustmentCount = 6;

    std::array<std::uint8_t, kSize> bytes{};

    // Density and Forward are signed; the others are 0 to 255.
    std::int8_t Density() const { return static_cast<std::int8_t>(bytes[kDensityOffset]); }
    void SetDensity(std::int8_t value) { bytes[kDensityOffset] = static_cast<std::uint8_t>(value); }
    std::int8_t Forward() const { return static_cast<std::int8_t>(bytes[kForwardOffset]); }
    void SetForward(std::int8_t value) { bytes[kForwardOffset] = static_cast<std::uint8_t>(value); }
    std::uint8_t Drytime() const { return bytes[kDrytimeOffset]; }
    void SetDrytime(std::uint8_t value) { bytes[kDrytimeOffset] = value; }
    std::uint8_t Paperthick() const { return bytes[kPaperthickOffset]; }
    void SetPaperthick(std::uint8_t value) { bytes[kPaperthickOffset] = value; }
    std::uint8_t Paperdraw() const { return bytes[kPaperdrawOffset]; }
    void SetPaperdraw(std::uint8_t value) { bytes[kPaperdrawOffset] = value; }
    std::uint8_t PaperCut() const { return bytes[kPaperCutOffset]; }
    void SetPaperCut(std::uint8_t value) { bytes[kPaperCutOffset] = value; }

    // Replaces the whole working copy with record bytes 16 to 63.
    void TakeFrom(const UserMediaRecord& record);
};

// Copies the six adjustable values of the working copy (Density to PaperCut) into the record's
// bytes 56 to 61; no other byte of the working copy goes back.
void TakeAdjustments(UserMediaRecord& record, const MediaWorkingCopy& working);

static_assert(MediaWorkingCopy::kRecordOffset + MediaWorkingCopy::kDensityOffset ==
              UserMediaRecord::kDensityOffset);
static_assert(MediaWorkingCopy::kRecordOffset + MediaWorkingCopy::kSize <= UserMediaRecord::kSize);
