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

const char* LoggedResult(DownloadResult result) {
    switch (result) {
        case DownloadResult::Done:
            return kResultDone;
        case DownloadResult::Unconfirmed:
            return kResultSent;
        default:
            return kResultFailed;
    }
}

void LogTransfer(const PrinterQueries& queries, const std::string& firmwarePath,
                 const FirmwareVersion& printerVersion, const DownloadOutcome& outcome) {
    LogServiceAction(queries.PrinterName(), queries.ExpectedModel(), kActionFirmwareDownload,
                     {{"file", firmwarePath},
                      {"file-version", FirmwareVersionText(outcome.fileVersion)},
                      {"version-before", FirmwareVersionText(printerVersion)},
                      {"version-after", FirmwareVersionText(outcome.versionAfter)}},
                     LoggedResult(outcome.result));
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
        case DownloadResult::TooLarge:
            return {206, 0};
        case DownloadResult::OtherModel:
            return {203, 0};
        case DownloadResult::Older:
            return {204, 205};
        case DownloadResult::Changed:
            return {207, 0};
        case DownloadResult::NotSent:
            return {208, 0};
        case DownloadResult::Unconfirmed:
            return {209, 0};
        case DownloadResult::NotConfirmed:
            return {201, 211};
        case DownloadResult::Done:
            break;
    }
    return {200, 0};
}

DownloadOutcome DownloadFirmware(PrinterQueries& queries, const std::string& firmwarePath,
                                 const FirmwareVersion& printerVersion,
                                 const FirmwareVersion& checkedVersion, uint32_t updateMs,
                                 UpdateWait& wait) {
    DownloadOutcome outcome;
    auto refused = [&outcome](DownloadResult result) {
        outcome.result = result;
        return outcome;
    };
    if (!queries.PrinterReady(3)) {
        return refused(DownloadResult::NotReady);
    }
    // Read now, after the printer's checks: these bytes are what is checked and what is sent.
    FirmwareJob job;
    const FirmwareJob::Read read = job.ReadFile(firmwarePath);
    outcome.fileVersion = job.Version();
    switch (CheckFirmwareFit(printerVersion, job.Version(), job.FileSize())) {
        case FirmwareFit::TooLarge:
            return refused(DownloadResult::TooLarge);
        case FirmwareFit::OtherModel:
            return refused(DownloadResult::OtherModel);
        case FirmwareFit::Older:
            return refused(DownloadResult::Older);
        case FirmwareFit::Fits:
            break;
    }
    if (!SameVersion(job.Version(), checkedVersion) || read == FirmwareJob::Read::Unreadable) {
        return refused(DownloadResult::Changed);
    }
    if (read != FirmwareJob::Read::Whole || wait.Abandoned()) {
        return refused(DownloadResult::NotSent);
    }
    const std::string& printer = queries.PrinterName();
    const ByteBlock preDownload = FirmwarePreDownloadBlock();
    const bool prepared =
        SendRawCommandJob(printer, preDownload.data(), static_cast<uint32_t>(preDownload.size()));
    if (!job.Send(printer, printerVersion).value_or(false)) {
        outcome.result = DownloadResult::NotSent;
        // The printer was told to expect firmware that never came.
        if (prepared) {
            LogTransfer(queries, firmwarePath, printerVersion, outcome);
        }
        return outcome;
    }

    sys::Clock& clock = sys::CurrentClock();
    wait.Begin();
    const uint32_t start = clock.TickCount();
    // Elapsed time rather than an end tick, so that a tick count wrapping meanwhile does not
    // end the wait early.
    uint32_t elapsed = 0;
    while (elapsed < updateMs && !wait.Abandoned() && wait.Progress(elapsed, updateMs)) {
        clock.Sleep(kProgressPollMs);
        elapsed = clock.TickCount() - start;
    }
    wait.End();

    // A reply without a version tells as little as no reply.
    if (wait.Abandoned() || !ReadPrinterVersion(queries, outcome.versionAfter) ||
        outcome.versionAfter[0] == '\0') {
        outcome.versionAfter.fill(0);
        outcome.result = DownloadResult::Unconfirmed;
    } else {
        outcome.result = SameVersion(outcome.versionAfter, outcome.fileVersion)
                             ? DownloadResult::Done
                             : DownloadResult::NotConfirmed;
    }
    LogTransfer(queries, firmwarePath, printerVersion, outcome);
    return outcome;
}
