// The driver-side files of the custom media settings, as the wizard's pages reach them: the
// driver's own media records and the user entries registered for it. A module may know more than
// one such store (each keeps its records in files of its own); the pages always work through the
// one the host chose at start-up. Every store loads into and saves from the same UserSettings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class MediaSettingsStore {
  public:
    virtual ~MediaSettingsStore() = default;

    // The driver's own records: the first in-use one of the media ID that answers the print-mode
    // flag becomes the record being edited (the working copy stays); and the flags the media's
    // records answer, ORed.
    virtual bool LoadBase(uint32_t mediaId, int32_t modeFlag) = 0;
    virtual int32_t ModesOf(uint32_t mediaId) const = 0;
    // How many user entries the user file holds, from the driver's file; false when unknown.
    virtual bool ReadSlotCounts() = 0;
    // That number, as ReadSlotCounts took it (0 before).
    virtual int32_t UserSlotCount() const = 0;
    // Whether the driver's file is there and is the expected one.
    virtual bool DriverFilePresent() const = 0;

    // The user entries, by name: their names in slot order (at most max; their number, 0 when
    // there is no user file location, -1 when it cannot be opened), loading one into the record
    // and the working copy, its driver media ID (0 when none), whether it exists, and saving the
    // record under a name (0, or -1 when it cannot be saved).
    virtual int32_t ListUserNames(int32_t max, std::vector<std::string>& names) const = 0;
    virtual bool LoadUser(std::string_view name) = 0;
    virtual uint32_t UserMediaId(std::string_view name) const = 0;
    virtual bool UserExists(std::string_view name) const = 0;
    virtual int32_t SaveUser(std::string_view name) = 0;

    // The longest name a user entry can keep, in characters.
    virtual int32_t LongestName() const = 0;

    virtual std::string CfgPath() const = 0;
    virtual std::string UcfPath() const = 0;
};
