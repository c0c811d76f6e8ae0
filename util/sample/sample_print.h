// Sample prints: a page with a caption and a bitmap repeated across the paper, printed through
// the printer's driver with the settings to be tried written into the driver's own settings
// first. One sample is one document; several can go as one series. The pages that offer sample
// prints build the jobs; this is what they share.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/ui_text_table.h"
#include "platform/gdi/gdi.h"
#include "platform/system/file.h"
#include "util/settings/driver_settings_library.h"
#include "util/settings/user_media_record.h"

// The printer a sample goes to, and what the wizard knows of it.
struct SamplePrinter {
    std::string printerName;
    std::string portName;
    std::string driverName;
    const DriverSettingsLibrary* library = nullptr;
    const UiTextTable* texts = nullptr;  // for the failure message
};

// What one sample document needs.
struct SampleJob {
    std::string imagePath;
    std::string caption;  // printed at the top; also the document's name in the queue
    int paperWidthInches = 0;
    uint32_t mediaId = 0;
    int32_t printModeIndex = 1;  // 0 to 3
    // The 12 data bytes of the driver's custom media values, or none.
    std::optional<std::array<uint8_t, driverlib::MediaValues::kDataSize>> mediaValues;
};

// Who prints: the places differ in which failures they report with text 303.
enum class SampleCaller { FeedingPage, PrintModePage, DensityPage, SettingsDialog };

enum class SampleOutcome {
    Printed,
    DriverFailed,     // a step of the driver settings library failed
    NoDeviceMode,     // the driver handed out no device mode
    NoDeviceContext,  // no device context could be made with it
    PageFailed,       // the page could not be printed (PrintSamplePage's result was not 0)
};

inline constexpr int32_t kSampleFailureText = 303;

// The custom media values of a sample: the working copy's six values and the record's media
// extra byte (its byte 62), then zeros.
std::array<uint8_t, driverlib::MediaValues::kDataSize> SampleMediaValues(
    const MediaWorkingCopy& working, const UserMediaRecord& record);

// The paper width a sample is laid out for: the printer's answer in whole inches, or, when it
// gave none (negative), 44 inches for a model class with bit 0 set and 24 for the others.
int SamplePaperWidthInches(int answeredInches, int32_t modelClass);

// The feed values a range of two edits prints, in order: at most five, from the smaller to the
// larger value.
std::vector<int> FeedCandidates(int first, int second);

// A user bitmap must be 4060 x 1190 pixels (as its information header says), 24-bit uncompressed
// bottom-up, with its pixels where a sample page can find them.
inline constexpr int32_t kUserBitmapWidth = 4060;
inline constexpr int32_t kUserBitmapHeight = 1190;
bool CheckUserBitmap(const std::string& path);

// The information of a sample image: the header that follows the file header, and where its
// pixels start. Nothing when the file is too short or its offset leaves no room for the header.
struct SampleBitmap {
    uint32_t pixelOffset = 0;
    gdi::BitmapInfoHeader header;
};
std::optional<SampleBitmap> ReadSampleBitmap(const sys::InputFile& file);
// Whether the page can show the image: 24-bit uncompressed bottom-up, and small enough to hold.
bool IsPrintableBitmap(const gdi::BitmapInfoHeader& header);
// The pixel rows of a printable image, each padded to four bytes, bottom row first; rows the file
// does not hold are white. Empty when the image is not printable or its memory cannot be had.
std::vector<uint8_t> ReadSamplePixels(const sys::InputFile& file, const SampleBitmap& bitmap);

// Prints one document of one page on the device context: the caption at the top, 15 points
// below it the bitmap, its copies side by side 20 dots apart across the printable width.
// 0 when printed; 1 when the image file could not be opened (no document started); -1 when the
// file has no usable bitmap information; otherwise the failing start-of-document result
// (kSampleDocumentRefused for a result of 0) or start-of-page result; kSampleJobNotSent when the
// page or the document could not be ended (the job is then cancelled). A bitmap that is not
// 24-bit uncompressed bottom-up, or too large to hold, leaves the page with its caption only;
// rows the file does not hold print white.
inline constexpr int kSampleDocumentRefused = -2;
inline constexpr int kSampleJobNotSent = -3;
int PrintSamplePage(gdi::DeviceContext dc, const std::string& imagePath,
                    const std::string& caption);

// Prepares the driver for the job and prints it: one library handle, one device mode, one
// device context, all released on every path. Text 303 (exclamation icon) reports a failure as
// the caller reports it.
SampleOutcome PrintSampleJob(const SamplePrinter& printer, const SampleJob& job,
                             SampleCaller caller);

// Several jobs as one command: the sample-series switch on before the first when there are more
// than one, and off before the last, after a wait until the latest earlier job's document stands
// in the queue (no wait when no earlier job made one). A failing job does not stop the others.
// The outcomes, in order.
std::vector<SampleOutcome> PrintSampleSeries(const SamplePrinter& printer,
                                             const std::vector<SampleJob>& jobs,
                                             SampleCaller caller, bool altutil,
                                             uint32_t modelClass);
