// Drawing on a dialog's own surface, image lists and the mouse on it, seen in a screenshot.
#include <gtest/gtest.h>

#include <QImage>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/operator_input.h"
#include "platform/ui/paint.h"
#include "platform/ui/window.h"
#include "tests/support/scratch.h"

namespace {

constexpr ui::Colour kRed = ui::Rgb(255, 0, 0);
constexpr ui::Colour kBlue = ui::Rgb(0, 0, 255);
constexpr ui::Colour kWhite = ui::Rgb(255, 255, 255);

class Canvas : public ui::Dialog {
  public:
    explicit Canvas(const ui::ImageList& images)
        : ui::Dialog({7100,
                      ui::DialogKind::Popup,
                      120,
                      80,
                      {{ui::ControlKind::Static, 7101, 60, 40, 20, 10, ui::style::kNoTabStop}}}),
          images_(images) {}

    std::vector<std::pair<ui::MouseAction, ui::Point>> mouse;

  protected:
    void OnPaint(ui::Painter& painter) override {
        painter.FillRect({0, 0, 40, 40}, kRed);
        painter.Line({0, 50}, {30, 50}, kBlue);
        painter.Polygon({{50, 60}, {70, 60}, {60, 75}}, kBlue, kRed);
        EXPECT_TRUE(painter.DrawImage(images_, 1, {100, 0}));
        EXPECT_FALSE(painter.DrawImage(images_, 3, {100, 0}));
    }
    void OnMouse(ui::MouseAction action, ui::Point point) override {
        mouse.emplace_back(action, point);
    }

  private:
    const ui::ImageList& images_;
};

QRgb Rgb(ui::Colour colour) {
    return qRgb(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

TEST(PaintTest, TheSurfaceShowsWhatOnPaintDrawsWithImagesMasked) {
    testsupport::ScratchDir dir;
    // Three 10 x 10 images side by side: the second green with a white corner.
    QImage strip(30, 10, QImage::Format_RGB888);
    strip.fill(Qt::white);
    for (int y = 0; y < 10; ++y) {
        for (int x = 10; x < 20; ++x) {
            strip.setPixel(x, y, qRgb(0, 200, 0));
        }
    }
    strip.setPixel(10, 0, qRgb(255, 255, 255));
    const std::string bitmap = dir / "strip.bmp";
    ASSERT_TRUE(strip.save(QString::fromStdString(bitmap), "BMP"));

    ui::ImageList images(10, 10);
    EXPECT_EQ(images.AddMasked(bitmap, kWhite), 3);
    EXPECT_EQ(images.Count(), 3);
    ui::ImageList tall(10, 20);
    EXPECT_EQ(tall.AddMasked(bitmap, kWhite), -1);
    EXPECT_EQ(tall.AddMasked(dir / "missing.bmp", kWhite), -1);

    Canvas canvas(images);
    ASSERT_TRUE(canvas.Create(nullptr));
    ui::ShowWindow(canvas.Handle(), ui::kShow);
    const std::string shot = dir / "canvas.png";
    ASSERT_TRUE(ui::SaveScreenshot(canvas.Handle(), shot));
    const QImage image(QString::fromStdString(shot));
    ASSERT_FALSE(image.isNull());
    const QRgb background = image.pixel(90, 70) & 0xFFFFFF;

    EXPECT_EQ(image.pixel(5, 5) & 0xFFFFFF, Rgb(kRed) & 0xFFFFFF);
    EXPECT_EQ(image.pixel(39, 39) & 0xFFFFFF, Rgb(kRed) & 0xFFFFFF);
    EXPECT_EQ(image.pixel(40, 40) & 0xFFFFFF, background);
    // The line stops before its end point.
    EXPECT_EQ(image.pixel(0, 50) & 0xFFFFFF, Rgb(kBlue) & 0xFFFFFF);
    EXPECT_EQ(image.pixel(29, 50) & 0xFFFFFF, Rgb(kBlue) & 0xFFFFFF);
    EXPECT_EQ(image.pixel(30, 50) & 0xFFFFFF, background);
    // Filled inside, outlined at the edge.
    EXPECT_EQ(image.pixel(60, 64) & 0xFFFFFF, Rgb(kRed) & 0xFFFFFF);
    EXPECT_EQ(image.pixel(60, 60) & 0xFFFFFF, Rgb(kBlue) & 0xFFFFFF);
    // Image 1 of the list, its white pixel left out.
    EXPECT_EQ(image.pixel(105, 5) & 0xFFFFFF, qRgb(0, 200, 0) & 0xFFFFFF);
    EXPECT_EQ(image.pixel(100, 0) & 0xFFFFFF, background);
    canvas.DestroyWindow();
}

TEST(PaintTest, TheMouseOnTheSurfaceAndControlRectanglesAreInClientPixels) {
    ui::ImageList none(10, 10);
    Canvas canvas(none);
    ASSERT_TRUE(canvas.Create(nullptr));
    ui::ShowWindow(canvas.Handle(), ui::kShow);
    const ui::Rect label = canvas.ItemRect(7101);
    EXPECT_GT(label.left, 0);
    EXPECT_GT(label.right, label.left);
    EXPECT_GT(label.bottom, label.top);
    EXPECT_EQ(canvas.ItemRect(9999).right, 0);

    std::string error;
    canvas.SetCapture();
    ASSERT_EQ(ui::input::Mouse(canvas.Handle(), ui::MouseAction::LeftDown, {5, 6}, error),
              ui::input::Result::Done)
        << error;
    ui::input::Mouse(canvas.Handle(), ui::MouseAction::Move, {9, 6}, error);
    ui::input::Mouse(canvas.Handle(), ui::MouseAction::LeftUp, {9, 7}, error);
    canvas.ReleaseCapture();
    ASSERT_EQ(canvas.mouse.size(), 3u);
    EXPECT_EQ(canvas.mouse[0].first, ui::MouseAction::LeftDown);
    EXPECT_EQ(canvas.mouse[0].second.x, 5);
    EXPECT_EQ(canvas.mouse[1].first, ui::MouseAction::Move);
    EXPECT_EQ(canvas.mouse[1].second.x, 9);
    EXPECT_EQ(canvas.mouse[2].first, ui::MouseAction::LeftUp);
    EXPECT_EQ(canvas.mouse[2].second.y, 7);
    canvas.DestroyWindow();
}

class Watched : public ui::Dialog {
  public:
    Watched()
        : ui::Dialog({7200,
                      ui::DialogKind::Child,
                      100,
                      40,
                      {{ui::ControlKind::Edit, 7201, 4, 4, 40, 12}}}) {}
    std::vector<bool> shown;

  protected:
    void OnShowWindow(bool visible) override { shown.push_back(visible); }
};

TEST(PaintTest, PagesHearWhenTheyAreShownOrHiddenAndEditsSelectTheirText) {
    ui::Dialog parent({7300, ui::DialogKind::Popup, 120, 60, {}});
    ASSERT_TRUE(parent.Create(nullptr));
    Watched page;
    ASSERT_TRUE(page.Create(parent.Handle()));
    ui::ShowWindow(parent.Handle(), ui::kShow);
    EXPECT_TRUE(page.shown.empty()) << "created hidden";
    ui::ShowWindow(page.Handle(), ui::kShow);
    ui::ShowWindow(page.Handle(), ui::kHide);
    ui::ShowWindow(page.Handle(), ui::kShowNoActivate);
    EXPECT_EQ(page.shown, (std::vector<bool>{true, false, true}));

    page.SetItemText(7201, "12");
    ui::Edit edit(page.Item(7201));
    EXPECT_EQ(edit.SelectedText(), "");
    edit.SelectAll();
    EXPECT_EQ(edit.SelectedText(), "12");
    page.DestroyWindow();
    parent.DestroyWindow();
}

}  // namespace
