// The store of the custom media setting that the wizard is editing, and its export into a
// user-settings file (a profile-format file holding any number of settings for one model).
// The driver-side operations on the store (loading base records, listing, loading and saving
// user entries) live with the driver's media configuration.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "util/settings/media_type_table.h"
#include "util/settings/model_class.h"
#include "util/settings/user_media_record.h"

// What the wizard host supplies to the store's operations; its values may change while the
// store lives (the pages set the print mode).
class UserSettingsHost {
  public:
    virtual ~UserSettingsHost() = default;

    virtual std::string DriverName() const = 0;
    // 1 or 2, as the driver reports it.
    virtual int32_t DriverInkSet() const = 0;
    // 0 to 3.
    virtual int32_t PrintMode() const = 0;
    virtual int32_t ModelClass() const = 0;
    virtual OsKind HostOsKind() const = 0;
    // The names of the model's configuration files.
    virtual ConfigFileNames ConfigNames() const = 0;
    // How the export file names the driver ink set ("InkMode").
    virtual std::string InkModeText() const = 0;
    virtual const MediaTypeTable& MediaTypes() const = 0;
};

// A record's print mode as a flag (1, 2, 4 or 8) and as the host's print mode index (0 to 3):
// flag 1 is index 1, 2 is 0, 4 is 2 and 8 is 3.
// The print mode index of a flag; -1 for anything but 1, 2, 4 and 8.
int32_t PrintModeIndexOfFlag(int32_t flag);
// The flag of a print mode index; 0 outside 0 to 3.
int32_t PrintModeFlagOfIndex(int32_t index);

// The suction step (0 standard, -1 to -4 weaker) of a raw Paperdraw value, as the export file
// stores it and the pages show it.
int32_t PaperdrawStep(uint8_t raw);

class UserSettings {
  public:
    // Sections "Media01", "Media02", ...; the names keep growing past two digits.
    static std::string MediaSectionName(int32_t index);
    // Names are exported as the driver's user configuration stores them: at most this many
    // bytes, cut only between characters.
    static constexpr std::size_t kExportNameBytes = UserMediaRecord::kNameCapacity;

    explicit UserSettings(const UserSettingsHost& host) : host_(host) {}

    const UserSettingsHost& Host() const { return host_; }

    // The flag of the record: mode code 6 gives 4, 15 gives 8; otherwise mode level 2 gives 2
    // and anything else 1.
    int32_t PrintModeFlag() const;

    // Writes the setting, under `name`, into the export file at `path`: a new name becomes a new
    // section past every MediaNN section and the count, an existing one replaces its section's
    // values (other keys of that section and all other sections stay); "MediaCount" counts every
    // section. The whole file is replaced at once (old or new after any fault), under the lock
    // beside it, so that concurrent exports all stay. False when the file cannot be read or
    // written; it is then unchanged.
    bool ExportWrite(const std::string& path, std::string_view name, int32_t hres, int32_t vres,
                     int32_t mw) const;
    // ExportWrite with the resolutions and "Mw" that the media type table records for the
    // record's media in the host's print mode (0 when it has none).
    bool ExportSetting(const std::string& path, std::string_view name) const;
    // The smallest MediaNN section index whose "CustomName" equals the name exactly; 0 when none.
    int32_t ExportFind(const std::string& path, std::string_view name) const;
    // True when the file's "Base"/"Model" equals the host's driver name exactly.
    bool ExportModelMatches(const std::string& path) const;

    UserMediaRecord record;
    MediaWorkingCopy working;
    // From the driver's media configuration: the user configuration's 102-byte slots and the
    // 84-byte records that follow them.
    int32_t userSlotCount = 0;
    int32_t extraRecordCount = 0;

  private:
    const UserSettingsHost& host_;
};
