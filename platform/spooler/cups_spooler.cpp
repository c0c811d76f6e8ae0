// The spooler on a CUPS scheduler: queues are CUPS destinations, the driver name is the queue's
// make and model, the port its device URI, and documents are raw jobs.
#include <cups/cups.h>
#include <strings.h>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>

#include "platform/registry/driver_registration.h"
#include "platform/spooler/spooler.h"

namespace spooler {

namespace {

// printer-type bits of queues that this scheduler does not own.
constexpr unsigned long kRemotePrinterBit = 0x2;
constexpr unsigned long kDiscoveredPrinterBit = 0x1000000;

// How long a request may wait for the scheduler before it fails.
constexpr double kRequestTimeoutSeconds = 30.0;
constexpr int kConnectTimeoutMs = 30000;

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
using Connection = std::unique_ptr<http_t, HttpClose>;

struct IppDelete {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppMessage = std::unique_ptr<ipp_t, IppDelete>;

bool Succeeded(ipp_status_t status) {
    return status <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

bool IsRawDataType(const std::string& dataType) {
    return dataType.empty() || ::strcasecmp(dataType.c_str(), kRawDataType) == 0;
}

bool IsLocalQueue(const cups_dest_t& dest) {
    const char* type = cupsGetOption("printer-type", dest.num_options, dest.options);
    const unsigned long bits = type != nullptr ? std::strtoul(type, nullptr, 0) : 0;
    const char* temporary = cupsGetOption("printer-is-temporary", dest.num_options, dest.options);
    const bool isTemporary = temporary != nullptr && ::strcasecmp(temporary, "true") == 0;
    return (bits & (kRemotePrinterBit | kDiscoveredPrinterBit)) == 0 && !isTemporary;
}

std::string OptionOrEmpty(const cups_dest_t& dest, const char* name) {
    const char* value = cupsGetOption(name, dest.num_options, dest.options);
    return value != nullptr ? value : "";
}

// One open printer handle: a connection for queries and, while a document is being written, a
// second one that carries the document's request.
struct OpenQueue {
    std::string name;
    Connection query;
    Connection document;
    int jobId = 0;
    bool inPage = false;
};

class CupsSpooler : public Spooler {
  public:
    CupsSpooler() {
        // Forget any server chosen before, so that CUPS_SERVER (or the client configuration) as
        // it stands now decides.
        cupsSetServer(nullptr);
        server_ = cupsServer();
        port_ = ippPort();
    }

    ~CupsSpooler() override {
        for (auto& [handle, queue] : queues_) {
            AbandonDocument(queue);
        }
    }

    bool EnumPrinters(uint32_t flags, std::vector<PrinterInfo2>& printers) override {
        printers.clear();
        const bool wantLocal = (flags & kEnumLocal) != 0;
        const bool wantConnections = (flags & kEnumConnections) != 0;
        if (!wantLocal && !wantConnections) {
            return false;
        }
        std::lock_guard lock(mutex_);
        Connection http = Connect();
        if (!http) {
            return false;
        }
        cups_dest_t* dests = nullptr;
        const int count = cupsGetDests2(http.get(), &dests);
        // A scheduler without queues answers "not found"; anything else is a failed listing.
        if (count == 0 && !Succeeded(cupsLastError()) &&
            cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND) {
            NoteRequest(false);
            cupsFreeDests(count, dests);
            return false;
        }
        for (int i = 0; i < count; ++i) {
            const cups_dest_t& dest = dests[i];
            // Instances are saved option sets of a queue, not queues.
            if (dest.instance != nullptr) {
                continue;
            }
            const bool local = IsLocalQueue(dest);
            if (local ? !wantLocal : !wantConnections) {
                continue;
            }
            printers.push_back(PrinterInfo2{dest.name,
                                            OptionOrEmpty(dest, "printer-make-and-model"),
                                            OptionOrEmpty(dest, "device-uri")});
        }
        cupsFreeDests(count, dests);
        return true;
    }

    PrinterHandle OpenPrinter(const std::string& printerName) override {
        if (printerName.empty()) {
            return kNoPrinter;
        }
        std::lock_guard lock(mutex_);
        Connection http = Connect();
        if (!http) {
            return kNoPrinter;
        }
        if (!QueryMakeAndModel(http.get(), printerName)) {
            NoteRequest(false);
            return kNoPrinter;
        }
        const PrinterHandle handle = nextHandle_++;
        queues_[handle] = OpenQueue{printerName, std::move(http), nullptr, 0, false};
        return handle;
    }

    bool ClosePrinter(PrinterHandle printer) override {
        std::lock_guard lock(mutex_);
        const auto found = queues_.find(printer);
        if (found == queues_.end()) {
            return false;
        }
        AbandonDocument(found->second);
        queues_.erase(found);
        return true;
    }

    // The driver's files are not known to the scheduler; only the name is filled in.
    bool GetPrinterDriver(PrinterHandle printer, DriverInfo2& driver) override {
        std::lock_guard lock(mutex_);
        OpenQueue* queue = Find(printer);
        if (queue == nullptr) {
            return false;
        }
        const auto makeAndModel = QueryMakeAndModel(queue->query.get(), queue->name);
        NoteRequest(makeAndModel.has_value());
        if (!makeAndModel) {
            return false;
        }
        // The files come from the driver's registration on this machine, when it has one.
        machine::DriverFiles files;
        if (machine::LookUpDriver(*makeAndModel, files)) {
            driver = DriverInfo2{*makeAndModel, files.driverFile, files.dataFile, files.configFile};
        } else {
            driver = DriverInfo2{*makeAndModel, {}, {}, {}};
        }
        return true;
    }

    uint32_t StartDocPrinter(PrinterHandle printer, const std::string& documentName,
                             const std::string& dataType) override {
        std::lock_guard lock(mutex_);
        OpenQueue* queue = Find(printer);
        if (queue == nullptr || queue->document || !IsRawDataType(dataType)) {
            return 0;
        }
        Connection http = Connect();
        if (!http) {
            return 0;
        }
        const char* title = documentName.empty() ? nullptr : documentName.c_str();
        const int jobId = cupsCreateJob(http.get(), queue->name.c_str(), title, 0, nullptr);
        if (jobId <= 0) {
            return 0;
        }
        if (cupsStartDocument(http.get(), queue->name.c_str(), jobId, title, CUPS_FORMAT_RAW, 1) !=
            HTTP_STATUS_CONTINUE) {
            cupsCancelJob2(queue->query.get(), queue->name.c_str(), jobId, 0);
            return 0;
        }
        queue->document = std::move(http);
        queue->jobId = jobId;
        queue->inPage = false;
        return static_cast<uint32_t>(jobId);
    }

    bool StartPagePrinter(PrinterHandle printer) override {
        std::lock_guard lock(mutex_);
        OpenQueue* queue = Find(printer);
        if (queue == nullptr || !queue->document || queue->inPage) {
            return false;
        }
        queue->inPage = true;
        return true;
    }

    bool WritePrinter(PrinterHandle printer, const void* data, uint32_t length,
                      uint32_t& written) override {
        written = 0;
        std::lock_guard lock(mutex_);
        OpenQueue* queue = Find(printer);
        if (queue == nullptr || !queue->document || (data == nullptr && length != 0)) {
            return false;
        }
        if (length == 0) {
            return true;
        }
        if (cupsWriteRequestData(queue->document.get(), static_cast<const char*>(data), length) !=
            HTTP_STATUS_CONTINUE) {
            return false;
        }
        written = length;
        return true;
    }

    bool EndPagePrinter(PrinterHandle printer) override {
        std::lock_guard lock(mutex_);
        OpenQueue* queue = Find(printer);
        if (queue == nullptr || !queue->inPage) {
            return false;
        }
        queue->inPage = false;
        return true;
    }

    bool EndDocPrinter(PrinterHandle printer) override {
        std::lock_guard lock(mutex_);
        OpenQueue* queue = Find(printer);
        if (queue == nullptr || !queue->document) {
            return false;
        }
        const bool finished =
            Succeeded(cupsFinishDocument(queue->document.get(), queue->name.c_str()));
        queue->document.reset();
        if (!finished) {
            // A job whose document did not arrive whole must not print.
            cupsCancelJob2(queue->query.get(), queue->name.c_str(), queue->jobId, 0);
        }
        queue->jobId = 0;
        queue->inPage = false;
        return finished;
    }

    bool EnumJobs(PrinterHandle printer, uint32_t firstJob, uint32_t maxJobs,
                  std::vector<JobInfo1>& jobs) override {
        jobs.clear();
        std::lock_guard lock(mutex_);
        OpenQueue* queue = Find(printer);
        if (queue == nullptr) {
            return false;
        }
        cups_job_t* active = nullptr;
        const int count = cupsGetJobs2(queue->query.get(), &active, queue->name.c_str(), 0,
                                       CUPS_WHICHJOBS_ACTIVE);
        NoteRequest(count >= 0);
        if (count < 0) {
            return false;
        }
        for (uint32_t i = firstJob; i < static_cast<uint32_t>(count) && jobs.size() < maxJobs;
             ++i) {
            const cups_job_t& job = active[i];
            jobs.push_back(JobInfo1{static_cast<uint32_t>(job.id), job.dest ? job.dest : "",
                                    job.title ? job.title : "", i + 1});
        }
        cupsFreeJobs(count, active);
        return true;
    }

    bool SchedulerUnreachable() const override { return unreachable_; }

  private:
    // Every call that needs the scheduler starts here, so the connection's outcome is what
    // SchedulerUnreachable() reports.
    Connection Connect() {
        Connection http(httpConnect2(server_.c_str(), port_, nullptr, AF_UNSPEC, cupsEncryption(),
                                     1, kConnectTimeoutMs, nullptr));
        unreachable_ = !http;
        if (http) {
            httpSetTimeout(http.get(), kRequestTimeoutSeconds, nullptr, nullptr);
        }
        return http;
    }

    // A request on a connection that was open: CUPS reports a scheduler that has gone away
    // meanwhile (and could not be reached again) as "service unavailable".
    void NoteRequest(bool succeeded) {
        unreachable_ = !succeeded && cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
    }

    OpenQueue* Find(PrinterHandle printer) {
        const auto found = queues_.find(printer);
        return found != queues_.end() ? &found->second : nullptr;
    }

    // The queue's make and model ("" when it has none); nullopt when there is no such queue.
    static std::optional<std::string> QueryMakeAndModel(http_t* http, const std::string& name) {
        char uri[HTTP_MAX_URI];
        if (httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0,
                             "/printers/%s", name.c_str()) != HTTP_URI_STATUS_OK) {
            return std::nullopt;
        }
        ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                     cupsUser());
        static const char* const kWanted[] = {"printer-name", "printer-make-and-model"};
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2,
                      nullptr, kWanted);
        const IppMessage response(cupsDoRequest(http, request, "/"));
        if (!response || !Succeeded(ippGetStatusCode(response.get())) ||
            ippFindAttribute(response.get(), "printer-name", IPP_TAG_NAME) == nullptr) {
            return std::nullopt;
        }
        ipp_attribute_t* makeAndModel =
            ippFindAttribute(response.get(), "printer-make-and-model", IPP_TAG_TEXT);
        const char* value = makeAndModel ? ippGetString(makeAndModel, 0, nullptr) : nullptr;
        return std::string(value != nullptr ? value : "");
    }

    // Drops a document that was never ended, together with its job.
    static void AbandonDocument(OpenQueue& queue) {
        if (!queue.document) {
            return;
        }
        queue.document.reset();
        cupsCancelJob2(queue.query.get(), queue.name.c_str(), queue.jobId, 0);
        queue.jobId = 0;
        queue.inPage = false;
    }

    std::mutex mutex_;
    std::atomic<bool> unreachable_ = false;
    std::string server_;
    int port_ = 0;
    std::map<PrinterHandle, OpenQueue> queues_;
    PrinterHandle nextHandle_ = 1;
};

}  // namespace

std::unique_ptr<Spooler> MakeCupsSpooler() {
    return std::make_unique<CupsSpooler>();
}

}  // namespace spooler
