// The printer driver's media configuration (CFG: its own media records and the size of the user
// configuration) and its user configuration (UCF: the custom media settings registered for the
// driver), and the operations of the user-settings store on them. All records are
// UserMediaRecords. Where the driver keeps them depends on the kind of Windows, the model's
// configuration letter, the driver ink set and the driver name (docs/driver-package.md).
//
// Every file and registry value read here is the driver's, so none is trusted: counts and offsets
// that point beyond the data, short files and huge values are read only as far as data exists.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/settings/media_settings_store.h"
#include "util/settings/model_class.h"
#include "util/settings/user_media_record.h"
#include "util/settings/user_settings.h"

namespace drivercfg {

// CFG layout: two uint32 (the first 0x500), the directory's offset (uint32 at 8); the directory is
// 16 bytes (record counts at +2 and +4, user slots at +8, extra records at +10), and the records
// follow it.
inline constexpr std::size_t kHeaderSize = 12;
inline constexpr uint32_t kCfgMark = 0x500;
inline constexpr std::size_t kDirectoryOffsetField = 8;
inline constexpr std::size_t kDirectorySize = 16;
inline constexpr std::size_t kSecondPartCountField = 2;
inline constexpr std::size_t kFirstPartCountField = 4;
inline constexpr std::size_t kUserSlotCountField = 8;
inline constexpr std::size_t kExtraRecordCountField = 10;

// UCF layout: a 2-byte header, the user slots, then the extra records.
inline constexpr std::size_t kUcfHeaderSize = 2;
inline constexpr uint16_t kNewUcfHeader = 0x0500;
// Every UCF of the first family has this high byte in its header (its low byte is the driver's).
inline constexpr uint8_t kUcfHeaderHighByte = 0x05;
inline constexpr std::size_t kExtraRecordSize = 84;

// Windows 95/98/Me keep the CFG in the machine's registry, under this key and the driver name.
inline constexpr const char* kRegistryKey = "Software\\ARVEN\\9XPrinterDriver\\CFG_DAT\\";
inline constexpr const char* kRegistryBaseName = "CFGDAT_DATA";
inline constexpr const char* kChunkCountSuffix = "NUM";
// Bounds on what is read, far above any real configuration (at most 131070 records).
inline constexpr uint32_t kMaxContinuationChunks = 1024;
inline constexpr std::size_t kMaxConfigBytes = std::size_t{32} << 20;

// The extra record of a new UCF; byte 0 becomes the record's index.
extern const std::array<uint8_t, kExtraRecordSize> kExtraRecordTemplate;

// "CFGDAT_DATA", with "_A" for ink set 1, "_B" for ink set 2 and "_C" for ink set 3.
std::string RegistryBaseName(int32_t inkSet);
// The key below HKEY_LOCAL_MACHINE that holds the base name's subkey.
std::string RegistryKeyPath(std::string_view driverName);

// The CFG file on Windows NT (kinds 2 and 3); "" for every other kind.
std::string CfgFilePath(OsKind kind, int32_t inkSet, const ConfigFileNames& names);
// The UCF file; "" for kind 0, and when the program files directory cannot be read or the driver
// name cannot be a folder name.
std::string UcfFilePath(OsKind kind, int32_t inkSet, const ConfigFileNames& names,
                        std::string_view driverName);
// A file in the driver's folder below the program files directory (ARVEN/<driver>/); "" when
// that directory cannot be read or the driver name cannot be a folder name.
std::string DriverUserFile(OsKind kind, std::string_view driverName, const std::string& fileName);

// The CFG data: the file's bytes, or the registry chunks joined, as far as they exist.
std::vector<uint8_t> ReadCfgFile(const std::string& path);
std::vector<uint8_t> ReadCfgRegistry(std::string_view driverName, int32_t inkSet);

// A user configuration read whole before a save replaces it. `ok` when it was read whole or is
// missing (`exists` false); otherwise `error` says why: a link (never followed, as it could make
// the save write into a file nobody named), not a regular file, too large, a failed read.
struct UserFileRead {
    bool ok = false;
    bool exists = false;
    std::vector<uint8_t> bytes;
    std::string error;
};
UserFileRead ReadUserFileForSave(const std::string& path);
// Whether the bytes are a user configuration of the family whose header has `headerHighByte`
// as its second byte, followed by `slotCount` slots of `slotSize` bytes (and what the driver
// keeps after them) or by fewer whole slots.
bool IsUserFileOfFamily(const std::vector<uint8_t>& bytes, uint8_t headerHighByte,
                        std::size_t slotCount, std::size_t slotSize);
// Replaces the user configuration by `bytes`, old or new after any fault
// (sys::ReplaceUserFile), never through a link.
bool WriteUserFile(const std::string& path, const std::vector<uint8_t>& bytes);

// What util takes from CFG data. Without a complete directory there are no counts and no records;
// records are only those lying wholly inside the data.
// The header and directory of CFG data, and where its records of recordSize bytes lie: only
// those wholly inside the data are counted. Without a complete directory there are none.
struct ConfigurationLayout {
    uint32_t mark = 0;  // the first uint32: what kind of configuration the data is
    bool hasDirectory = false;
    uint16_t userSlotCount = 0;
    uint16_t extraRecordCount = 0;
    std::size_t firstRecord = 0;
    std::size_t recordCount = 0;

    static ConfigurationLayout Parse(const std::vector<uint8_t>& data, std::size_t recordSize);
};

struct MediaConfiguration {
    uint32_t mark = 0;  // the first uint32: kCfgMark in the driver's own files
    bool hasDirectory = false;
    uint16_t userSlotCount = 0;
    uint16_t extraRecordCount = 0;
    std::vector<UserMediaRecord> records;

    static MediaConfiguration Parse(const std::vector<uint8_t>& data);
};

// Print-mode flags of driver records: flag 1 needs mode level 0 or 1, flag 2 level 2, flag 4 mode
// code 6, flag 8 mode code 15; other flags never match.
bool RecordMatchesFlag(const UserMediaRecord& record, int32_t modeFlag);
// The flags a record answers: 1 or 2 from its level, and 4 or 8 from its code.
int32_t ModeFlagsOf(const UserMediaRecord& record);

}  // namespace drivercfg

// The driver-side operations of a user-settings store. Locations follow the store's host (kind
// of Windows, model, driver ink set, driver name) at the time of each call. User entries are
// found by name, compared exactly over the first 16 bytes that a stored name can hold.
class DriverMediaConfig : public MediaSettingsStore {
  public:
    // Saving that finds every user slot taken by other names, or cannot write the UCF.
    static constexpr int32_t kSaveFailed = -1;
    // ListUserNames when the UCF cannot be opened.
    static constexpr int32_t kNoUserFile = -1;

    explicit DriverMediaConfig(UserSettings& store) : store_(store) {}

    int32_t LongestName() const override { return UserMediaRecord::kNameCapacity; }
    std::string CfgPath() const override;
    std::string UcfPath() const override;
    drivercfg::MediaConfiguration ReadConfiguration() const;

    // Copies the first in-use driver record of the media ID that matches the print-mode flag into
    // the store's record; the working copy stays. False when there is none.
    bool LoadBase(uint32_t mediaId, int32_t modeFlag) override;
    // The print-mode flags of all in-use driver records of the media ID, ORed.
    int32_t ModesOf(uint32_t mediaId) const override;
    // Takes the store's user slot count and extra record count from the CFG's directory; false,
    // leaving them, when there is no directory.
    bool ReadSlotCounts() override;
    int32_t UserSlotCount() const override { return store_.userSlotCount; }
    // The CFG file carries the driver's mark.
    bool DriverFilePresent() const override;

    // The names of the user entries, in slot order, at most `max`; their number, 0 when there is
    // no UCF location, kNoUserFile when the UCF cannot be opened.
    int32_t ListUserNames(int32_t max, std::vector<std::string>& names) const override;
    // Copies the named user entry into the store's record and refreshes the working copy from it.
    bool LoadUser(std::string_view name) override;
    // The driver media ID of the named user entry; 0 when there is none.
    uint32_t UserMediaId(std::string_view name) const override;
    bool UserExists(std::string_view name) const override;
    // Writes the store's record, with the working copy's six adjustments, the name and the user
    // entry type, into the slot of that name or the first free one; a missing UCF, or an empty
    // one, is made with the store's slot and extra record counts. The file is replaced whole
    // (old or new after any fault), under the lock beside it. 0 on success, kSaveFailed
    // otherwise, also for a UCF that cannot be read, is a link, or is no UCF of this family
    // (another header, or a slot cut short).
    int32_t SaveUser(std::string_view name) override;

  private:
    struct Slots;
    Slots ReadUserSlots() const;
    // The in-use slots up to the first free one; the index of the named one when found.
    bool FindUser(std::string_view name, UserMediaRecord* found) const;

    UserSettings& store_;
};
