// The spooler on a CUPS scheduler: queues are CUPS destinations, the driver name is the queue's
// make and model, the port its device URI, and documents are raw jobs.
#include <cups/cups.h>
#include <errno.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/registry/driver_registration.h"
#include "platform/spooler/spooler.h"

namespace spooler {

namespace {

// printer-type bits of queues that this scheduler does not own.
constexpr unsigned long kRemotePrinterBit = 0x2;
constexpr unsigned long kDiscoveredPrinterBit = 0x1000000;

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

// What the program reads of a queue, and whether this scheduler owns it (a local printer) or
// only knows it from elsewhere (a connection).
struct ListedQueue {
    PrinterInfo2 info;
    bool local = true;
};

// The attributes asked for: the queue, its driver and port, and what tells local from remote.
constexpr const char* kListedAttributes[] = {"printer-name",         "printer-make-and-model",
                                             "device-uri",           "printer-type",
                                             "printer-is-temporary", "printer-is-accepting-jobs"};

// The order CUPS lists destinations in: by name, ignoring the case of ASCII letters.
bool NameBefore(const ListedQueue& first, const ListedQueue& second) {
    return std::lexicographical_compare(
        first.info.printerName.begin(), first.info.printerName.end(),
        second.info.printerName.begin(), second.info.printerName.end(), [](char a, char b) {
            auto lower = [](char c) {
                return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
            };
            return lower(a) < lower(b);
        });
}

// The queue described by one printer group of a CUPS-Get-Printers answer, starting at `attribute`;
// `attribute` is left at the first attribute after the group.
std::optional<ListedQueue> ReadQueue(ipp_t* response, ipp_attribute_t*& attribute) {
    ListedQueue queue;
    bool named = false;
    bool temporary = false;
    unsigned long type = 0;
    for (; attribute != nullptr && ippGetGroupTag(attribute) == IPP_TAG_PRINTER;
         attribute = ippNextAttribute(response)) {
        const char* name = ippGetName(attribute);
        if (name == nullptr) {
            continue;
        }
        const std::string_view which(name);
        const char* text = ippGetString(attribute, 0, nullptr);
        if (which == "printer-name" && text != nullptr) {
            queue.info.printerName = text;
            named = true;
        } else if (which == "printer-make-and-model" && text != nullptr) {
            queue.info.driverName = text;
        } else if (which == "device-uri" && text != nullptr) {
            queue.info.portName = text;
        } else if (which == "printer-type") {
            type = static_cast<unsigned long>(ippGetInteger(attribute, 0));
        } else if (which == "printer-is-temporary") {
            temporary = ippGetBoolean(attribute, 0) != 0;
        } else if (which == "printer-is-accepting-jobs") {
            queue.info.acceptingJobs = ippGetBoolean(attribute, 0) != 0;
        }
    }
    queue.local = (type & (kRemotePrinterBit | kDiscoveredPrinterBit)) == 0 && !temporary;
    return named ? std::optional(queue) : std::nullopt;
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
    CupsSpooler(int timeoutMs, const std::string& server) : timeoutMs_(timeoutMs) {
        // Forget any server chosen before, so that `server`, or CUPS_SERVER (or the client
        // configuration) as it stands now, decides; CUPS takes a port from "HOST:PORT". The
        // thread is left on the default server, as the environment names it.
        SetThreadServer(server);
        server_ = cupsServer();
        port_ = ippPort();
        SetThreadServer({});
    }

    std::string Server() const override { return ServerName(server_, port_); }

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
        // Callers ask for the local printers and then for the connections: the listing that
        // served the first pass serves the second, if it follows at once.
        std::optional<SharedListing> shared = std::exchange(sharedListing_, std::nullopt);
        std::vector<ListedQueue> listed;
        if (flags == kEnumConnections && shared &&
            std::chrono::steady_clock::now() - shared->made < kListingSharedFor) {
            listed = std::move(shared->queues);
        } else if (!ListQueues(listed)) {
            return false;
        } else if (flags == kEnumLocal) {
            sharedListing_ = SharedListing{listed, std::chrono::steady_clock::now()};
        }
        for (ListedQueue& queue : listed) {
            if (queue.local ? wantLocal : wantConnections) {
                printers.push_back(std::move(queue.info));
            }
        }
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
            NoteRequest(false, http.get());
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
        NoteRequest(makeAndModel.has_value(), queue->query.get());
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
        NoteRequest(count >= 0, queue->query.get());
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
    // A listing kept for the pass that follows the one it served.
    struct SharedListing {
        std::vector<ListedQueue> queues;
        std::chrono::steady_clock::time_point made;
    };
    static constexpr auto kListingSharedFor = std::chrono::seconds(2);

    // Every queue of the scheduler, in the order CUPS lists destinations, from one request
    // that asks only for what the program reads. False when the scheduler gives no listing.
    bool ListQueues(std::vector<ListedQueue>& queues) {
        Connection http = Connect();
        if (!http) {
            return false;
        }
        ipp_status_t status = IPP_STATUS_OK;
        const IppMessage response = RequestListing(http.get(), status);
        // A scheduler without queues answers "not found"; anything else is a failed listing.
        if (!response || (!Succeeded(status) && status != IPP_STATUS_ERROR_NOT_FOUND)) {
            NoteRequest(false, http.get());
            return false;
        }
        ipp_attribute_t* attribute = ippFirstAttribute(response.get());
        while (attribute != nullptr) {
            if (ippGetGroupTag(attribute) != IPP_TAG_PRINTER) {
                attribute = ippNextAttribute(response.get());
                continue;
            }
            if (std::optional<ListedQueue> queue = ReadQueue(response.get(), attribute)) {
                queues.push_back(std::move(*queue));
            }
        }
        std::stable_sort(queues.begin(), queues.end(), NameBefore);
        return true;
    }

    static IppMessage NewListingRequest() {
        IppMessage request(ippNewRequest(IPP_OP_CUPS_GET_PRINTERS));
        ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name",
                     nullptr, cupsUser());
        ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      static_cast<int>(std::size(kListedAttributes)), nullptr, kListedAttributes);
        return request;
    }

    // The answer's body, handed to the IPP parser from reads of up to a buffer at a time. The
    // parser asks for a few bytes at a time; CUPS would read (and wait on the connection) for
    // each of them, twice the system calls of the whole answer per queue.
    struct BodyReader {
        http_t* http;
        char buffer[32768];
        size_t next = 0;
        size_t end = 0;
    };

    static ssize_t ReadBody(void* context, ipp_uchar_t* data, size_t wanted) {
        auto& reader = *static_cast<BodyReader*>(context);
        size_t copied = 0;
        while (copied < wanted) {
            if (reader.next == reader.end) {
                const ssize_t got = httpRead2(reader.http, reader.buffer, sizeof(reader.buffer));
                if (got <= 0) {
                    break;
                }
                reader.next = 0;
                reader.end = static_cast<size_t>(got);
            }
            const size_t step = std::min(wanted - copied, reader.end - reader.next);
            std::memcpy(data + copied, reader.buffer + reader.next, step);
            reader.next += step;
            copied += step;
        }
        return static_cast<ssize_t>(copied);
    }

    // The CUPS-Get-Printers answer and its status. An answer other than HTTP's "OK" (asking for
    // authentication, say, or a connection that broke) is left to CUPS's own request handling,
    // which reconnects as needed. The waits are those of the connection's timeout.
    static IppMessage RequestListing(http_t* http, ipp_status_t& status) {
        const IppMessage request = NewListingRequest();
        http_status_t answer = cupsSendRequest(http, request.get(), "/", ippLength(request.get()));
        while (answer == HTTP_STATUS_CONTINUE) {
            answer = httpUpdate(http);
        }
        // A scheduler that did not answer in time is not asked again: the wait stays bounded.
        if (answer == HTTP_STATUS_ERROR && httpError(http) == ETIMEDOUT) {
            status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
            return nullptr;
        }
        if (answer != HTTP_STATUS_OK) {
            httpFlush(http);
            IppMessage response(cupsDoRequest(http, NewListingRequest().release(), "/"));
            status = cupsLastError();
            return response;
        }
        IppMessage response(ippNew());
        auto reader = std::make_unique<BodyReader>();
        reader->http = http;
        ipp_state_t state = IPP_STATE_IDLE;
        do {
            state = ippReadIO(reader.get(), ReadBody, 1, nullptr, response.get());
        } while (state != IPP_STATE_DATA && state != IPP_STATE_ERROR);
        if (state == IPP_STATE_ERROR) {
            status = IPP_STATUS_ERROR_INTERNAL;
            return nullptr;
        }
        status = ippGetStatusCode(response.get());
        return response;
    }

    // Every call that needs the scheduler starts here, so the connection's outcome is what
    // SchedulerUnreachable() reports.
    Connection Connect() {
        Connection http(httpConnect2(server_.c_str(), port_, nullptr, AF_UNSPEC, cupsEncryption(),
                                     1, timeoutMs_, nullptr));
        unreachable_ = !http;
        if (http) {
            // Without a callback, a wait for the scheduler that times out fails the request.
            httpSetTimeout(http.get(), timeoutMs_ / 1000.0, nullptr, nullptr);
        }
        return http;
    }

    // A request on a connection that was open: CUPS reports a scheduler that has gone away
    // meanwhile (and could not be reached again) as "service unavailable"; one that took the
    // connection but does not answer (stopped, or hung) leaves the connection timed out.
    void NoteRequest(bool succeeded, http_t* http) {
        unreachable_ = !succeeded && (cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE ||
                                      httpError(http) == ETIMEDOUT);
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

    int timeoutMs_;
    std::mutex mutex_;
    std::atomic<bool> unreachable_ = false;
    std::optional<SharedListing> sharedListing_;
    std::string server_;
    int port_ = 0;
    std::map<PrinterHandle, OpenQueue> queues_;
    PrinterHandle nextHandle_ = 1;
};

}  // namespace

std::unique_ptr<Spooler> MakeCupsSpooler(int timeoutMs, const std::string& server) {
    return std::make_unique<CupsSpooler>(timeoutMs, server);
}

std::string ServerName(const std::string& host, int port) {
    // A local socket has no port; a numeric IPv6 address is bracketed before one.
    if (host.starts_with('/')) {
        return host;
    }
    const bool ipv6 = host.find(':') != std::string::npos && !host.starts_with('[');
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

void SetThreadServer(const std::string& server) {
    // A server without a port keeps the port chosen before: forgotten first, so that it takes
    // the default one.
    cupsSetServer(nullptr);
    if (!server.empty()) {
        cupsSetServer(server.c_str());
    }
}

}  // namespace spooler
