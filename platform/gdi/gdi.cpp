#include "platform/gdi/gdi.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/gdi/devmode.h"
#include "platform/gdi/pdf_images.h"
#include "platform/spooler/spooler.h"

namespace gdi {

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kTenthMillimetresPerInch = 254.0;
// Beyond any printer: a device mode that claims more describes no paper (0.1 mm, dots per inch).
constexpr int32_t kLargestPaper = 200000;
constexpr int32_t kLargestResolution = 9600;

thread_local uint32_t lastError = kErrorNone;

template <class Result>
Result Fail(uint32_t error, Result result) {
    lastError = error;
    return result;
}

// One distinct band drawn into a document: its pixels as drawn (to know it when it comes again),
// its image stream, and the one-pixel stand-in that the pages draw in its place until the
// document ends and the stream takes the stand-in's place in the file.
struct Band {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // rows from the top, 3 bytes a pixel, unpadded
    ImageStream stream;
    QImage standIn;
};

// One document on its way to the queue: the spool job is started with the document, the pages
// are drawn into a PDF in memory, and the PDF is written to the job when the document ends.
struct Document {
    spooler::PrinterHandle printer = spooler::kNoPrinter;
    uint32_t jobId = 0;
    QByteArray pdf;
    QBuffer buffer{&pdf};
    std::unique_ptr<QPdfWriter> writer;
    QPainter painter;
    bool pageOpen = false;
    int pages = 0;
    // Every distinct band drawn so far, in the order of first drawing: drawing the same stand-in
    // again lets the PDF refer to the one embedded copy.
    std::vector<std::unique_ptr<Band>> bands;
};

struct DeviceContextRecord {
    std::string printerName;
    DevMode devMode;
    Font font = kNoFont;
    std::unique_ptr<Document> document;
};

struct FontRecord {
    LogFont logFont;
    bool stock = false;
};

uintptr_t nextHandle = 1;
std::map<DeviceContext, std::unique_ptr<DeviceContextRecord>>& Contexts() {
    static std::map<DeviceContext, std::unique_ptr<DeviceContextRecord>> contexts;
    return contexts;
}
std::map<Font, FontRecord>& Fonts() {
    static std::map<Font, FontRecord> fonts;
    return fonts;
}

DeviceContextRecord* FindContext(DeviceContext dc) {
    auto found = Contexts().find(dc);
    return found != Contexts().end() ? found->second.get() : nullptr;
}

// The font a context has before any is selected: the system face at 10 points.
Font StockFont() {
    static Font stock = [] {
        const Font handle = nextHandle++;
        FontRecord record;
        record.logFont.height = 0;
        record.stock = true;
        Fonts().emplace(handle, record);
        return handle;
    }();
    return stock;
}

int Dots(int32_t tenthMillimetres, int32_t dotsPerInch) {
    return static_cast<int>(static_cast<int64_t>(tenthMillimetres) * dotsPerInch /
                            static_cast<int64_t>(kTenthMillimetresPerInch));
}

// The painter's coordinates are dots: across at the horizontal resolution, down at the
// vertical one.
void UseDots(QPainter& painter, const DevMode& devMode) {
    painter.resetTransform();
    painter.scale(kPointsPerInch / devMode.printQuality, kPointsPerInch / devMode.yResolution);
}

QFont QtFont(const LogFont& logFont, const DevMode& devMode) {
    QFont font =
        logFont.faceName.empty() ? QFont() : QFont(QString::fromStdString(logFont.faceName));
    // The character height in dots down the page; a cell height counts as the same, and no
    // height at all as 10 points.
    const int32_t height =
        logFont.height != 0 ? std::abs(logFont.height) : devMode.yResolution * 10 / 72;
    font.setPixelSize(std::max(1, height));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(logFont.weight, 1, 1000)));
    font.setItalic(logFont.italic);
    font.setUnderline(logFont.underline);
    font.setStrikeOut(logFont.strikeOut);
    return font;
}

// Where a band's rows lie in a bitmap's pixels: its top row and the step to the next row down.
struct BandRows {
    const uint8_t* top = nullptr;
    std::ptrdiff_t step = 0;
    int32_t width = 0;
    int32_t height = 0;

    const uint8_t* Row(int32_t row) const { return top + step * row; }
};

// The source rectangle's rows, or none when the rectangle lies outside the pixels.
std::optional<BandRows> RowsOf(const uint8_t* bits, std::size_t bitsLength,
                               const BitmapInfoHeader& info, int xSrc, int ySrc, int srcWidth,
                               int srcHeight) {
    const bool bottomUp = info.height > 0;
    const int64_t rows = bottomUp ? info.height : -static_cast<int64_t>(info.height);
    const std::size_t stride = RowStride24(info.width);
    if (xSrc < 0 || ySrc < 0 || srcWidth <= 0 || srcHeight <= 0 ||
        int64_t{xSrc} + srcWidth > info.width || int64_t{ySrc} + srcHeight > rows ||
        bitsLength / stride < static_cast<uint64_t>(rows)) {
        return std::nullopt;
    }
    // A bottom-up bitmap counts its source rows from the bottom.
    const int64_t topStored = bottomUp ? ySrc + srcHeight - 1 : ySrc;
    const auto step = static_cast<std::ptrdiff_t>(stride);
    return BandRows{
        bits + static_cast<std::size_t>(topStored) * stride + static_cast<std::size_t>(xSrc) * 3,
        bottomUp ? -step : step, srcWidth, srcHeight};
}

bool SamePixels(const Band& band, const BandRows& rows) {
    if (band.width != rows.width || band.height != rows.height) {
        return false;
    }
    const std::size_t lineBytes = static_cast<std::size_t>(band.width) * 3;
    for (int32_t row = 0; row < band.height; ++row) {
        if (std::memcmp(band.pixels.data() + lineBytes * static_cast<std::size_t>(row),
                        rows.Row(row), lineBytes) != 0) {
            return false;
        }
    }
    return true;
}

// The document's band with these pixels, made (converted and compressed) on first use; none
// when memory runs out. Bands come again mostly right after themselves: the latest is asked first.
const Band* Remembered(Document& document, const BandRows& rows) {
    for (auto it = document.bands.rbegin(); it != document.bands.rend(); ++it) {
        if (SamePixels(**it, rows)) {
            return it->get();
        }
    }
    auto band = std::make_unique<Band>();
    band->width = rows.width;
    band->height = rows.height;
    const std::size_t lineBytes = static_cast<std::size_t>(rows.width) * 3;
    try {
        band->pixels.reserve(lineBytes * static_cast<std::size_t>(rows.height));
        for (int32_t row = 0; row < rows.height; ++row) {
            band->pixels.insert(band->pixels.end(), rows.Row(row), rows.Row(row) + lineBytes);
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    std::optional<ImageStream> stream =
        EncodeImageStream(band->pixels.data(), lineBytes, rows.width, rows.height);
    band->standIn = QImage(1, 1, QImage::Format_RGB32);
    if (!stream || band->standIn.isNull()) {
        return nullptr;
    }
    band->stream = std::move(*stream);
    band->standIn.fill(Qt::white);
    document.bands.push_back(std::move(band));
    return document.bands.back().get();
}

// The document's file as it goes to the queue: the writer's PDF with the bands' image streams in
// place of their stand-ins. False when the writer's file is not laid out as expected.
bool PutBandsIn(Document& document) {
    if (document.bands.empty()) {
        return true;
    }
    std::vector<const ImageStream*> streams;
    for (const auto& band : document.bands) {
        streams.push_back(&band->stream);
    }
    const std::optional<std::string> update = ImageUpdate(
        std::string_view(document.pdf.constData(), static_cast<std::size_t>(document.pdf.size())),
        streams);
    if (!update) {
        return false;
    }
    document.pdf.append(update->data(), static_cast<qsizetype>(update->size()));
    return true;
}

void CancelDocument(DeviceContextRecord& record) {
    if (!record.document) {
        return;
    }
    if (record.document->painter.isActive()) {
        record.document->painter.end();
    }
    // Closed without its end, the job is cancelled.
    spooler::Current().ClosePrinter(record.document->printer);
    record.document.reset();
}

}  // namespace

DeviceContext CreateDC(const std::string& /*driverName*/, const std::string& printerName,
                       const void* devMode, std::size_t length) {
    DevMode mode;
    if (!ReadDevMode(devMode, length, mode) || mode.paperWidth > kLargestPaper ||
        mode.paperLength > kLargestPaper || mode.printQuality > kLargestResolution ||
        mode.yResolution > kLargestResolution) {
        return Fail(kErrorInvalidParameter, kNoDeviceContext);
    }
    spooler::Spooler& spool = spooler::Current();
    const spooler::PrinterHandle printer = spool.OpenPrinter(printerName);
    if (printer == spooler::kNoPrinter) {
        return Fail(kErrorPrinterNotFound, kNoDeviceContext);
    }
    spool.ClosePrinter(printer);
    auto record = std::make_unique<DeviceContextRecord>();
    record->printerName = printerName;
    record->devMode = mode;
    record->font = StockFont();
    const DeviceContext handle = nextHandle++;
    Contexts().emplace(handle, std::move(record));
    return handle;
}

bool DeleteDC(DeviceContext dc) {
    auto found = Contexts().find(dc);
    if (found == Contexts().end()) {
        return Fail(kErrorInvalidHandle, false);
    }
    CancelDocument(*found->second);
    Contexts().erase(found);
    return true;
}

int GetDeviceCaps(DeviceContext dc, int index) {
    const DeviceContextRecord* record = FindContext(dc);
    if (record == nullptr) {
        return Fail(kErrorInvalidHandle, 0);
    }
    switch (index) {
        case kHorzRes:
            return Dots(record->devMode.paperWidth, record->devMode.printQuality);
        case kVertRes:
            return Dots(record->devMode.paperLength, record->devMode.yResolution);
        case kLogPixelsX:
            return record->devMode.printQuality;
        case kLogPixelsY:
            return record->devMode.yResolution;
        default:
            return Fail(kErrorInvalidParameter, 0);
    }
}

Font CreateFontIndirect(const LogFont& font) {
    const Font handle = nextHandle++;
    Fonts().emplace(handle, FontRecord{font, false});
    return handle;
}

Font SelectObject(DeviceContext dc, Font font) {
    DeviceContextRecord* record = FindContext(dc);
    if (record == nullptr || Fonts().count(font) == 0) {
        return Fail(kErrorInvalidHandle, kNoFont);
    }
    const Font previous = record->font;
    record->font = font;
    return previous;
}

bool DeleteObject(Font font) {
    auto found = Fonts().find(font);
    if (found == Fonts().end() || found->second.stock) {
        return Fail(kErrorInvalidHandle, false);
    }
    for (const auto& [handle, record] : Contexts()) {
        if (record->font == font) {
            return Fail(kErrorInvalidParameter, false);
        }
    }
    Fonts().erase(found);
    return true;
}

int DrawText(DeviceContext dc, const std::string& text, const Rect& rect) {
    DeviceContextRecord* record = FindContext(dc);
    if (record == nullptr || !record->document || !record->document->pageOpen) {
        return Fail(kErrorInvalidHandle, 0);
    }
    const DevMode& mode = record->devMode;
    QPainter& painter = record->document->painter;
    const QFont font = QtFont(Fonts().at(record->font).logFont, mode);
    QString lines = QString::fromStdString(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // Text keeps its shape where the two resolutions differ: it is laid out in dots down the
    // page, and its position across converted to them.
    painter.save();
    painter.resetTransform();
    const double scale = kPointsPerInch / mode.yResolution;
    painter.scale(scale, scale);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const double across = static_cast<double>(mode.yResolution) / mode.printQuality;
    const QRectF box(rect.left * across, rect.top, std::max(1, rect.right - rect.left) * across,
                     std::max(1, rect.bottom - rect.top));
    QRectF drawn;
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, lines, &drawn);
    painter.restore();
    return std::max(1, static_cast<int>(drawn.height() + 0.5));
}

int StartDoc(DeviceContext dc, const std::string& documentName) {
    DeviceContextRecord* record = FindContext(dc);
    if (record == nullptr) {
        return Fail(kErrorInvalidHandle, 0);
    }
    if (record->document) {
        return Fail(kErrorInvalidParameter, 0);
    }
    spooler::Spooler& spool = spooler::Current();
    auto document = std::make_unique<Document>();
    document->printer = spool.OpenPrinter(record->printerName);
    if (document->printer == spooler::kNoPrinter) {
        return Fail(kErrorPrinterNotFound, 0);
    }
    document->jobId = spool.StartDocPrinter(document->printer, documentName, "");
    if (document->jobId == 0) {
        spool.ClosePrinter(document->printer);
        return Fail(kErrorSpooler, 0);
    }
    document->buffer.open(QIODevice::WriteOnly);
    document->writer = std::make_unique<QPdfWriter>(&document->buffer);
    document->writer->setTitle(QString::fromStdString(documentName));
    document->writer->setCreator(QStringLiteral("Plenwise"));
    document->writer->setResolution(static_cast<int>(kPointsPerInch));
    const DevMode& mode = record->devMode;
    const QPageSize paper(QSizeF(mode.paperWidth / 10.0, mode.paperLength / 10.0),
                          QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    document->writer->setPageLayout(
        QPageLayout(paper, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    record->document = std::move(document);
    lastError = kErrorNone;
    return static_cast<int>(record->document->jobId);
}

int StartPage(DeviceContext dc) {
    DeviceContextRecord* record = FindContext(dc);
    if (record == nullptr || !record->document || record->document->pageOpen) {
        return Fail(kErrorInvalidHandle, -1);
    }
    Document& document = *record->document;
    const bool begun = document.pages == 0 ? document.painter.begin(document.writer.get())
                                           : document.writer->newPage();
    if (!begun) {
        return Fail(kErrorNotEnoughMemory, -1);
    }
    UseDots(document.painter, record->devMode);
    // Sample prints are judged by their colours: images are never compressed with loss.
    document.painter.setRenderHint(QPainter::LosslessImageRendering);
    document.pageOpen = true;
    ++document.pages;
    return 1;
}

int EndPage(DeviceContext dc) {
    DeviceContextRecord* record = FindContext(dc);
    if (record == nullptr || !record->document || !record->document->pageOpen) {
        return Fail(kErrorInvalidHandle, -1);
    }
    record->document->pageOpen = false;
    return 1;
}

int EndDoc(DeviceContext dc) {
    DeviceContextRecord* record = FindContext(dc);
    if (record == nullptr || !record->document) {
        return Fail(kErrorInvalidHandle, -1);
    }
    std::unique_ptr<Document> document = std::move(record->document);
    if (document->painter.isActive()) {
        document->painter.end();
    }
    spooler::Spooler& spool = spooler::Current();
    bool sent = PutBandsIn(*document) && spool.StartPagePrinter(document->printer);
    if (sent && !document->pdf.isEmpty()) {
        uint32_t written = 0;
        const auto length = static_cast<uint32_t>(document->pdf.size());
        sent = spool.WritePrinter(document->printer, document->pdf.constData(), length, written) &&
               written == length;
    }
    // A document whose page could not be started or written is not finished: closed without its
    // end, its job is cancelled rather than printed short.
    sent =
        sent && spool.EndPagePrinter(document->printer) && spool.EndDocPrinter(document->printer);
    spool.ClosePrinter(document->printer);
    return sent ? 1 : Fail(kErrorSpooler, -1);
}

uint32_t LastError() {
    return lastError;
}

std::size_t RowStride24(int32_t width) {
    return width <= 0 ? 0 : (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
}

int StretchDIBits(DeviceContext dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc,
                  int ySrc, int srcWidth, int srcHeight, const void* bits, std::size_t bitsLength,
                  const BitmapInfoHeader& info) {
    DeviceContextRecord* record = FindContext(dc);
    if (record == nullptr || !record->document || !record->document->pageOpen) {
        return Fail(kErrorInvalidHandle, 0);
    }
    if (bits == nullptr || info.bitCount != 24 || info.compression != 0 || info.width <= 0 ||
        info.height == 0 || destWidth <= 0 || destHeight <= 0) {
        return Fail(kErrorInvalidParameter, 0);
    }
    if (srcWidth > 0 && srcHeight > 0 &&
        static_cast<uint64_t>(srcWidth) * static_cast<uint64_t>(srcHeight) * 3 >
            kLargestBandBytes) {
        return Fail(kErrorNotEnoughMemory, 0);
    }
    const std::optional<BandRows> rows = RowsOf(static_cast<const uint8_t*>(bits), bitsLength, info,
                                                xSrc, ySrc, srcWidth, srcHeight);
    if (!rows) {
        return Fail(kErrorInvalidParameter, 0);
    }
    Document& document = *record->document;
    const Band* band = Remembered(document, *rows);
    if (band == nullptr) {
        return Fail(kErrorNotEnoughMemory, 0);
    }
    // The stand-in's one pixel spans the destination, as the band's pixels will.
    document.painter.drawImage(QRectF(xDest, yDest, destWidth, destHeight), band->standIn);
    return srcHeight;
}

}  // namespace gdi
