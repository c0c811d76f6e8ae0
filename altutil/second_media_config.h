// The second family's second pair of configuration files (docs/second-media-config.md): the
// driver's A_FCF media configuration with 128-byte records, and the user file of 408-byte slots
// (part A with the entry's name in UTF-16, part B a 128-byte record). The entry being edited is
// the store's UserSettings, as for the first pair: loading maps part B's fields onto its record
// and working copy, saving maps them back; the bytes of part A and B that util does not edit are
// kept from the entry or driver record they came from.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/settings/media_settings_store.h"
#include "util/settings/user_media_record.h"
#include "util/settings/user_settings.h"

namespace altutil {

// A 128-byte record of the A_FCF files: the media records of the CFG and part B of user slots.
struct SecondMediaRecord {
    static constexpr std::size_t kSize = 128;
    static constexpr std::size_t kValuesOffset = 80;  // Density to PaperCut, then the extra byte
    static constexpr std::size_t kEntryTypeOffset = 124;
    static constexpr uint32_t kUserEntry = 2;

    std::array<uint8_t, kSize> bytes{};

    uint32_t MediaId() const;
    uint32_t EntryType() const;
    // The fields util edits, as a first-family record holds them (mode, media, in use, the six
    // values and the extra byte); and the way back.
    UserMediaRecord AsUserRecord() const;
    void TakeFrom(const UserMediaRecord& record, const MediaWorkingCopy& working);
};

class SecondMediaConfig : public MediaSettingsStore {
  public:
    static constexpr uint32_t kCfgMark = 0x710;
    static constexpr std::size_t kUserHeaderSize = 2;
    // The second byte of every user file's header (the driver creates them with 0x0710).
    static constexpr uint8_t kUserHeaderHighByte = 0x07;
    static constexpr std::size_t kPartASize = 280;
    static constexpr std::size_t kSlotSize = kPartASize + SecondMediaRecord::kSize;  // 408
    // Names in part A: UTF-16 code units before the terminating 0.
    static constexpr std::size_t kNameUnits = 31;

    explicit SecondMediaConfig(UserSettings& store) : store_(store) {}

    bool LoadBase(uint32_t mediaId, int32_t modeFlag) override;
    int32_t ModesOf(uint32_t mediaId) const override;
    bool ReadSlotCounts() override;
    int32_t UserSlotCount() const override { return slotCount_; }
    // The A_FCF CFG carries its mark.
    bool DriverFilePresent() const override;
    int32_t ListUserNames(int32_t max, std::vector<std::string>& names) const override;
    bool LoadUser(std::string_view name) override;
    uint32_t UserMediaId(std::string_view name) const override;
    bool UserExists(std::string_view name) const override;
    // Writes the entry into the slot of its name or the first free one of the existing user
    // file, replacing the file whole (old or new after any fault) under the lock beside it; the
    // file is never created. -1 when no slot is free, or the file cannot be read or written, is
    // a link, or is no user file of this kind (another header, or a slot cut short).
    int32_t SaveUser(std::string_view name) override;
    int32_t LongestName() const override { return static_cast<int32_t>(kNameUnits); }
    std::string CfgPath() const override;
    std::string UcfPath() const override;

  private:
    struct Slot {
        std::array<uint8_t, kPartASize> partA{};
        SecondMediaRecord partB;
        std::string Name() const;
    };
    std::vector<SecondMediaRecord> DriverRecords() const;
    // The slots in use up to the first free one (and the index after them), read from the user
    // file; false when it cannot be read.
    bool ReadUserSlots(std::vector<Slot>& inUse) const;
    const Slot* Find(const std::vector<Slot>& slots, std::string_view name) const;

    UserSettings& store_;
    int32_t slotCount_ = 0;
    // The entry last loaded (or the driver record last based on), whose other bytes a save keeps.
    Slot current_;
};

// A name as part A keeps it: UTF-16LE, at most kNameUnits code units, no pair cut in two; and
// back to UTF-8 (malformed units become U+FFFD).
std::vector<uint16_t> NameUnits(std::string_view name);
std::string NameText(const std::vector<uint16_t>& units);

}  // namespace altutil
