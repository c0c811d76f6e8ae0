// Drawing on a dialog's own surface: colours as the system names them, image lists, and the
// painter a dialog gets when its surface is painted (Dialog::OnPaint). Coordinates are the
// dialog's client pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/export.h"

class QPainter;

namespace ui {

struct Point {
    int x = 0;
    int y = 0;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;  // exclusive
    int bottom = 0;
    bool Contains(Point point) const {
        return point.x >= left && point.x < right && point.y >= top && point.y < bottom;
    }
};

// A colour as 0x00BBGGRR.
using Colour = uint32_t;
constexpr Colour Rgb(uint8_t red, uint8_t green, uint8_t blue) {
    return Colour{red} | Colour{green} << 8 | Colour{blue} << 16;
}

// System colours by their index.
inline constexpr int kColourButtonFace = 15;
inline constexpr int kColourButtonShadow = 16;  // 3-D shadow
inline constexpr int kColourGrayText = 17;      // text of disabled items
inline constexpr int kColourButtonHighlight = 20;
inline constexpr int kColour3dDarkShadow = 21;
inline constexpr int kColour3dLight = 22;
// The colour of the running style; black for an unknown index.
PLENWISE_API Colour SystemColour(int index);

// Images of one size, each drawn with one colour transparent.
class PLENWISE_API ImageList {
  public:
    ImageList(int width, int height);
    ~ImageList();
    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;

    // Cuts the bitmap file's picture into images of the list's size, from the left; pixels of
    // the mask colour become transparent. The number of images added, -1 when the file is no
    // bitmap that can be read or is not as high as the images.
    int AddMasked(const std::string& bitmapPath, Colour mask);
    int Count() const;
    int Width() const { return width_; }
    int Height() const { return height_; }

    struct Images;
    const Images& Content() const { return *images_; }

  private:
    int width_;
    int height_;
    std::unique_ptr<Images> images_;
};

// What a dialog draws with while its surface is painted. Lines and outlines are one pixel wide
// and solid.
class PLENWISE_API Painter {
  public:
    explicit Painter(QPainter& painter) : painter_(painter) {}

    // From `from` up to, not including, `to`.
    void Line(Point from, Point to, Colour colour);
    void FillRect(const Rect& rect, Colour colour);
    void Polygon(const std::vector<Point>& points, Colour outline, Colour fill);
    // False for an index the list does not have.
    bool DrawImage(const ImageList& list, int index, Point topLeft);
    // Text in the dialog's font, from the rectangle's top left, wrapped at its width at line
    // breaks only and clipped to it.
    void Text(const Rect& rect, const std::string& text, Colour colour);

  private:
    QPainter& painter_;
};

// What the mouse did on a dialog's surface.
enum class MouseAction { LeftDown, Move, LeftUp };

}  // namespace ui
