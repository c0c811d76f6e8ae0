// Printer device contexts: what a program draws a printed page with. A device context is made for
// a printer queue and a device mode; its coordinates are the printer's dots at the device mode's
// resolution, the page its paper size. Each page is drawn into a PDF document, which goes to the
// queue as one job under the document name when the document ends; each distinct image of a
// document is converted, compressed and embedded once, however often it is drawn. Handles are
// opaque numbers that are never reused: a stale one fails harmlessly. One thread (the
// user-interface thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/export.h"

namespace gdi {

using DeviceContext = uintptr_t;
using Font = uintptr_t;
inline constexpr DeviceContext kNoDeviceContext = 0;
inline constexpr Font kNoFont = 0;

// Made for the printer `printerName` (a queue of the spooler) with the device mode block of
// `length` bytes (platform/gdi/devmode.h). None when the block cannot be read or the queue does
// not exist. The driver name is the queue's, as the caller knows it; it is not checked.
PLENWISE_API DeviceContext CreateDC(const std::string& driverName, const std::string& printerName,
                                    const void* devMode, std::size_t length);
// Ends a document still open (its job is cancelled) and frees the context.
PLENWISE_API bool DeleteDC(DeviceContext dc);

// GetDeviceCaps indexes.
inline constexpr int kHorzRes = 8;      // printable width, dots
inline constexpr int kVertRes = 10;     // printable height, dots
inline constexpr int kLogPixelsX = 88;  // dots per inch across
inline constexpr int kLogPixelsY = 90;  // dots per inch down
// 0 for an unknown index or context.
PLENWISE_API int GetDeviceCaps(DeviceContext dc, int index);

// A font as a LOGFONT describes it: a negative height is the character height in dots, a
// positive one the cell height; an empty face name takes the system's default face.
struct LogFont {
    int32_t height = 0;
    int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::string faceName;
};
PLENWISE_API Font CreateFontIndirect(const LogFont& font);
// Makes the font the context's; returns the font it had (its stock font at first), or kNoFont
// when either handle is unknown.
PLENWISE_API Font SelectObject(DeviceContext dc, Font font);
// A font selected into a context, or a stock font, is not deleted.
PLENWISE_API bool DeleteObject(Font font);

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
// Draws the text from the rectangle's top left corner in the selected font, a line for each
// line break, without clipping. Returns the height of the text drawn in dots, 0 on failure
// (no page started).
PLENWISE_API int DrawText(DeviceContext dc, const std::string& text, const Rect& rect);

// The document: StartDoc gives the job's id (above 0), or 0 or less on failure, with the reason
// in LastError(). Pages are drawn between StartPage and EndPage (results above 0 for success).
// EndDoc hands the whole document to the queue; when that fails the job is cancelled and EndDoc
// fails: nothing was printed.
PLENWISE_API int StartDoc(DeviceContext dc, const std::string& documentName);
PLENWISE_API int StartPage(DeviceContext dc);
PLENWISE_API int EndPage(DeviceContext dc);
PLENWISE_API int EndDoc(DeviceContext dc);

// Reasons of the last failure on this thread.
inline constexpr uint32_t kErrorNone = 0;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorPrinterNotFound = 1801;
inline constexpr uint32_t kErrorSpooler = 1804;
PLENWISE_API uint32_t LastError();

// A device-independent bitmap's header (BITMAPINFOHEADER, 40 bytes in a file). Only 24-bit
// uncompressed bitmaps are drawn; a positive height stores the bottom row first.
struct BitmapInfoHeader {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t colorsUsed = 0;
    uint32_t colorsImportant = 0;
};
// Bytes of one stored row of a 24-bit bitmap of that width: padded to a multiple of 4.
PLENWISE_API std::size_t RowStride24(int32_t width);

// Draws the source rectangle of the bitmap whose pixels are `bits` (`bitsLength` bytes, rows as
// the header says) into the destination rectangle, scaled to fit. Returns the number of rows
// drawn, or 0 (the GDI error) when nothing was drawn: unknown context or no page, a format other
// than 24-bit uncompressed, a source rectangle beyond the pixels given, or a band too large to
// draw at once (kLargestBandBytes), which callers answer by drawing smaller bands.
PLENWISE_API int StretchDIBits(DeviceContext dc, int xDest, int yDest, int destWidth,
                               int destHeight, int xSrc, int ySrc, int srcWidth, int srcHeight,
                               const void* bits, std::size_t bitsLength,
                               const BitmapInfoHeader& info);
inline constexpr std::size_t kLargestBandBytes = 32u * 1024 * 1024;

}  // namespace gdi
