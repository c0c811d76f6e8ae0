// The print spooler as the program sees it: queues, their drivers and ports, raw documents and
// the jobs waiting in a queue. One process-wide back-end serves every module; the CUPS back-end
// is the default, tests install an in-memory one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/export.h"

namespace spooler {

// EnumPrinters flags.
inline constexpr uint32_t kEnumLocal = 0x2;
inline constexpr uint32_t kEnumConnections = 0x4;

// Level-2 printer information: what the program reads of a queue.
struct PrinterInfo2 {
    std::string printerName;    // the queue name
    std::string driverName;     // CUPS: printer-make-and-model
    std::string portName;       // CUPS: device URI
    bool acceptingJobs = true;  // CUPS: printer-is-accepting-jobs (cupsaccept, cupsreject)
};

// Level-2 driver information: the driver's files as its installation registered them.
struct DriverInfo2 {
    std::string name;
    std::string driverPath;
    std::string dataFile;
    std::string configFile;
};

// Level-1 job information.
struct JobInfo1 {
    uint32_t jobId = 0;
    std::string printerName;
    std::string document;   // the document name the job was started with
    uint32_t position = 0;  // 1 for the job at the head of the queue
};

inline constexpr const char* kRawDataType = "RAW";

using PrinterHandle = uintptr_t;  // 0 means no printer
inline constexpr PrinterHandle kNoPrinter = 0;

class PLENWISE_API Spooler {
  public:
    virtual ~Spooler() = default;

    // Replaces printers by the queues of the kinds in flags (kEnumLocal, kEnumConnections or
    // both) in spooler order. False when the enumeration fails; the caller then skips that pass.
    virtual bool EnumPrinters(uint32_t flags, std::vector<PrinterInfo2>& printers) = 0;

    // kNoPrinter when there is no queue of exactly that name.
    virtual PrinterHandle OpenPrinter(const std::string& printerName) = 0;
    // Releases the handle; a document still open on it is cancelled, not printed.
    virtual bool ClosePrinter(PrinterHandle printer) = 0;
    virtual bool GetPrinterDriver(PrinterHandle printer, DriverInfo2& driver) = 0;

    // Starts a document, one at a time per handle; dataType empty or kRawDataType sends the bytes
    // unchanged, other data types are refused. Returns the job id, 0 on failure.
    virtual uint32_t StartDocPrinter(PrinterHandle printer, const std::string& documentName,
                                     const std::string& dataType) = 0;
    // Pages are bookkeeping: they nest inside the open document and do not nest in each other.
    virtual bool StartPagePrinter(PrinterHandle printer) = 0;
    // Writes bytes of the open document; written receives how many were accepted.
    virtual bool WritePrinter(PrinterHandle printer, const void* data, uint32_t length,
                              uint32_t& written) = 0;
    virtual bool EndPagePrinter(PrinterHandle printer) = 0;
    // Ends the open page, if any, and hands the document to the queue.
    virtual bool EndDocPrinter(PrinterHandle printer) = 0;

    // Replaces jobs by the queue's active jobs in queue order, starting at index firstJob, at most
    // maxJobs of them.
    virtual bool EnumJobs(PrinterHandle printer, uint32_t firstJob, uint32_t maxJobs,
                          std::vector<JobInfo1>& jobs) = 0;

    // True when the last call that needed the scheduler failed because none could be reached at
    // all (none runs, or CUPS_SERVER names none), not because one answered and refused. Lets a
    // caller tell "no print system" from "no such queue" without asking the scheduler again.
    virtual bool SchedulerUnreachable() const = 0;

    // The scheduler this back-end talks to, as ServerName writes it; "" for one of no scheduler.
    virtual std::string Server() const { return {}; }
};

// The queue of exactly that name as the local printers list it, replaced by a connection of the
// same name when the connections list one too. False when neither pass finds it (or both fail).
PLENWISE_API bool FindPrinter(const std::string& printerName, PrinterInfo2& found);

// The process-wide back-end, or the calling thread's while a ThreadSpooler of it lasts.
// Install(nullptr) returns to the CUPS back-end.
PLENWISE_API Spooler& Current();
PLENWISE_API void Install(std::unique_ptr<Spooler> backend);

// While it lasts, the calling thread works on `backend`: Current() gives it, and the CUPS
// library's default server of the thread (which the printer maker's library asks for a queue's
// printer) is its scheduler. For asking several schedulers at once, one per thread.
class PLENWISE_API ThreadSpooler {
  public:
    explicit ThreadSpooler(Spooler& backend);
    ~ThreadSpooler();
    ThreadSpooler(const ThreadSpooler&) = delete;
    ThreadSpooler& operator=(const ThreadSpooler&) = delete;

  private:
    Spooler* before_;
};

// How long the CUPS back-end waits for the scheduler: for the connection, and for each answer or
// each write it makes no progress on. A request then fails (CUPS tries once more, so one request
// takes up to about 6 s), and the scheduler counts as unreachable: one that accepts connections
// but never answers (stopped with SIGSTOP, or hung) is told like one that is down.
inline constexpr int kSchedulerTimeoutMs = 5000;

// The CUPS back-end, talking to `server` ("HOST", "HOST:PORT" or a socket path, as CUPS_SERVER
// takes it), or when it is empty to the default one (CUPS_SERVER, else the client configuration).
PLENWISE_API std::unique_ptr<Spooler> MakeCupsSpooler(int timeoutMs = kSchedulerTimeoutMs,
                                                      const std::string& server = {});

// How a scheduler is named in the program's output: "HOST:PORT" ("[ADDRESS]:PORT" for an IPv6
// address), or the path of a local socket.
PLENWISE_API std::string ServerName(const std::string& host, int port);
// The default server of the CUPS library for the calling thread: `server`, or "" for the one of
// the environment and client configuration.
PLENWISE_API void SetThreadServer(const std::string& server);

}  // namespace spooler
