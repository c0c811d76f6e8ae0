#include "fwload/firmware_download.h"

#include <algorithm>

#include "common/raw_job.h"
#include "common/service_log.h"
#include "platform/system/clock.h"

namespace {

// Between two looks at the wait: the one who shows it stays responsive without a busy core.
constexpr uint32_t kProgressPollMs = 50;

bool SameVersion(const FirmwareVersion& a, const FirmwareVersion& b) {
    return std::equal(a.begin(), a.begin() + kFirmwareVersionLength, b.begin());
}

void LogTransfer(const PrinterQueries& queries, const std::string& firmwarePath,
                 const FirmwareVersion& printerVersion, const FirmwareVersion& fileVersion,
                 const DownloadOutcome& outcome) {
    LogServiceAction(queries.PrinterName(), queries.ExpectedModel(), kActionFirmwareDownload,
                     {{"file", firmwarePath},
                      {"file-version", FirmwareVersionText(fileVersion)},
                      {"version-before", FirmwareVersionText(printerVersion)},
                      {"version-after", FirmwareVersionText(outcome.versionAfter)}},
                     outcome.result == DownloadResult::Done ? kResultDone : kResultFailed);
}

}  // namespace

bool ReadPrinterVersion(PrinterQueries& queries, FirmwareVersion& version) {
    version.fill(0);
    std::array<char, kFirmwareVersionLength> reply{};
    if (!queries.PrinterFirmwareVersion(reply, kVersionTimeoutMs)) {
        return false;
    }
    std::copy(reply.begin(), reply.end(), version.begin());
    return true;
}

DownloadMessage MessageOf(DownloadResult result) {
    switch (result) {
        case DownloadResult::NotReady:
            return {202, 0};
        case DownloadResult::OtherModel:
            return {203, 0};
        case DownloadResult::Older:
            return {204, 205};
        case DownloadResult::NotWritten:
        case DownloadResult::NotConfirmed:
            return {201, 211};
        case DownloadResult::Done:
            break;
    }
    return {200, 0};
}

DownloadOutcome DownloadFirmware(PrinterQueries& queries, const std::string& firmwarePath,
                                 const FirmwareVersion& printerVersion,
                                 const FirmwareVersion& fileVersion, uint32_t updateMs,
                                 UpdateWait& wait) {
    DownloadOutcome outcome;
    if (!queries.PrinterReady(3)) {
        outcome.result = DownloadResult::NotReady;
        return outcome;
    }
    switch (CheckFirmwareFit(printerVersion, fileVersion)) {
        case FirmwareFit::OtherModel:
            outcome.result = DownloadResult::OtherModel;
            return outcome;
        case FirmwareFit::Older:
            outcome.result = DownloadResult::Older;
            return outcome;
        case FirmwareFit::Fits:
            break;
    }
    const std::string& printer = queries.PrinterName();
    const ByteBlock preDownload = FirmwarePreDownloadBlock();
    SendRawCommandJob(printer, preDownload.data(), static_cast<uint32_t>(preDownload.size()));
    if (!SendFirmwareJob(printer, firmwarePath, printerVersion)) {
        outcome.result = DownloadResult::NotWritten;
        LogTransfer(queries, firmwarePath, printerVersion, fileVersion, outcome);
        return outcome;
    }

    sys::Clock& clock = sys::CurrentClock();
    wait.Begin();
    const uint32_t start = clock.TickCount();
    // Elapsed time rather than an end tick, so that a tick count wrapping meanwhile does not
    // end the wait early.
    uint32_t elapsed = 0;
    while (elapsed < updateMs && wait.Progress(elapsed, updateMs)) {
        clock.Sleep(kProgressPollMs);
        elapsed = clock.TickCount() - start;
    }
    wait.End();

    ReadPrinterVersion(queries, outcome.versionAfter);
    outcome.result = SameVersion(outcome.versionAfter, fileVersion) ? DownloadResult::Done
                                                                    : DownloadResult::NotConfirmed;
    LogTransfer(queries, firmwarePath, printerVersion, fileVersion, outcome);
    return outcome;
}
