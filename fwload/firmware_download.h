// The firmware download as one sequence, the same for the firmware page and plenwise-cli: the
// printer and file checks, the pre-download block, the transfer, the printer's time to take the
// file, and the version read back. Who runs it shows the wait and the outcome in its own way.
#pragma once

#include <cstdint>
#include <string>

#include "common/remote_commands.h"
#include "fwload/firmware_file.h"

// The printer's time to take new firmware; its progress is not observed.
inline constexpr uint32_t kFirmwareUpdateMs = 85000;
inline constexpr int32_t kVersionTimeoutMs = 10000;

// The printer's version as it answers now into `version` (zero-filled first); false, leaving it
// zero, when it gave none.
bool ReadPrinterVersion(PrinterQueries& queries, FirmwareVersion& version);

// How a download ended. Nothing is sent unless the checks pass.
enum class DownloadResult {
    NotReady,      // the printer is not the queue's model or not ready
    OtherModel,    // the file's model class differs from the printer's
    Older,         // the file's version is below the printer's
    NotWritten,    // the pre-download block went, the firmware job could not be written
    NotConfirmed,  // sent, but afterwards the printer reports another version, or none
    Done,          // the printer reports the file's version
};

// The message that reports a result: text numbers of the download's data file, shown joined
// (second 0 when there is none).
struct DownloadMessage {
    int32_t first;
    int32_t second;
};
DownloadMessage MessageOf(DownloadResult result);

// Shown while the printer takes the file. Begin and End bracket the wait; Progress is called
// with the time gone by, from 0, until the wait is over, and ends it early by returning false.
class UpdateWait {
  public:
    virtual ~UpdateWait() = default;
    virtual void Begin() = 0;
    virtual bool Progress(uint32_t elapsedMs, uint32_t totalMs) = 0;
    virtual void End() = 0;
};

struct DownloadOutcome {
    DownloadResult result = DownloadResult::NotReady;
    FirmwareVersion versionAfter{};  // as read back; zero when it was not read or not answered
};

// Downloads the file to the queue's printer: ready (3 status reads), the versions fit, the
// pre-download block, the firmware job, `updateMs` of waiting, the version read again. Once
// anything went to the printer, the transfer is recorded in the service log with the versions
// before and after.
DownloadOutcome DownloadFirmware(PrinterQueries& queries, const std::string& firmwarePath,
                                 const FirmwareVersion& printerVersion,
                                 const FirmwareVersion& fileVersion, uint32_t updateMs,
                                 UpdateWait& wait);
