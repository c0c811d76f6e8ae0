// Image streams of a PDF document and how they get into one that a PDF writer made with small
// stand-ins in their place. Plain C++: the device context (gdi.cpp) and the tests share it.
//
// A sample page carries a bitmap of several megabytes that repeats across the paper. The toolkit's
// PDF writer would widen every distinct image to 32 bits and deflate it at its slow default
// level; here the pixels are filtered and deflated once, quickly, and the writer is only told
// where each image stands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/export.h"

namespace gdi {

// The data of one RGB image XObject: rows from the top, each behind the PNG filter byte "Up"
// (the difference from the row above), deflated in the zlib format.
struct ImageStream {
    int32_t width = 0;
    int32_t height = 0;
    std::string data;
};

// Encodes `height` rows of `width` pixels of 3 bytes in blue, green, red order, the top row at
// `rows` and each further row `rowBytes` bytes after the one above. None when memory runs out.
PLENWISE_API std::optional<ImageStream> EncodeImageStream(const uint8_t* rows, std::size_t rowBytes,
                                                          int32_t width, int32_t height);

// What to append to `pdf` so that its image XObjects, in the order the file holds them, become
// `images`, one for one: an incremental update with the new objects, a cross-reference section
// and a trailer that points back at the file's own. None when the file does not hold exactly
// that many images or ends in anything but one classic cross-reference table and trailer.
PLENWISE_API std::optional<std::string> ImageUpdate(std::string_view pdf,
                                                    const std::vector<const ImageStream*>& images);

}  // namespace gdi
