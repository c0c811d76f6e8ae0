// The sample-page and queue-wait parts of the benchmark, without the wizard: util's sample print
// engine on a printer device context of a real queue (the CUPS scheduler named by CUPS_SERVER).
//
//   plenwise-bench-sample idle QUEUE          sets up as "page" does and prints nothing
//   plenwise-bench-sample page QUEUE IMAGE    one 44-inch sample page at 1440 dpi:
//                                             "page_ms pdf_bytes", from the start of the page
//                                             to its job standing in the queue
//   plenwise-bench-sample deflate IMAGE       the bitmap's pixels deflated once: "bytes"
//   plenwise-bench-sample wait QUEUE          waits for a document that never comes to QUEUE
//                                             (an empty queue: a minute)
//
// The program is warmed up as a running wizard is before it prints: the application object
// exists and text has been laid out once, so that the font set is loaded.
#include <zlib.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/raw_job.h"
#include "platform/gdi/devmode.h"
#include "platform/gdi/gdi.h"
#include "platform/spooler/spooler.h"
#include "util/sample/sample_print.h"

namespace {

constexpr int32_t kPaperWidth = 44 * 254;  // 0.1 mm
constexpr int32_t kPaperLength = 2970;
constexpr int32_t kResolution = 1440;
constexpr size_t kFileHeaderSize = 14;

// The CUPS back-end, counting the bytes of the documents written through it.
class CountingSpooler : public spooler::Spooler {
  public:
    explicit CountingSpooler(std::unique_ptr<spooler::Spooler> inner) : inner_(std::move(inner)) {}

    uint64_t Written() const { return written_; }

    bool EnumPrinters(uint32_t flags, std::vector<spooler::PrinterInfo2>& printers) override {
        return inner_->EnumPrinters(flags, printers);
    }
    spooler::PrinterHandle OpenPrinter(const std::string& printerName) override {
        return inner_->OpenPrinter(printerName);
    }
    bool ClosePrinter(spooler::PrinterHandle printer) override {
        return inner_->ClosePrinter(printer);
    }
    bool GetPrinterDriver(spooler::PrinterHandle printer, spooler::DriverInfo2& driver) override {
        return inner_->GetPrinterDriver(printer, driver);
    }
    uint32_t StartDocPrinter(spooler::PrinterHandle printer, const std::string& documentName,
                             const std::string& dataType) override {
        return inner_->StartDocPrinter(printer, documentName, dataType);
    }
    bool StartPagePrinter(spooler::PrinterHandle printer) override {
        return inner_->StartPagePrinter(printer);
    }
    bool WritePrinter(spooler::PrinterHandle printer, const void* data, uint32_t length,
                      uint32_t& written) override {
        const bool wrote = inner_->WritePrinter(printer, data, length, written);
        written_ += written;
        return wrote;
    }
    bool EndPagePrinter(spooler::PrinterHandle printer) override {
        return inner_->EndPagePrinter(printer);
    }
    bool EndDocPrinter(spooler::PrinterHandle printer) override {
        return inner_->EndDocPrinter(printer);
    }
    bool EnumJobs(spooler::PrinterHandle printer, uint32_t firstJob, uint32_t maxJobs,
                  std::vector<spooler::JobInfo1>& jobs) override {
        return inner_->EnumJobs(printer, firstJob, maxJobs, jobs);
    }
    bool SchedulerUnreachable() const override { return inner_->SchedulerUnreachable(); }

  private:
    std::unique_ptr<spooler::Spooler> inner_;
    uint64_t written_ = 0;
};

gdi::DevMode WideRollAt1440() {
    gdi::DevMode mode;
    mode.fields = gdi::kDevModePaperWidth | gdi::kDevModePaperLength | gdi::kDevModePrintQuality |
                  gdi::kDevModeYResolution;
    mode.paperWidth = kPaperWidth;
    mode.paperLength = kPaperLength;
    mode.printQuality = kResolution;
    mode.yResolution = kResolution;
    return mode;
}

int Page(const std::string& queue, const std::string* image) {
    auto owned = std::make_unique<CountingSpooler>(spooler::MakeCupsSpooler());
    CountingSpooler* counting = owned.get();
    spooler::Install(std::move(owned));
    // What the wizard's pages have done before anyone prints: text laid out once.
    QFontMetrics(QFont()).horizontalAdvance(QStringLiteral("Density   3"));

    const gdi::DevMode mode = WideRollAt1440();
    const gdi::DeviceContext dc = gdi::CreateDC("", queue, &mode, sizeof mode);
    if (dc == gdi::kNoDeviceContext) {
        std::fprintf(stderr, "plenwise-bench-sample: no device context for queue %s\n",
                     queue.c_str());
        return 1;
    }
    int result = 0;
    if (image != nullptr) {
        const auto start = std::chrono::steady_clock::now();
        const int printed = PrintSamplePage(dc, *image, "Plenwise benchmark   1");
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (printed != 0) {
            std::fprintf(stderr, "plenwise-bench-sample: the page failed (%d)\n", printed);
            result = 1;
        } else {
            std::printf("%.1f %llu\n", ms, static_cast<unsigned long long>(counting->Written()));
        }
    }
    gdi::DeleteDC(dc);
    spooler::Install(nullptr);
    return result;
}

int Deflate(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < kFileHeaderSize) {
        return 1;
    }
    uint32_t offset = 0;
    std::memcpy(&offset, file.data() + 10, sizeof offset);
    if (offset > file.size()) {
        return 1;
    }
    const auto* pixels = reinterpret_cast<const Bytef*>(file.data() + offset);
    const uLong length = static_cast<uLong>(file.size() - offset);
    std::vector<Bytef> out(compressBound(length));
    uLongf outLength = out.size();
    if (compress2(out.data(), &outLength, pixels, length, Z_DEFAULT_COMPRESSION) != Z_OK) {
        return 1;
    }
    std::printf("%lu\n", static_cast<unsigned long>(outLength));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "idle") {
        return Page(args[1], nullptr);
    }
    if (args.size() == 3 && args[0] == "page") {
        return Page(args[1], &args[2]);
    }
    if (args.size() == 2 && args[0] == "deflate") {
        return Deflate(args[1]);
    }
    if (args.size() == 2 && args[0] == "wait") {
        WaitForQueuedJob(args[1], "Plenwise benchmark: a document that never comes");
        return 0;
    }
    std::fprintf(stderr,
                 "usage: plenwise-bench-sample idle QUEUE | page QUEUE IMAGE | deflate IMAGE | "
                 "wait QUEUE\n");
    return 64;
}
