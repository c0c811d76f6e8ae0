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

// How a download ended. Nothing is sent unless the checks pass; the checks are made on the bytes
// that are sent, read from the file right before they go.
enum class DownloadResult {
    NotReady,      // the printer is not the queue's model or not ready
    TooLarge,      // the file is larger than the transfer takes
    OtherModel,    // the file's model class differs from the printer's
    Older,         // the file's version is below the printer's
    Changed,       // the file's version is no longer the one checked, or it cannot be read whole
    NotSent,       // the firmware job did not reach the printer's queue whole
    Unconfirmed,   // sent, but afterwards the printer could not be asked for its version
    NotConfirmed,  // sent, but afterwards the printer reports another version
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
    // True once whoever waits is being ended: nothing more is sent, the printer is not asked
    // again, and what went out is recorded at once.
    virtual bool Abandoned() const { return false; }
};

struct DownloadOutcome {
    DownloadResult result = DownloadResult::NotReady;
    FirmwareVersion fileVersion{};   // of the bytes read for sending; zero when none were read
    FirmwareVersion versionAfter{};  // as read back; zero when it was not read or not answered
};

// Downloads the file to the queue's printer: ready (3 status reads), the file read whole, its
// size and version checked against the printer's and against `checkedVersion` (what the
// operator was shown), the pre-download block, the firmware job, `updateMs` of waiting, the
// version read again. Once anything went to the printer, the transfer is recorded in the service
// log with the version sent and the printer's versions before and after.
DownloadOutcome DownloadFirmware(PrinterQueries& queries, const std::string& firmwarePath,
                                 const FirmwareVersion& printerVersion,
                                 const FirmwareVersion& checkedVersion, uint32_t updateMs,
                                 UpdateWait& wait);
