#include "util/sample/sample_print.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/raw_job.h"
#include "common/remote_commands.h"
#include "platform/system/file.h"
#include "platform/ui/message_box.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
// A bitmap's information (header and colour table) is small; an offset beyond this is no bitmap.
constexpr uint32_t kLargestInfoSize = 64 * 1024;
// Pixels held at once; a larger image is not printed (the page keeps its caption).
constexpr uint64_t kLargestPixelBytes = 512ull * 1024 * 1024;
constexpr int kCopyGap = 20;
constexpr int kTenthMillimetresPerInch = 254;
constexpr int kWideRollInches = 44;
constexpr int kNarrowRollInches = 24;
constexpr int kUnusedCandidate = -1000;
constexpr uint8_t kWhite = 0xFF;

int MulDiv(int number, int numerator, int denominator) {
    const int64_t product = int64_t{number} * numerator;
    return static_cast<int>((product + denominator / 2) / denominator);
}

uint32_t Le32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

// Restores the context's font and deletes the sample's on every path out.
class SelectedFont {
  public:
    SelectedFont(gdi::DeviceContext dc, int height) : dc_(dc) {
        gdi::LogFont logFont;
        logFont.height = -height;
        font_ = gdi::CreateFontIndirect(logFont);
        previous_ = gdi::SelectObject(dc_, font_);
    }
    ~SelectedFont() {
        if (previous_ != gdi::kNoFont) {
            gdi::SelectObject(dc_, previous_);
        }
        gdi::DeleteObject(font_);
    }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;

  private:
    gdi::DeviceContext dc_;
    gdi::Font font_ = gdi::kNoFont;
    gdi::Font previous_ = gdi::kNoFont;
};

// The image in bands across the page: each band is drawn at 1:1 as often as it fits; a band
// the device cannot take is halved, and one that cannot be drawn a row high ends the image.
void DrawImageBands(gdi::DeviceContext dc, gdi::BitmapInfoHeader info,
                    const std::vector<uint8_t>& pixels, int top, int printableWidth) {
    const int width = info.width;
    const int height = info.height;
    const size_t stride = gdi::RowStride24(width);
    int rowsDone = 0;
    int band = height;
    while (rowsDone < height) {
        int x = 0;
        do {
            info.height = band;
            const size_t start = static_cast<size_t>(rowsDone) * stride;
            const int drawn =
                gdi::StretchDIBits(dc, x, top + height - rowsDone - band, width, band, 0, 0, width,
                                   band, pixels.data() + start, pixels.size() - start, info);
            if (drawn == 0) {
                band /= 2;
                if (band == 0) {
                    return;
                }
                continue;
            }
            x += width + kCopyGap;
        } while (x <= printableWidth);
        rowsDone += band;
        if (rowsDone + band > height) {
            band = height - rowsDone;
        }
    }
}

void ShowFailure(const SamplePrinter& printer) {
    ui::AppMessageBox(printer.texts != nullptr ? printer.texts->GetText(kSampleFailureText) : "",
                      ui::kMbIconExclamation);
}

// Whether the caller reports this outcome with text 303.
bool Reports(SampleOutcome outcome, SampleCaller caller) {
    switch (outcome) {
        case SampleOutcome::Printed:
            return false;
        case SampleOutcome::DriverFailed:
            return true;
        case SampleOutcome::NoDeviceMode:
        case SampleOutcome::NoDeviceContext:
            // The settings dialog ends a job without a device mode quietly, the pages one
            // without a device context.
            return (outcome == SampleOutcome::NoDeviceContext) ==
                   (caller == SampleCaller::SettingsDialog);
        case SampleOutcome::PageFailed:
            return caller == SampleCaller::FeedingPage || caller == SampleCaller::SettingsDialog;
    }
    return false;
}

// The driver's settings for the job, and then the page; the library handle is open throughout.
SampleOutcome PrintWithHandle(const SamplePrinter& printer, const SampleJob& job, int32_t handle) {
    const DriverSettingsLibrary& library = *printer.library;
    int16_t outputMode = 0;
    driverlib::OutputFlags flags;
    if (library.GetData(handle, driverlib::kItemOutputMode, &outputMode) != 0 ||
        library.GetData(handle, driverlib::kItemOutputFlags, &flags) != 0) {
        return SampleOutcome::DriverFailed;
    }
    if (outputMode == 4 || outputMode == 7 || outputMode == 258) {
        if (library.SetValue(handle, driverlib::kItemOutputMode, 4) != 0) {
            return SampleOutcome::DriverFailed;
        }
    } else {
        flags.flags |= 1;
        if (library.SetValue(handle, driverlib::kItemOutputMode, 256) != 0 ||
            library.SetBlock(handle, driverlib::kItemOutputFlags, &flags) != 0) {
            return SampleOutcome::DriverFailed;
        }
    }

    std::array<uint8_t, driverlib::PaperWidthRange::kWorkAreaSize> workArea{};
    driverlib::PaperWidthRange range;
    range.workArea = workArea.data();
    if (library.GetRange(handle, driverlib::kItemPaperWidth, &range) != 0) {
        return SampleOutcome::DriverFailed;
    }
    driverlib::PaperWidthSetting width;
    width.width = static_cast<int16_t>(std::min<int64_t>(
        int64_t{job.paperWidthInches} * kTenthMillimetresPerInch, range.largestWidth));
    width.carried = range.carried;
    if (library.SetBlock(handle, driverlib::kItemPaperWidth, &width) != 0 ||
        library.SelectPrintMode(handle, job.printModeIndex, job.mediaId) != 0) {
        return SampleOutcome::DriverFailed;
    }
    if (job.mediaValues) {
        driverlib::MediaValues values;
        std::copy(job.mediaValues->begin(), job.mediaValues->end(), values.data);
        if (library.SetBlock(handle, driverlib::kItemMediaValues, &values) != 0) {
            return SampleOutcome::DriverFailed;
        }
    }

    const int32_t size = library.GetDevMode(handle, nullptr);
    if (size <= 0 || static_cast<std::size_t>(size) > DriverSettingsLibrary::kLargestAnswerBytes) {
        return SampleOutcome::DriverFailed;
    }
    std::vector<uint8_t> devMode(static_cast<size_t>(size));
    if (library.GetDevMode(handle, devMode.data()) == 0) {
        return SampleOutcome::NoDeviceMode;
    }
    const gdi::DeviceContext dc =
        gdi::CreateDC(printer.driverName, printer.printerName, devMode.data(), devMode.size());
    if (dc == gdi::kNoDeviceContext) {
        return SampleOutcome::NoDeviceContext;
    }
    const int printed = PrintSamplePage(dc, job.imagePath, job.caption);
    gdi::DeleteDC(dc);
    return printed == 0 ? SampleOutcome::Printed : SampleOutcome::PageFailed;
}

bool SendSampleSeries(const std::string& printerName, bool on, bool altutil, uint32_t modelClass) {
    const ByteBlock block = SampleSeriesCommandBlock(on, altutil, modelClass);
    return SendRawCommandJob(printerName, block.data(), static_cast<uint32_t>(block.size()));
}

}  // namespace

std::array<uint8_t, driverlib::MediaValues::kDataSize> SampleMediaValues(
    const MediaWorkingCopy& working, const UserMediaRecord& record) {
    std::array<uint8_t, driverlib::MediaValues::kDataSize> data{};
    std::copy_n(working.bytes.begin() + MediaWorkingCopy::kDensityOffset,
                MediaWorkingCopy::kAdjustmentCount, data.begin());
    data[MediaWorkingCopy::kAdjustmentCount] = record.bytes[62];
    return data;
}

int SamplePaperWidthInches(int answeredInches, int32_t modelClass) {
    if (answeredInches >= 0) {
        return answeredInches;
    }
    return (modelClass & 1) != 0 ? kWideRollInches : kNarrowRollInches;
}

std::vector<int> FeedCandidates(int first, int second) {
    const int lo = std::min(first, second);
    const int hi = std::max(first, second);
    // The edits take any int: the span and its multiples need 64 bits. Every candidate lies
    // between lo and hi, so it fits an int again.
    const int64_t span = int64_t{hi} - lo;
    auto at = [lo, span](int quarters) { return static_cast<int>(lo + quarters * span / 4); };
    std::vector<int> all;
    switch (span) {
        case 0:
            all = {lo};
            break;
        case 1:
            all = {lo, hi};
            break;
        case 2:
            all = {lo, lo + 1, hi};
            break;
        case 3:
            all = {lo, lo + 1, hi - 1, hi};
            break;
        default:
            all = {lo, at(1), at(2), at(3), hi};
            break;
    }
    // The list ends at the first value that is no candidate.
    std::vector<int> candidates;
    for (int value : all) {
        if (value <= kUnusedCandidate) {
            break;
        }
        candidates.push_back(value);
    }
    return candidates;
}

std::optional<SampleBitmap> ReadSampleBitmap(const sys::InputFile& file) {
    uint8_t head[kFileHeaderSize + kInfoHeaderSize] = {};
    if (file.ReadAt(0, head, kFileHeaderSize) != kFileHeaderSize) {
        return std::nullopt;
    }
    SampleBitmap information;
    information.pixelOffset = Le32(head + 10);
    if (information.pixelOffset < kFileHeaderSize + kInfoHeaderSize ||
        information.pixelOffset > kFileHeaderSize + kLargestInfoSize ||
        file.ReadAt(kFileHeaderSize, head + kFileHeaderSize, kInfoHeaderSize) != kInfoHeaderSize) {
        return std::nullopt;
    }
    const uint8_t* info = head + kFileHeaderSize;
    gdi::BitmapInfoHeader& header = information.header;
    header.size = Le32(info);
    header.width = static_cast<int32_t>(Le32(info + 4));
    header.height = static_cast<int32_t>(Le32(info + 8));
    header.planes = static_cast<uint16_t>(info[12] | info[13] << 8);
    header.bitCount = static_cast<uint16_t>(info[14] | info[15] << 8);
    header.compression = Le32(info + 16);
    return information;
}

bool IsPrintableBitmap(const gdi::BitmapInfoHeader& header) {
    return header.bitCount == 24 && header.compression == 0 && header.width > 0 &&
           header.height > 0 &&
           uint64_t{gdi::RowStride24(header.width)} * uint64_t(header.height) <= kLargestPixelBytes;
}

std::vector<uint8_t> ReadSamplePixels(const sys::InputFile& file, const SampleBitmap& bitmap) {
    std::vector<uint8_t> pixels;
    if (!IsPrintableBitmap(bitmap.header)) {
        return pixels;
    }
    try {
        pixels.assign(
            gdi::RowStride24(bitmap.header.width) * static_cast<size_t>(bitmap.header.height),
            kWhite);
    } catch (const std::bad_alloc&) {
        pixels.clear();
    }
    if (!pixels.empty()) {
        // Rows the file does not hold (it ends early, or its pixels would start beyond its end)
        // stay white: paper, not a band of ink across the roll.
        file.ReadAt(bitmap.pixelOffset, pixels.data(), pixels.size());
    }
    return pixels;
}

bool CheckUserBitmap(const std::string& path) {
    sys::InputFile file(path);
    if (!file.IsOpen()) {
        return false;
    }
    // Only what a sample page can print passes: a bitmap of another format would print its
    // caption alone, and the operator would not learn why.
    const std::optional<SampleBitmap> information = ReadSampleBitmap(file);
    if (!information) {
        return false;
    }
    const gdi::BitmapInfoHeader& header = information->header;
    return header.width == kUserBitmapWidth && header.height == kUserBitmapHeight &&
           header.bitCount == 24 && header.compression == 0;
}

int PrintSamplePage(gdi::DeviceContext dc, const std::string& imagePath,
                    const std::string& caption) {
    const int printableWidth = gdi::GetDeviceCaps(dc, gdi::kHorzRes);
    const int printableHeight = gdi::GetDeviceCaps(dc, gdi::kVertRes);
    const int dotsPerInch = gdi::GetDeviceCaps(dc, gdi::kLogPixelsY);
    const int fontHeight = MulDiv(10, dotsPerInch, 72);
    SelectedFont font(dc, fontHeight);

    sys::InputFile file(imagePath);
    if (!file.IsOpen()) {
        return 1;
    }
    const std::optional<SampleBitmap> information = ReadSampleBitmap(file);
    if (!information) {
        return -1;
    }

    const int started = gdi::StartDoc(dc, caption);
    if (started <= 0) {
        char message[64];
        std::snprintf(message, sizeof message, "StartDoc() ret = %d, err = %u", started,
                      gdi::LastError());
        ui::AppMessageBox(message, ui::kMbOk);
        // A result of 0 would read as a printed page.
        return started < 0 ? started : kSampleDocumentRefused;
    }
    const int page = gdi::StartPage(dc);
    if (page < 0) {
        ui::AppMessageBox("StartPage()", ui::kMbOk);
        gdi::EndDoc(dc);
        return page;
    }
    gdi::DrawText(dc, caption, {0, 0, printableWidth, printableHeight});

    const std::vector<uint8_t> pixels = ReadSamplePixels(file, *information);
    if (!pixels.empty()) {
        const int top = MulDiv(5, dotsPerInch, 72) + fontHeight;
        DrawImageBands(dc, information->header, pixels, top, printableWidth);
    }
    // The whole document goes to the queue when it ends: only then is the sample printed. A page
    // that cannot be ended leaves its document open, and deleting the context cancels it.
    if (gdi::EndPage(dc) <= 0 || gdi::EndDoc(dc) <= 0) {
        return kSampleJobNotSent;
    }
    return 0;
}

SampleOutcome PrintSampleJob(const SamplePrinter& printer, const SampleJob& job,
                             SampleCaller caller) {
    SampleOutcome outcome = SampleOutcome::DriverFailed;
    int32_t handle = 0;
    if (printer.library != nullptr &&
        printer.library->Open(printer.printerName, printer.portName, &handle) == 0) {
        outcome = PrintWithHandle(printer, job, handle);
        printer.library->Close(handle);
    }
    if (Reports(outcome, caller)) {
        ShowFailure(printer);
    }
    return outcome;
}

std::vector<SampleOutcome> PrintSampleSeries(const SamplePrinter& printer,
                                             const std::vector<SampleJob>& jobs,
                                             SampleCaller caller, bool altutil,
                                             uint32_t modelClass) {
    std::vector<SampleOutcome> outcomes;
    const bool series = jobs.size() > 1;
    if (series) {
        SendSampleSeries(printer.printerName, true, altutil, modelClass);
    }
    std::optional<std::string> lastCaption;
    for (size_t i = 0; i < jobs.size(); ++i) {
        // A printer left in series mode would hold every later job: the switch goes off even
        // when no earlier document exists to wait for.
        if (series && i + 1 == jobs.size()) {
            if (lastCaption) {
                WaitForQueuedJob(printer.printerName, *lastCaption);
            }
            SendSampleSeries(printer.printerName, false, altutil, modelClass);
        }
        const SampleOutcome outcome = PrintSampleJob(printer, jobs[i], caller);
        // A job's document exists once its device context did.
        if (outcome == SampleOutcome::Printed || outcome == SampleOutcome::PageFailed) {
            lastCaption = jobs[i].caption;
        }
        outcomes.push_back(outcome);
    }
    return outcomes;
}
