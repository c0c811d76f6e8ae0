// A spooler held in memory, for tests: queues are added by the test, every call is recorded,
// any step can be made to fail, and job lists can be staged that a real scheduler cannot
// produce on demand (long queues, queues that never empty, jobs that leave at a given time).
// Times are tick counts of sys::CurrentClock(), so a virtual clock drives them. One thread.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/spooler/spooler.h"

namespace spooler {

class MemorySpooler : public Spooler {
  public:
    enum class Step {
        kOpen,
        kGetDriver,
        kStartDoc,
        kStartPage,
        kWrite,
        kEndPage,
        kEndDoc,
        kEnumLocalPass,
        kEnumConnectionsPass,
        kEnumJobs,
    };
    static constexpr uint32_t kAlways = std::numeric_limits<uint32_t>::max();

    // A document as it was sent.
    struct Document {
        uint32_t jobId = 0;
        std::string printer;
        std::string name;
        std::string dataType;
        uint32_t pages = 0;
        std::string bytes;
        bool ended = false;      // EndDocPrinter succeeded
        bool cancelled = false;  // closed without EndDocPrinter
    };

    // Queues are listed in the order they were added.
    void AddQueue(const std::string& name, const std::string& driver, const std::string& port,
                  bool local = true);
    // The files GetPrinterDriver reports for the queue's driver (empty until set).
    void SetDriverFiles(const std::string& queue, const std::string& driverPath,
                        const std::string& dataFile, const std::string& configFile);

    // After `skip` more successes, the step fails `times` times (kAlways: from then on).
    void Fail(Step step, uint32_t skip = 0, uint32_t times = kAlways);
    // Every step succeeds again.
    void ClearFailures();
    // While the scheduler is unreachable every call fails, as when none runs, and
    // SchedulerUnreachable() says so.
    void SetSchedulerReachable(bool reachable) { reachable_ = reachable; }

    // Puts a job at the end of the queue's list; it leaves once the clock reaches leaveAtTick,
    // and never without one. Returns its job id.
    uint32_t AddJob(const std::string& queue, const std::string& document,
                    std::optional<uint32_t> leaveAtTick = std::nullopt);
    void RemoveJob(uint32_t jobId);
    // A document becomes a job of its queue when it is started; it leaves `ms` after it ended
    // (0, the default, at once), or never with std::nullopt.
    void SetJobLifetime(const std::string& queue, std::optional<uint32_t> ms);

    // Every call in order, as "<Call> <queue>" ("OpenPrinter WL4000", "WritePrinter WL4000"),
    // "EnumPrinters <flags>" for listings; failed calls end with " failed".
    const std::vector<std::string>& Calls() const { return calls_; }
    const std::vector<Document>& Documents() const { return documents_; }
    // Handles opened and not yet closed.
    size_t OpenHandles() const { return handles_.size(); }

    bool EnumPrinters(uint32_t flags, std::vector<PrinterInfo2>& printers) override;
    PrinterHandle OpenPrinter(const std::string& printerName) override;
    bool ClosePrinter(PrinterHandle printer) override;
    bool GetPrinterDriver(PrinterHandle printer, DriverInfo2& driver) override;
    uint32_t StartDocPrinter(PrinterHandle printer, const std::string& documentName,
                             const std::string& dataType) override;
    bool StartPagePrinter(PrinterHandle printer) override;
    bool WritePrinter(PrinterHandle printer, const void* data, uint32_t length,
                      uint32_t& written) override;
    bool EndPagePrinter(PrinterHandle printer) override;
    bool EndDocPrinter(PrinterHandle printer) override;
    bool EnumJobs(PrinterHandle printer, uint32_t firstJob, uint32_t maxJobs,
                  std::vector<JobInfo1>& jobs) override;
    bool SchedulerUnreachable() const override { return lastFailedUnreached_; }

  private:
    struct Queue {
        PrinterInfo2 info;
        bool local = true;
        DriverInfo2 driverFiles;
        std::optional<uint32_t> jobLifetime = 0;
    };
    struct Job {
        uint32_t id = 0;
        std::string queue;
        std::string document;
        std::optional<uint32_t> leaveAtTick;
    };
    struct Handle {
        std::string queue;
        std::optional<size_t> document;  // index into documents_ while one is open
        bool inPage = false;
    };
    struct Failure {
        uint32_t skip = 0;
        uint32_t times = 0;
    };

    // Consumes one use of the step; true when it is to fail.
    bool Fails(Step step);
    bool Record(const std::string& call, const std::string& subject, bool succeeded);
    Queue* FindQueue(const std::string& name);
    Handle* FindHandle(PrinterHandle printer);
    Job* FindJob(uint32_t jobId);
    void DropDepartedJobs();

    std::vector<Queue> queues_;
    std::vector<Job> jobs_;
    std::vector<Document> documents_;
    std::vector<std::string> calls_;
    std::map<PrinterHandle, Handle> handles_;
    std::map<Step, Failure> failures_;
    PrinterHandle nextHandle_ = 1;
    uint32_t nextJobId_ = 1;
    bool reachable_ = true;
    bool lastFailedUnreached_ = false;
};

// Installs a fresh MemorySpooler as the process-wide spooler for the object's lifetime, then
// returns to the default back-end.
class ScopedMemorySpooler {
  public:
    ScopedMemorySpooler();
    ~ScopedMemorySpooler();
    ScopedMemorySpooler(const ScopedMemorySpooler&) = delete;
    ScopedMemorySpooler& operator=(const ScopedMemorySpooler&) = delete;

    MemorySpooler& operator*() const { return *spooler_; }
    MemorySpooler* operator->() const { return spooler_; }

  private:
    MemorySpooler* spooler_;
};

}  // namespace spooler
