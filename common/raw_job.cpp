#include "common/raw_job.h"

#include <optional>
#include <vector>

#include "platform/spooler/spooler.h"
#include "platform/system/clock.h"
#include "platform/ui/window.h"

namespace {
constexpr uint32_t kJobsLooked = 16;
constexpr uint32_t kEmptyQueueMs = 60000;
constexpr uint32_t kPollMs = 1000;
}  // namespace

bool SendRawCommandJob(const std::string& printerName, const void* bytes, uint32_t length) {
    return WriteRawDocument(printerName, bytes, length).has_value();
}

std::optional<bool> WriteRawDocument(const std::string& printerName, const void* bytes,
                                     uint32_t length) {
    spooler::Spooler& spool = spooler::Current();
    spooler::PrinterHandle printer = spool.OpenPrinter(printerName);
    if (printer == spooler::kNoPrinter) {
        return std::nullopt;
    }
    if (spool.StartDocPrinter(printer, kRawJobDocument, "") == 0) {
        spool.ClosePrinter(printer);
        return std::nullopt;
    }
    if (!spool.StartPagePrinter(printer)) {
        spool.EndDocPrinter(printer);
        spool.ClosePrinter(printer);
        return std::nullopt;
    }
    bool complete = true;
    if (length > 0) {
        uint32_t written = 0;
        complete = spool.WritePrinter(printer, bytes, length, written) && written == length;
    }
    // On CUPS the job is committed when its document ends: a job whose end failed never reached
    // the queue. Closed without its end, the document is cancelled.
    const bool committed = spool.EndPagePrinter(printer) && spool.EndDocPrinter(printer);
    spool.ClosePrinter(printer);
    if (!committed) {
        return std::nullopt;
    }
    return complete;
}

void WaitForQueuedJob(const std::string& printerName, const std::string& documentName) {
    spooler::Spooler& spool = spooler::Current();
    spooler::PrinterHandle printer = spool.OpenPrinter(printerName);
    if (printer == spooler::kNoPrinter) {
        return;
    }
    sys::Clock& clock = sys::CurrentClock();
    uint32_t started = clock.TickCount();
    // When the queue was last seen empty; none while jobs are listed. (A tick count of 0 is a
    // time like any other, so it cannot stand for "none".)
    std::optional<uint32_t> emptySince = started;
    bool waiting = true;
    while (waiting) {
        std::vector<spooler::JobInfo1> jobs;
        // A listing the scheduler fails tells nothing: the next poll asks again, and neither
        // the minute of empty queue nor the overall limit starts over.
        const bool listed = spool.EnumJobs(printer, 0, kJobsLooked, jobs);
        uint32_t now = clock.TickCount();
        if (listed && jobs.empty()) {
            if (!emptySince) {
                emptySince = now;
            }
            if (now - *emptySince > kEmptyQueueMs) {
                waiting = false;
            }
        } else if (listed) {
            for (const spooler::JobInfo1& job : jobs) {
                if (job.document == documentName) {
                    waiting = false;
                }
            }
            emptySince.reset();
        }
        if (now - started >= kWaitLimitMs) {
            waiting = false;
        }
        clock.Sleep(kPollMs);
        ui::PumpPaintMessages();
    }
    spool.ClosePrinter(printer);
}
