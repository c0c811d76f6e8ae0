// The media-settings session of plenwise-cli: the module's data file read from a path, the
// queue's session started as the wizard starts it, and what only the command line does with it
// (a start-up that says why it failed, loading a setting by name).
#pragma once

#include <string>

#include "util/settings/driver_files.h"
#include "util/settings/media_type_table.h"
#include "util/settings_session.h"
#include "util/variant.h"

namespace cli {

class SettingsHost {
  public:
    SettingsHost(const util::Variant& variant, std::string printerName);

    // Reads the module's data file (texts and media types), the queue's driver and ink set, and
    // chooses the store the function would work on.
    // Faulty when a driver file cannot serve the settings (Fault() says which and why).
    enum class Start { Ready, DataFileDamaged, NoSettings, NoMediaConfiguration, Faulty };
    Start StartUp(const std::string& dataFilePath);
    const util::DriverFileFault& Fault() const { return fault_; }

    const UtilDataFile& Texts() const { return data_; }
    const util::SettingsSession& Session() const { return session_; }
    MediaSettingsStore& Store() { return session_.Store(); }
    UserSettings& Settings() { return session_.Settings(); }

    // Loads the named user entry into the store's record and takes its print mode, as the
    // setting selection page does; false when there is none of that name.
    bool LoadSetting(const std::string& name);
    // The driver's name of the media of the record loaded ("" when it has none for it).
    std::string MediaNameOfRecord();

  private:
    std::string printerName_;
    UtilDataFile data_;
    util::SettingsSession session_;
    util::DriverFileFault fault_;
};

}  // namespace cli
