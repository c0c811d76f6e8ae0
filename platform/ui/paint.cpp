#include "platform/ui/paint.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPolygon>

namespace ui {

struct ImageList::Images {
    std::vector<QImage> images;
};

namespace {

QColor QtColour(Colour colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

Colour FromQt(const QColor& colour) {
    return Rgb(static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
               static_cast<uint8_t>(colour.blue()));
}

}  // namespace

Colour SystemColour(int index) {
    const QPalette palette = QApplication::palette();
    switch (index) {
        case kColourButtonFace:
            return FromQt(palette.color(QPalette::Button));
        case kColourButtonShadow:
            return FromQt(palette.color(QPalette::Dark));
        case kColourGrayText:
            return FromQt(palette.color(QPalette::Disabled, QPalette::WindowText));
        case kColourButtonHighlight:
            return FromQt(palette.color(QPalette::Light));
        case kColour3dDarkShadow:
            return FromQt(palette.color(QPalette::Shadow));
        case kColour3dLight:
            return FromQt(palette.color(QPalette::Midlight));
        default:
            return 0;
    }
}

ImageList::ImageList(int width, int height)
    : width_(width), height_(height), images_(std::make_unique<Images>()) {}

ImageList::~ImageList() = default;

int ImageList::AddMasked(const std::string& bitmapPath, Colour mask) {
    QImage picture(QString::fromStdString(bitmapPath));
    if (picture.isNull() || width_ <= 0 || height_ <= 0 || picture.height() != height_) {
        return -1;
    }
    picture = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = QtColour(mask).rgb() & 0xFFFFFF;
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            if ((row[x] & 0xFFFFFF) == transparent) {
                row[x] = 0;
            }
        }
    }
    int added = 0;
    for (int left = 0; left + width_ <= picture.width(); left += width_) {
        images_->images.push_back(picture.copy(left, 0, width_, height_));
        ++added;
    }
    return added;
}

int ImageList::Count() const {
    return static_cast<int>(images_->images.size());
}

void Painter::Line(Point from, Point to, Colour colour) {
    if (from.x == to.x && from.y == to.y) {
        return;
    }
    // The last point is left out, as a line drawn to it is.
    const int dx = to.x - from.x;
    const int dy = to.y - from.y;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    const QPoint last(from.x + dx * (steps - 1) / steps, from.y + dy * (steps - 1) / steps);
    painter_.setPen(QPen(QtColour(colour), 0));
    painter_.drawLine(QPoint(from.x, from.y), last);
}

void Painter::FillRect(const Rect& rect, Colour colour) {
    painter_.fillRect(QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top),
                      QtColour(colour));
}

void Painter::Polygon(const std::vector<Point>& points, Colour outline, Colour fill) {
    QPolygon polygon;
    for (const Point& point : points) {
        polygon << QPoint(point.x, point.y);
    }
    painter_.setPen(QPen(QtColour(outline), 0));
    painter_.setBrush(QtColour(fill));
    painter_.drawPolygon(polygon);
    painter_.setBrush(Qt::NoBrush);
}

bool Painter::DrawImage(const ImageList& list, int index, Point topLeft) {
    if (index < 0 || index >= list.Count()) {
        return false;
    }
    painter_.drawImage(QPoint(topLeft.x, topLeft.y),
                       list.Content().images[static_cast<size_t>(index)]);
    return true;
}

void Painter::Text(const Rect& rect, const std::string& text, Colour colour) {
    const QRect area(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    painter_.save();
    painter_.setClipRect(area);
    painter_.setPen(QtColour(colour));
    painter_.drawText(area, Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(text));
    painter_.restore();
}

}  // namespace ui
