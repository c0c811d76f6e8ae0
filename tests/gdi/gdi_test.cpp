#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "platform/gdi/devmode.h"
#include "platform/gdi/gdi.h"
#include "tests/support/memory_spooler.h"
#include "tests/support/scratch.h"

namespace {

using Step = spooler::MemorySpooler::Step;
using testsupport::ScratchDir;

// 24 inches by 297 mm, 720 dots per inch across and 1440 down.
gdi::DevMode RollDevMode() {
    gdi::DevMode mode;
    std::strncpy(mode.deviceName, "WL4000", sizeof mode.deviceName - 1);
    mode.fields = gdi::kDevModePaperWidth | gdi::kDevModePaperLength | gdi::kDevModePrintQuality |
                  gdi::kDevModeYResolution;
    mode.paperWidth = 6096;
    mode.paperLength = 2970;
    mode.printQuality = 720;
    mode.yResolution = 1440;
    return mode;
}

// A bottom-up 24-bit bitmap whose pixel (x, y from the top) has the colour Colour(x, y).
struct Bitmap {
    gdi::BitmapInfoHeader info;
    std::vector<uint8_t> bits;
};
QRgb Colour(int x, int y) {
    return qRgb((x * 40) % 256, (y * 60) % 256, (x + y) % 2 == 0 ? 255 : 0);
}
Bitmap MakeBitmap(int width, int height) {
    Bitmap bitmap;
    bitmap.info.width = width;
    bitmap.info.height = height;
    const size_t stride = gdi::RowStride24(width);
    bitmap.bits.assign(stride * static_cast<size_t>(height), 0xEE);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bitmap.bits.data() + static_cast<size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const QRgb colour = Colour(x, y);
            row[x * 3] = static_cast<uint8_t>(qBlue(colour));
            row[x * 3 + 1] = static_cast<uint8_t>(qGreen(colour));
            row[x * 3 + 2] = static_cast<uint8_t>(qRed(colour));
        }
    }
    return bitmap;
}

int Draw(gdi::DeviceContext dc, int x, int y, const Bitmap& bitmap) {
    return gdi::StretchDIBits(dc, x, y, bitmap.info.width, bitmap.info.height, 0, 0,
                              bitmap.info.width, bitmap.info.height, bitmap.bits.data(),
                              bitmap.bits.size(), bitmap.info);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

class GdiTest : public ::testing::Test {
  protected:
    GdiTest() {
        auto owned = std::make_unique<spooler::MemorySpooler>();
        spooler_ = owned.get();
        spooler::Install(std::move(owned));
        spooler_->AddQueue("WL4000", "ARVEN WL-4000", "plenwise:/WL4000");
        mode_ = RollDevMode();
        dc_ = gdi::CreateDC("ARVEN WL-4000", "WL4000", &mode_, sizeof mode_);
    }
    ~GdiTest() override {
        gdi::DeleteDC(dc_);
        spooler::Install(nullptr);
    }

    // The job's PDF, as the queue received it.
    const std::string& Pdf() const { return spooler_->Documents().back().bytes; }

    spooler::MemorySpooler* spooler_ = nullptr;
    gdi::DevMode mode_;
    gdi::DeviceContext dc_ = gdi::kNoDeviceContext;
    ScratchDir dir_;
};

TEST_F(GdiTest, TheDeviceIsThePaperAtTheDevModesResolution) {
    ASSERT_NE(dc_, gdi::kNoDeviceContext);
    EXPECT_EQ(gdi::GetDeviceCaps(dc_, gdi::kHorzRes), 17280);  // 24 in at 720
    EXPECT_EQ(gdi::GetDeviceCaps(dc_, gdi::kVertRes), 16837);  // 297 mm at 1440
    EXPECT_EQ(gdi::GetDeviceCaps(dc_, gdi::kLogPixelsX), 720);
    EXPECT_EQ(gdi::GetDeviceCaps(dc_, gdi::kLogPixelsY), 1440);
    EXPECT_EQ(gdi::GetDeviceCaps(dc_, 12345), 0);
    EXPECT_EQ(gdi::GetDeviceCaps(dc_ + 1000, gdi::kHorzRes), 0);
}

TEST_F(GdiTest, ContextsNeedAReadableDevModeAndAnExistingQueue) {
    EXPECT_EQ(gdi::CreateDC("ARVEN WL-4000", "NoSuchQueue", &mode_, sizeof mode_),
              gdi::kNoDeviceContext);
    EXPECT_EQ(gdi::LastError(), gdi::kErrorPrinterNotFound);
    EXPECT_EQ(gdi::CreateDC("ARVEN WL-4000", "WL4000", &mode_, sizeof mode_ - 1),
              gdi::kNoDeviceContext);
    gdi::DevMode noResolution = mode_;
    noResolution.fields &= ~gdi::kDevModeYResolution;
    EXPECT_EQ(gdi::CreateDC("ARVEN WL-4000", "WL4000", &noResolution, sizeof noResolution),
              gdi::kNoDeviceContext);
    EXPECT_EQ(gdi::LastError(), gdi::kErrorInvalidParameter);
    // Sizes no paper has would overflow the dot counts.
    gdi::DevMode huge = mode_;
    huge.paperLength = 0x7FFFFFFF;
    EXPECT_EQ(gdi::CreateDC("ARVEN WL-4000", "WL4000", &huge, sizeof huge), gdi::kNoDeviceContext);
    huge = mode_;
    huge.yResolution = 1 << 20;
    EXPECT_EQ(gdi::CreateDC("ARVEN WL-4000", "WL4000", &huge, sizeof huge), gdi::kNoDeviceContext);
    EXPECT_FALSE(gdi::DeleteDC(gdi::kNoDeviceContext));
}

TEST_F(GdiTest, APageGoesToTheQueueAsOnePdfJobUnderTheDocumentName) {
    const int job = gdi::StartDoc(dc_, "Feed   -4");
    ASSERT_GT(job, 0);
    ASSERT_EQ(spooler_->Documents().size(), 1u);
    EXPECT_EQ(spooler_->Documents()[0].name, "Feed   -4");
    ASSERT_GT(gdi::StartPage(dc_), 0);
    EXPECT_GT(gdi::DrawText(dc_, "Feed   -4", {0, 0, 17280, 16837}), 0);
    const Bitmap bitmap = MakeBitmap(64, 40);
    // The same band three times across, and one other: two images in the file.
    for (int x : {0, 84, 168}) {
        EXPECT_EQ(Draw(dc_, x, 300, bitmap), 40);
    }
    EXPECT_EQ(Draw(dc_, 0, 400, MakeBitmap(64, 41)), 41);
    ASSERT_GT(gdi::EndPage(dc_), 0);
    EXPECT_TRUE(spooler_->Documents()[0].bytes.empty()) << "nothing is written before the end";
    ASSERT_GT(gdi::EndDoc(dc_), 0);

    const auto& document = spooler_->Documents()[0];
    EXPECT_TRUE(document.ended);
    EXPECT_EQ(document.jobId, static_cast<uint32_t>(job));
    EXPECT_TRUE(Pdf().starts_with("%PDF-")) << Pdf().substr(0, 16);
    EXPECT_EQ(Count(Pdf(), "/Subtype /Image"), 2u);
    // The page is the paper: 24 in by 297 mm in points.
    std::smatch box;
    ASSERT_TRUE(
        std::regex_search(Pdf(), box, std::regex(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])")));
    EXPECT_NEAR(std::stod(box[1]), 1728.0, 0.5);
    EXPECT_NEAR(std::stod(box[2]), 841.9, 0.5);
}

TEST_F(GdiTest, ImagesArriveWithTheirRowsAndColoursUnchanged) {
    const Bitmap bitmap = MakeBitmap(33, 7);  // rows padded to 100 bytes
    ASSERT_GT(gdi::StartDoc(dc_, "Sample"), 0);
    ASSERT_GT(gdi::StartPage(dc_), 0);
    ASSERT_EQ(Draw(dc_, 10, 10, bitmap), 7);
    ASSERT_GT(gdi::EndPage(dc_), 0);
    ASSERT_GT(gdi::EndDoc(dc_), 0);

    const std::string pdf = dir_.Write("sample.pdf", Pdf());
    const std::string prefix = dir_ / "image";
    const std::string command = "pdfimages -png '" + pdf + "' '" + prefix + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "pdfimages (Debian package poppler-utils) failed: " << command;
    QImage image(QString::fromStdString(prefix + "-000.png"));
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.width(), 33);
    ASSERT_EQ(image.height(), 7);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 33; ++x) {
            ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, Colour(x, y) & 0xFFFFFF) << x << "," << y;
        }
    }
}

TEST_F(GdiTest, BandsAreDrawnOnlyWithinTheirPixelsAndBelowTheSizeLimit) {
    ASSERT_GT(gdi::StartDoc(dc_, "Sample"), 0);
    const Bitmap bitmap = MakeBitmap(16, 8);
    EXPECT_EQ(Draw(dc_, 0, 0, bitmap), 0) << "drawn before the page started";
    ASSERT_GT(gdi::StartPage(dc_), 0);

    // Part of a bottom-up bitmap: rows 2 to 5 counted from the bottom.
    EXPECT_EQ(gdi::StretchDIBits(dc_, 0, 0, 16, 4, 0, 2, 16, 4, bitmap.bits.data(),
                                 bitmap.bits.size(), bitmap.info),
              4);
    // Beyond the bitmap, or beyond the bytes the caller has.
    EXPECT_EQ(gdi::StretchDIBits(dc_, 0, 0, 16, 4, 0, 5, 16, 4, bitmap.bits.data(),
                                 bitmap.bits.size(), bitmap.info),
              0);
    EXPECT_EQ(gdi::StretchDIBits(dc_, 0, 0, 16, 8, 0, 0, 16, 8, bitmap.bits.data(),
                                 bitmap.bits.size() - 1, bitmap.info),
              0);
    EXPECT_EQ(gdi::LastError(), gdi::kErrorInvalidParameter);
    gdi::BitmapInfoHeader paletted = bitmap.info;
    paletted.bitCount = 8;
    EXPECT_EQ(gdi::StretchDIBits(dc_, 0, 0, 16, 8, 0, 0, 16, 8, bitmap.bits.data(),
                                 bitmap.bits.size(), paletted),
              0);

    // A band above the limit fails, so that the caller halves it; the half is drawn.
    gdi::BitmapInfoHeader wide;
    wide.width = 4060;
    wide.height = 3000;
    std::vector<uint8_t> pixels(gdi::RowStride24(wide.width) * 3000, 0x80);
    EXPECT_EQ(gdi::StretchDIBits(dc_, 0, 0, 4060, 3000, 0, 0, 4060, 3000, pixels.data(),
                                 pixels.size(), wide),
              0);
    EXPECT_EQ(gdi::LastError(), gdi::kErrorNotEnoughMemory);
    wide.height = 1500;
    EXPECT_EQ(gdi::StretchDIBits(dc_, 0, 0, 4060, 1500, 0, 0, 4060, 1500, pixels.data(),
                                 pixels.size() / 2, wide),
              1500);
    EXPECT_GT(gdi::EndPage(dc_), 0);
    EXPECT_GT(gdi::EndDoc(dc_), 0);
}

TEST_F(GdiTest, DocumentStepsOutOfOrderFailAndAnOpenDocumentIsCancelledWithItsContext) {
    EXPECT_LT(gdi::StartPage(dc_), 0);
    EXPECT_LT(gdi::EndDoc(dc_), 0);
    ASSERT_GT(gdi::StartDoc(dc_, "One"), 0);
    EXPECT_LE(gdi::StartDoc(dc_, "Two"), 0);
    ASSERT_GT(gdi::StartPage(dc_), 0);
    EXPECT_LT(gdi::StartPage(dc_), 0);
    ASSERT_TRUE(gdi::DeleteDC(dc_));
    ASSERT_EQ(spooler_->Documents().size(), 1u);
    EXPECT_TRUE(spooler_->Documents()[0].cancelled);
    EXPECT_EQ(spooler_->OpenHandles(), 0u);
    EXPECT_LE(gdi::StartDoc(dc_, "After"), 0);
    EXPECT_EQ(gdi::LastError(), gdi::kErrorInvalidHandle);
}

TEST_F(GdiTest, AJobTheSpoolerRefusesIsAFailedStart) {
    spooler_->Fail(Step::kStartDoc, 0, 1);
    EXPECT_LE(gdi::StartDoc(dc_, "Sample"), 0);
    EXPECT_EQ(gdi::LastError(), gdi::kErrorSpooler);
    EXPECT_EQ(spooler_->OpenHandles(), 0u);
}

TEST_F(GdiTest, ADocumentThatCannotBeHandedOverIsCancelledAndAFailedEnd) {
    // The spooler's page, the write or the end fails: the job is cancelled, never finished.
    for (Step step : {Step::kStartPage, Step::kWrite, Step::kEndDoc}) {
        spooler_->ClearFailures();
        spooler_->Fail(step, 0, 1);
        ASSERT_GT(gdi::StartDoc(dc_, "Sample"), 0);
        ASSERT_GT(gdi::StartPage(dc_), 0);
        ASSERT_GT(gdi::EndPage(dc_), 0);
        EXPECT_LT(gdi::EndDoc(dc_), 0);
        EXPECT_TRUE(spooler_->Documents().back().cancelled);
        EXPECT_FALSE(spooler_->Documents().back().ended);
        EXPECT_EQ(spooler_->OpenHandles(), 0u);
    }
}

TEST_F(GdiTest, FontsAreSelectedInTurnAndOnlyFreeOnesAreDeleted) {
    gdi::LogFont small;
    small.height = -(1440 * 10 / 72);
    const gdi::Font font = gdi::CreateFontIndirect(small);
    const gdi::Font stock = gdi::SelectObject(dc_, font);
    ASSERT_NE(stock, gdi::kNoFont);
    EXPECT_FALSE(gdi::DeleteObject(font)) << "a selected font stays";
    EXPECT_EQ(gdi::SelectObject(dc_, stock), font);
    EXPECT_FALSE(gdi::DeleteObject(stock));
    EXPECT_TRUE(gdi::DeleteObject(font));
    EXPECT_FALSE(gdi::DeleteObject(font));
    EXPECT_EQ(gdi::SelectObject(dc_, font), gdi::kNoFont);

    const gdi::Font again = gdi::CreateFontIndirect(small);
    gdi::SelectObject(dc_, again);
    ASSERT_GT(gdi::StartDoc(dc_, "Text"), 0);
    EXPECT_EQ(gdi::DrawText(dc_, "one line", {0, 0, 100, 100}), 0) << "no page yet";
    ASSERT_GT(gdi::StartPage(dc_), 0);
    const int one = gdi::DrawText(dc_, "Density   12", {0, 0, 17280, 16837});
    const int two = gdi::DrawText(dc_, "Density\r\n12", {0, 0, 17280, 16837});
    EXPECT_GE(one, 200);  // 10 points at 1440 dots per inch
    EXPECT_NEAR(two, 2 * one, one / 4);
    gdi::EndPage(dc_);
    gdi::EndDoc(dc_);
    gdi::SelectObject(dc_, stock);
    EXPECT_TRUE(gdi::DeleteObject(again));
}

}  // namespace
