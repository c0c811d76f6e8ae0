// What the driver's media configuration stores ask of their host, for plenwise-cli: the queue's
// driver, the ink set the driver is set up for, the model class and the kind of Windows, found
// as the media-settings function's host finds them at its start.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "util/driver_files.h"
#include "util/driver_media_config.h"
#include "util/driver_settings_library.h"
#include "util/media_type_table.h"
#include "util/user_settings.h"
#include "util/variant.h"

namespace cli {

class SettingsHost : public UserSettingsHost {
  public:
    SettingsHost(const util::Variant& variant, std::string printerName);
    ~SettingsHost() override;

    // Reads the module's data file (texts and media types), the queue's driver and ink set, and
    // chooses the store the function would work on, taking its slot counts.
    // Faulty when a driver file cannot serve the settings (Fault() says which and why).
    enum class Start { Ready, DataFileDamaged, NoSettings, NoMediaConfiguration, Faulty };
    Start StartUp(const std::string& dataFilePath);
    const util::DriverFileFault& Fault() const { return fault_; }

    std::string DriverName() const override { return driverName_; }
    int32_t DriverInkSet() const override { return driverInkSet_; }
    int32_t PrintMode() const override { return printMode_; }
    int32_t ModelClass() const override { return modelClass_; }
    OsKind HostOsKind() const override { return osKind_; }
    ConfigFileNames ConfigNames() const override { return variant_.configFileNamesOf(modelClass_); }
    std::string InkModeText() const override { return variant_.inkModeTextOf(driverInkSet_); }
    const MediaTypeTable& MediaTypes() const override { return data_.MediaTypes(); }

    const UtilDataFile& Texts() const { return data_; }
    MediaSettingsStore& Store() { return *store_; }
    UserSettings& Settings() { return settings_; }

    // Loads the named user entry into the store's record and takes its print mode, as the
    // setting selection page does; false when there is none of that name.
    bool LoadSetting(const std::string& name);
    // The driver's name of the media of the record loaded ("" when it has none for it).
    std::string MediaNameOfRecord();

  private:
    const util::Variant& variant_;
    std::string printerName_;
    UtilDataFile data_;
    std::string driverName_;
    std::string portName_;
    int32_t driverInkSet_ = 1;
    int32_t printMode_ = 1;
    int32_t modelClass_ = kModelClassUnknown;
    OsKind osKind_ = OsKind::Other;
    DriverSettingsLibrary library_;
    UserSettings settings_;
    DriverMediaConfig firstStore_;
    std::unique_ptr<MediaSettingsStore> secondStore_;
    MediaSettingsStore* store_ = &firstStore_;
    util::DriverFileFault fault_;
};

}  // namespace cli
