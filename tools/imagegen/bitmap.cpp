#include "tools/imagegen/bitmap.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace imagegen {

namespace {

void Put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    Put16(bytes, at, value);
    Put16(bytes, at + 2, value >> 16);
}

}  // namespace

Picture::Picture(int width, int height, Colour background)
    : width_(width),
      height_(height),
      pixels_(static_cast<size_t>(width) * static_cast<size_t>(height), background) {}

void Picture::Set(int x, int y, Colour colour) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) {
        pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] =
            colour;
    }
}

void Picture::Fill(int left, int top, int right, int bottom, Colour colour) {
    for (int y = std::max(top, 0); y < std::min(bottom, height_); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, width_); ++x) {
            Set(x, y, colour);
        }
    }
}

Colour Picture::At(int x, int y) const {
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

std::vector<uint8_t> Picture::BmpBytes() const {
    constexpr size_t kHeaders = 14 + 40;
    const size_t stride = (static_cast<size_t>(width_) * 3 + 3) / 4 * 4;
    const size_t pixelBytes = stride * static_cast<size_t>(height_);
    std::vector<uint8_t> bytes(kHeaders + pixelBytes, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put32(bytes, 2, static_cast<uint32_t>(bytes.size()));
    Put32(bytes, 10, kHeaders);
    Put32(bytes, 14, 40);
    Put32(bytes, 18, static_cast<uint32_t>(width_));
    Put32(bytes, 22, static_cast<uint32_t>(height_));
    Put16(bytes, 26, 1);
    Put16(bytes, 28, 24);
    Put32(bytes, 34, static_cast<uint32_t>(pixelBytes));
    Put32(bytes, 38, 2835);  // 72 dots per inch
    Put32(bytes, 42, 2835);
    for (int y = 0; y < height_; ++y) {
        // Bottom row first.
        uint8_t* row = bytes.data() + kHeaders + static_cast<size_t>(height_ - 1 - y) * stride;
        for (int x = 0; x < width_; ++x) {
            const Colour colour = At(x, y);
            row[x * 3] = colour.blue;
            row[x * 3 + 1] = colour.green;
            row[x * 3 + 2] = colour.red;
        }
    }
    return bytes;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string partial = path + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            return false;
        }
    }
    return std::rename(partial.c_str(), path.c_str()) == 0;
}

}  // namespace imagegen
