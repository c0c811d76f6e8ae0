// The host of the first family's user settings for the targets that read its files: a WL-4000
// on the given kind of system, with an empty media type table.
#pragma once

#include <string>

#include "util/settings/model_class.h"
#include "util/settings/user_settings.h"

namespace fuzz {

class SettingsHost : public UserSettingsHost {
  public:
    explicit SettingsHost(OsKind os) : os_(os) {}

    std::string DriverName() const override { return "ARVEN WL-4000"; }
    int32_t DriverInkSet() const override { return 1; }
    int32_t PrintMode() const override { return 1; }
    int32_t ModelClass() const override { return ModelClassOf(DriverName()); }
    OsKind HostOsKind() const override { return os_; }
    ConfigFileNames ConfigNames() const override { return UtilConfigFileNames(ModelClass()); }
    std::string InkModeText() const override { return UtilInkModeText(DriverInkSet()); }
    const MediaTypeTable& MediaTypes() const override { return media_; }

  private:
    OsKind os_;
    MediaTypeTable media_;
};

}  // namespace fuzz
