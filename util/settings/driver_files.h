// Whether the printer driver's files can serve the custom media settings: its media
// configuration (which also says how many settings its user configuration holds) and the user
// configuration itself. A file the program cannot read must not pass for one that holds no
// settings: the operator is told which file it is and why.
#pragma once

#include <optional>
#include <string>

#include "util/settings/media_settings_store.h"

namespace util {

struct DriverFileFault {
    std::string file;    // the path, or where in the registry the configuration lies
    std::string reason;  // "No such file or directory", "it is a folder", ...

    std::string Text() const { return file + ": " + reason; }
};

// Reads the store's slot counts (as the start of the function does) and checks both files: the
// media configuration must be there, readable, whole up to its directory, and give the user
// configuration room for settings; the user configuration may be missing (no setting was registered
// yet) but, when there, must be a regular file that can be read. The first fault found, or none.
std::optional<DriverFileFault> CheckDriverFiles(MediaSettingsStore& store);

}  // namespace util
