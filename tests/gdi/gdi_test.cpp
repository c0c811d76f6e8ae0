#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "platform/gdi/devmode.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/pdf_images.h"
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

// The images a reader finds on the pages of a PDF: one "width x height object" line per
// placement, as poppler's pdfimages lists them.
std::vector<std::string> Placements(const std::string& pdfPath) {
    std::vector<std::string> placements;
    FILE* pipe = ::popen(("pdfimages -list '" + pdfPath + "' 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return placements;
    }
    char line[512];
    for (int number = 1; std::fgets(line, sizeof line, pipe) != nullptr; ++number) {
        char type[32] = {};
        int page = 0, index = 0, width = 0, height = 0, object = 0;
        if (number > 2 && std::sscanf(line, "%d %d %31s %d %d %*s %*s %*s %*s %*s %d", &page,
                                      &index, type, &width, &height, &object) == 6) {
            placements.push_back(std::to_string(width) + "x" + std::to_string(height) + " " +
                                 std::to_string(object));
        }
    }
    EXPECT_EQ(::pclose(pipe), 0) << "pdfimages (Debian package poppler-utils) failed";
    return placements;
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
    // Four placements of two embedded images, each with its own pixels.
    const std::vector<std::string> placements = Placements(dir_.Write("page.pdf", Pdf()));
    ASSERT_EQ(placements.size(), 4u);
    EXPECT_EQ(placements[1], placements[0]);
    EXPECT_EQ(placements[2], placements[0]);
    EXPECT_TRUE(placements[0].starts_with("64x40 ")) << placements[0];
    EXPECT_TRUE(placements[3].starts_with("64x41 ")) << placements[3];
    EXPECT_NE(placements[3], placements[0]);
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

namespace {

// A file laid out as the toolkit writes one: objects, one cross-reference table, the trailer.
std::string SmallPdf(int images, const std::string& trailerExtra = "") {
    std::string pdf = "%PDF-1.4\n1 0 obj\n<<\n/Type /Catalog\n>>\nendobj\n";
    for (int i = 0; i < images; ++i) {
        pdf += std::to_string(5 + i) +
               " 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n/Width 1\n/Height 1\n>>\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 1\n0000000000 65535 f \ntrailer\n<<\n/Size 9 \n/Root 1 0 R\n" + trailerExtra +
           ">>\nstartxref\n" + std::to_string(xref) + " \n%%EOF\n";
    return pdf;
}

TEST(PdfImagesTest, TheUpdateReplacesEachStandInAndPointsBackAtTheFilesOwnTable) {
    const gdi::ImageStream first{4060, 1190, "first"};
    const gdi::ImageStream second{4060, 595, "second"};
    const std::string pdf = SmallPdf(2);
    const auto update = gdi::ImageUpdate(pdf, {&first, &second});
    ASSERT_TRUE(update.has_value());
    const std::string file = pdf + *update;
    // Each new object stands where the new table says, with its stream.
    std::smatch entry;
    for (const auto& [number, stream, height] :
         {std::tuple{6, std::string("second"), 595}, std::tuple{5, std::string("first"), 1190}}) {
        ASSERT_TRUE(std::regex_search(
            *update, entry, std::regex(std::to_string(number) + " 1\n([0-9]{10}) 00000 n \n")));
        const std::string object = file.substr(std::stoul(entry[1]));
        EXPECT_TRUE(object.starts_with(std::to_string(number) + " 0 obj\n")) << object;
        EXPECT_NE(object.find("/Height " + std::to_string(height) + "\n"), std::string::npos);
        EXPECT_NE(object.find("/Length " + std::to_string(stream.size()) + "\n>>\nstream\n" +
                              stream + "\nendstream"),
                  std::string::npos);
    }
    ASSERT_TRUE(std::regex_search(*update, entry, std::regex("startxref\n([0-9]+)\n%%EOF\n$")));
    EXPECT_TRUE(file.substr(std::stoul(entry[1])).starts_with("xref\n"));
    EXPECT_NE(update->find("/Root 1 0 R\n/Prev " + std::to_string(pdf.find("xref\n")) + "\n>>"),
              std::string::npos);
}

TEST(PdfImagesTest, FilesOfAnotherShapeAreLeftAlone) {
    const gdi::ImageStream image{1, 1, "x"};
    EXPECT_FALSE(gdi::ImageUpdate(SmallPdf(2), {&image}).has_value());
    EXPECT_FALSE(gdi::ImageUpdate(SmallPdf(0), {&image}).has_value());
    EXPECT_FALSE(gdi::ImageUpdate(SmallPdf(1, "/Prev 3\n"), {&image}).has_value());
    EXPECT_FALSE(gdi::ImageUpdate("%PDF-1.4\n", {&image}).has_value());
    EXPECT_TRUE(gdi::ImageUpdate(SmallPdf(1), {&image}).has_value());
}

}  // namespace
