// Bitmaps: the user-bitmap check and the sample engine's reading of a bitmap's header and
// pixels. The header is taken from the file's first 54 bytes or not at all; the pixels are the
// file's bytes from the pixel offset on, rows the file does not hold blank.
#include <algorithm>
#include <cstring>

#include "tests/fuzz/fuzz_support.h"
#include "util/sample/sample_print.h"

namespace {

// Images larger than this take the same path as smaller ones, only slower: skip their pixels.
constexpr uint64_t kPixelsRead = 1u << 20;

int32_t Le32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                                uint32_t{p[3]} << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::ScratchDir() + "/image.bmp";
    fuzz::WriteFile(path, data, size);

    const sys::InputFile file(path);
    FUZZ_CHECK(file.IsOpen() && file.Size() == size);
    const std::optional<SampleBitmap> bitmap = ReadSampleBitmap(file);
    // A user bitmap is one a sample page prints: of the user size, 24 bits, uncompressed.
    FUZZ_CHECK(CheckUserBitmap(path) == (bitmap && Le32(data + 18) == kUserBitmapWidth &&
                                         Le32(data + 22) == kUserBitmapHeight &&
                                         (data[28] | data[29] << 8) == 24 && Le32(data + 30) == 0));
    if (!bitmap) {
        return 0;
    }
    FUZZ_CHECK(size >= 54);
    FUZZ_CHECK(bitmap->pixelOffset >= 54 &&
               bitmap->pixelOffset == static_cast<uint32_t>(Le32(data + 10)));
    FUZZ_CHECK(bitmap->header.width == Le32(data + 18) && bitmap->header.height == Le32(data + 22));
    FUZZ_CHECK(bitmap->header.bitCount == (data[28] | data[29] << 8));

    const gdi::BitmapInfoHeader& header = bitmap->header;
    if (!IsPrintableBitmap(header)) {
        FUZZ_CHECK(ReadSamplePixels(file, *bitmap).empty());
        return 0;
    }
    const uint64_t stride = gdi::RowStride24(header.width);
    FUZZ_CHECK(stride % 4 == 0 && stride >= uint64_t{3} * static_cast<uint32_t>(header.width));
    if (stride * static_cast<uint32_t>(header.height) > kPixelsRead) {
        return 0;
    }
    const std::vector<uint8_t> pixels = ReadSamplePixels(file, *bitmap);
    FUZZ_CHECK(pixels.size() == stride * static_cast<uint32_t>(header.height));
    const size_t offset = bitmap->pixelOffset;
    const size_t held = offset < size ? std::min(pixels.size(), size - offset) : 0;
    FUZZ_CHECK(held == 0 || std::memcmp(pixels.data(), data + offset, held) == 0);
    FUZZ_CHECK(std::all_of(pixels.begin() + static_cast<std::ptrdiff_t>(held), pixels.end(),
                           [](uint8_t b) { return b == 0xFF; }));  // white paper
    return 0;
}
