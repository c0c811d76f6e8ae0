#include "tests/support/memory_spooler.h"

#include <strings.h>

#include <algorithm>

#include "platform/system/clock.h"

namespace spooler {

namespace {

// Queue names match regardless of case, as the scheduler's do.
bool SameQueue(const std::string& a, const std::string& b) {
    return ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

bool HasLeft(const std::optional<uint32_t>& leaveAtTick, uint32_t now) {
    // The tick count wraps; the signed difference orders ticks less than 24 days apart.
    return leaveAtTick && static_cast<int32_t>(now - *leaveAtTick) >= 0;
}

}  // namespace

void MemorySpooler::AddQueue(const std::string& name, const std::string& driver,
                             const std::string& port, bool local) {
    Queue queue;
    queue.info = PrinterInfo2{name, driver, port};
    queue.local = local;
    queue.driverFiles.name = driver;
    queues_.push_back(queue);
}

void MemorySpooler::SetDriverFiles(const std::string& queue, const std::string& driverPath,
                                   const std::string& dataFile, const std::string& configFile) {
    if (Queue* found = FindQueue(queue)) {
        found->driverFiles.driverPath = driverPath;
        found->driverFiles.dataFile = dataFile;
        found->driverFiles.configFile = configFile;
    }
}

void MemorySpooler::Fail(Step step, uint32_t skip, uint32_t times) {
    failures_[step] = Failure{skip, times};
}

void MemorySpooler::ClearFailures() {
    failures_.clear();
}

uint32_t MemorySpooler::AddJob(const std::string& queue, const std::string& document,
                               std::optional<uint32_t> leaveAtTick) {
    const Queue* found = FindQueue(queue);
    jobs_.push_back(
        Job{nextJobId_, found ? found->info.printerName : queue, document, leaveAtTick});
    return nextJobId_++;
}

void MemorySpooler::RemoveJob(uint32_t jobId) {
    std::erase_if(jobs_, [jobId](const Job& job) { return job.id == jobId; });
}

void MemorySpooler::SetJobLifetime(const std::string& queue, std::optional<uint32_t> ms) {
    if (Queue* found = FindQueue(queue)) {
        found->jobLifetime = ms;
    }
}

bool MemorySpooler::EnumPrinters(uint32_t flags, std::vector<PrinterInfo2>& printers) {
    printers.clear();
    const bool wantLocal = (flags & kEnumLocal) != 0;
    const bool wantConnections = (flags & kEnumConnections) != 0;
    const bool failed = (!wantLocal && !wantConnections) ||
                        (wantLocal && Fails(Step::kEnumLocalPass)) ||
                        (wantConnections && Fails(Step::kEnumConnectionsPass));
    if (!Record("EnumPrinters", std::to_string(flags), !failed)) {
        return false;
    }
    for (const Queue& queue : queues_) {
        if (queue.local ? wantLocal : wantConnections) {
            printers.push_back(queue.info);
        }
    }
    return true;
}

PrinterHandle MemorySpooler::OpenPrinter(const std::string& printerName) {
    const Queue* queue = FindQueue(printerName);
    if (!Record("OpenPrinter", printerName, queue != nullptr && !Fails(Step::kOpen))) {
        return kNoPrinter;
    }
    const PrinterHandle handle = nextHandle_++;
    handles_[handle] = Handle{queue->info.printerName, std::nullopt, false};
    return handle;
}

bool MemorySpooler::ClosePrinter(PrinterHandle printer) {
    const auto found = handles_.find(printer);
    if (found == handles_.end()) {
        return Record("ClosePrinter", "?", false);
    }
    if (found->second.document) {
        Document& document = documents_[*found->second.document];
        document.cancelled = true;
        RemoveJob(document.jobId);
    }
    const std::string queue = found->second.queue;
    handles_.erase(found);
    return Record("ClosePrinter", queue, true);
}

bool MemorySpooler::GetPrinterDriver(PrinterHandle printer, DriverInfo2& driver) {
    const Handle* handle = FindHandle(printer);
    const Queue* queue = handle ? FindQueue(handle->queue) : nullptr;
    if (!Record("GetPrinterDriver", handle ? handle->queue : "?",
                queue != nullptr && !Fails(Step::kGetDriver))) {
        return false;
    }
    driver = queue->driverFiles;
    return true;
}

uint32_t MemorySpooler::StartDocPrinter(PrinterHandle printer, const std::string& documentName,
                                        const std::string& dataType) {
    Handle* handle = FindHandle(printer);
    const bool raw = dataType.empty() || ::strcasecmp(dataType.c_str(), kRawDataType) == 0;
    if (!Record("StartDocPrinter", handle ? handle->queue : "?",
                handle != nullptr && !handle->document && raw && !Fails(Step::kStartDoc))) {
        return 0;
    }
    const uint32_t jobId = nextJobId_++;
    handle->document = documents_.size();
    handle->inPage = false;
    documents_.push_back(
        Document{jobId, handle->queue, documentName, dataType, 0, {}, false, false});
    jobs_.push_back(Job{jobId, handle->queue, documentName, std::nullopt});
    return jobId;
}

bool MemorySpooler::StartPagePrinter(PrinterHandle printer) {
    Handle* handle = FindHandle(printer);
    if (!Record(
            "StartPagePrinter", handle ? handle->queue : "?",
            handle != nullptr && handle->document && !handle->inPage && !Fails(Step::kStartPage))) {
        return false;
    }
    handle->inPage = true;
    ++documents_[*handle->document].pages;
    return true;
}

bool MemorySpooler::WritePrinter(PrinterHandle printer, const void* data, uint32_t length,
                                 uint32_t& written) {
    written = 0;
    Handle* handle = FindHandle(printer);
    if (!Record("WritePrinter", handle ? handle->queue : "?",
                handle != nullptr && handle->document && (data != nullptr || length == 0) &&
                    !Fails(Step::kWrite))) {
        return false;
    }
    if (length != 0) {
        documents_[*handle->document].bytes.append(static_cast<const char*>(data), length);
    }
    written = length;
    return true;
}

bool MemorySpooler::EndPagePrinter(PrinterHandle printer) {
    Handle* handle = FindHandle(printer);
    if (!Record("EndPagePrinter", handle ? handle->queue : "?",
                handle != nullptr && handle->inPage && !Fails(Step::kEndPage))) {
        return false;
    }
    handle->inPage = false;
    return true;
}

bool MemorySpooler::EndDocPrinter(PrinterHandle printer) {
    Handle* handle = FindHandle(printer);
    if (handle == nullptr || !handle->document) {
        return Record("EndDocPrinter", handle ? handle->queue : "?", false);
    }
    Document& document = documents_[*handle->document];
    handle->document.reset();
    handle->inPage = false;
    // Like the scheduler, a document that could not be ended is dropped with its job.
    if (!Record("EndDocPrinter", handle->queue, !Fails(Step::kEndDoc))) {
        document.cancelled = true;
        RemoveJob(document.jobId);
        return false;
    }
    document.ended = true;
    const Queue* queue = FindQueue(handle->queue);
    if (Job* job = FindJob(document.jobId); job != nullptr && queue != nullptr) {
        if (queue->jobLifetime) {
            job->leaveAtTick = sys::CurrentClock().TickCount() + *queue->jobLifetime;
        }
    }
    return true;
}

bool MemorySpooler::EnumJobs(PrinterHandle printer, uint32_t firstJob, uint32_t maxJobs,
                             std::vector<JobInfo1>& jobs) {
    jobs.clear();
    const Handle* handle = FindHandle(printer);
    if (!Record("EnumJobs", handle ? handle->queue : "?",
                handle != nullptr && !Fails(Step::kEnumJobs))) {
        return false;
    }
    DropDepartedJobs();
    uint32_t position = 0;
    for (const Job& job : jobs_) {
        if (!SameQueue(job.queue, handle->queue)) {
            continue;
        }
        ++position;
        if (position > firstJob && jobs.size() < maxJobs) {
            jobs.push_back(JobInfo1{job.id, job.queue, job.document, position});
        }
    }
    return true;
}

bool MemorySpooler::Fails(Step step) {
    const auto found = failures_.find(step);
    if (found == failures_.end()) {
        return false;
    }
    Failure& failure = found->second;
    if (failure.skip > 0) {
        --failure.skip;
        return false;
    }
    if (failure.times == 0) {
        return false;
    }
    if (failure.times != kAlways) {
        --failure.times;
    }
    return true;
}

bool MemorySpooler::Record(const std::string& call, const std::string& subject, bool succeeded) {
    lastFailedUnreached_ = !reachable_;
    succeeded = succeeded && reachable_;
    calls_.push_back(call + " " + subject + (succeeded ? "" : " failed"));
    return succeeded;
}

MemorySpooler::Queue* MemorySpooler::FindQueue(const std::string& name) {
    const auto found = std::find_if(queues_.begin(), queues_.end(), [&name](const Queue& queue) {
        return SameQueue(queue.info.printerName, name);
    });
    return found != queues_.end() ? &*found : nullptr;
}

MemorySpooler::Handle* MemorySpooler::FindHandle(PrinterHandle printer) {
    const auto found = handles_.find(printer);
    return found != handles_.end() ? &found->second : nullptr;
}

MemorySpooler::Job* MemorySpooler::FindJob(uint32_t jobId) {
    const auto found = std::find_if(jobs_.begin(), jobs_.end(),
                                    [jobId](const Job& job) { return job.id == jobId; });
    return found != jobs_.end() ? &*found : nullptr;
}

void MemorySpooler::DropDepartedJobs() {
    const uint32_t now = sys::CurrentClock().TickCount();
    std::erase_if(jobs_, [now](const Job& job) { return HasLeft(job.leaveAtTick, now); });
}

ScopedMemorySpooler::ScopedMemorySpooler() {
    auto spooler = std::make_unique<MemorySpooler>();
    spooler_ = spooler.get();
    Install(std::move(spooler));
}

ScopedMemorySpooler::~ScopedMemorySpooler() {
    Install(nullptr);
}

}  // namespace spooler
