// A 24-bit picture in memory and its BMP file form (bottom-up rows, each padded to 4 bytes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imagegen {

struct Colour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

class Picture {
  public:
    Picture(int width, int height, Colour background);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Pixels outside the picture are left alone.
    void Set(int x, int y, Colour colour);
    void Fill(int left, int top, int right, int bottom, Colour colour);
    Colour At(int x, int y) const;

    // The BMP file: 14-byte file header, 40-byte information header, pixels.
    std::vector<uint8_t> BmpBytes() const;

  private:
    int width_;
    int height_;
    std::vector<Colour> pixels_;
};

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace imagegen
