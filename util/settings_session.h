// The start-up facts the media-settings stores ask of their host, found once for a queue: its
// driver and port, the model class, the kind of Windows, the ink set the driver is set up for
// and which of the variant's stores applies. The wizard host and plenwise-cli both start
// through it, so they cannot come to disagree on what a queue's settings are.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "util/settings/driver_media_config.h"
#include "util/settings/driver_settings_library.h"
#include "util/settings/media_settings_store.h"
#include "util/settings/media_type_table.h"
#include "util/settings/model_class.h"
#include "util/settings/user_settings.h"
#include "util/variant.h"

namespace util {

class SettingsSession : public UserSettingsHost {
  public:
    // The media types come from `data`, which outlives the session.
    SettingsSession(const Variant& variant, const UtilDataFile& data);
    ~SettingsSession() override;

    // Finds the queue's driver and port as the spooler names them, the model class and the
    // kind of Windows.
    void FindQueue(const std::string& printerName);
    // Binds the driver's settings library to the queue found.
    void BindLibrary();
    // Reads the ink set the driver is set up for and chooses the variant's store for the kind
    // of Windows; false when none applies (the driver's media configuration stays chosen).
    bool ChooseStore();

    const Variant& GetVariant() const { return variant_; }
    const std::string& PrinterName() const { return printerName_; }
    const std::string& PortName() const { return portName_; }
    // The model keeps custom media settings.
    bool HasSettingPages() const { return variant_.hasSettingPages(modelClass_); }

    std::string DriverName() const override { return driverName_; }
    int32_t DriverInkSet() const override { return driverInkSet_; }
    int32_t PrintMode() const override { return printMode_; }
    int32_t ModelClass() const override { return modelClass_; }
    OsKind HostOsKind() const override { return osKind_; }
    ConfigFileNames ConfigNames() const override { return variant_.configFileNamesOf(modelClass_); }
    std::string InkModeText() const override { return variant_.inkModeTextOf(driverInkSet_); }
    const MediaTypeTable& MediaTypes() const override { return data_.MediaTypes(); }

    void SetPrintMode(int32_t printMode) { printMode_ = printMode; }

    // The store of the driver's media and user configuration that the settings work on.
    MediaSettingsStore& Store() { return *store_; }
    DriverSettingsLibrary& Library() { return library_; }
    UserSettings& Settings() { return settings_; }
    DriverMediaConfig& MediaConfig() { return mediaConfig_; }

  private:
    const Variant& variant_;
    const UtilDataFile& data_;
    std::string printerName_;
    std::string driverName_;
    std::string portName_;
    int32_t printMode_ = 0;
    int32_t driverInkSet_ = 0;
    OsKind osKind_ = OsKind::Other;
    int32_t modelClass_ = kModelClassUnknown;
    DriverSettingsLibrary library_;
    UserSettings settings_;
    DriverMediaConfig mediaConfig_;
    std::unique_ptr<MediaSettingsStore> secondStore_;
    MediaSettingsStore* store_ = &mediaConfig_;
};

}  // namespace util
