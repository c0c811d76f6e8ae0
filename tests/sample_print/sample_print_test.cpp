#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "common/raw_job.h"
#include "common/remote_commands.h"
#include "platform/gdi/devmode.h"
#include "platform/system/clock.h"
#include "platform/ui/message_box.h"
#include "platform/ui/paint.h"
#include "sim/driver/media_catalog.h"
#include "tests/driver_settings/driver_fixture.h"
#include "util/sample/sample_print.h"

namespace {

using Step = spooler::MemorySpooler::Step;
using testsupport::ScratchDir;

void Put32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    }
}

// A BMP file: file header, 40-byte information header, bottom-up rows of grey.
std::string Bitmap(int32_t width, int32_t height, uint16_t bitCount = 24) {
    const size_t stride = gdi::RowStride24(width);
    std::string bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put32(bytes, 10, 54);
    Put32(bytes, 14, 40);
    Put32(bytes, 18, static_cast<uint32_t>(width));
    Put32(bytes, 22, static_cast<uint32_t>(height));
    bytes[26] = 1;
    bytes[28] = static_cast<char>(bitCount);
    bytes += std::string(stride * static_cast<size_t>(std::abs(height)), '\x60');
    Put32(bytes, 2, static_cast<uint32_t>(bytes.size()));
    return bytes;
}

// The image placements of a PDF, one line each, as pdfimages -list reports them.
std::vector<std::string> ImagePlacements(const std::string& pdfPath) {
    std::vector<std::string> lines;
    FILE* pipe = ::popen(("pdfimages -list '" + pdfPath + "' 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return lines;
    }
    char line[512];
    int number = 0;
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        if (++number > 2) {  // two heading lines
            lines.emplace_back(line);
        }
    }
    EXPECT_EQ(::pclose(pipe), 0) << "pdfimages (Debian package poppler-utils) failed";
    return lines;
}

// The page of a PDF rendered at 254 dots per inch, one grey value per device dot, cut to the
// rectangle at (x, y) of width by height dots.
QImage Rendered(const std::string& pdfPath, int x, int y, int width, int height) {
    const std::string prefix = pdfPath + "-rendered";
    const std::string command = "pdftoppm -r 254 -gray -png -singlefile -x " + std::to_string(x) +
                                " -y " + std::to_string(y) + " -W " + std::to_string(width) +
                                " -H " + std::to_string(height) + " '" + pdfPath + "' '" + prefix +
                                "' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "pdftoppm (Debian package poppler-utils) failed: " << command;
    return QImage(QString::fromStdString(prefix + ".png"));
}

// Where the dark runs of one rendered row begin, from the left.
std::vector<int> DarkRunStarts(const QImage& image, int row) {
    std::vector<int> starts;
    bool dark = false;
    for (int x = 0; x < image.width(); ++x) {
        const bool now = qGray(image.pixel(x, row)) < 160;
        if (now && !dark) {
            starts.push_back(x);
        }
        dark = now;
    }
    return starts;
}

// The first image of a PDF as poppler extracts it.
QImage FirstImage(const ScratchDir& dir, const std::string& pdfPath) {
    const std::string prefix = (dir.Path() / "extracted").string();
    const std::string command = "pdfimages -f 1 -l 1 -png '" + pdfPath + "' '" + prefix + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return QImage(QString::fromStdString(prefix + "-000.png"));
}

// A device whose width in dots equals its paper width in 0.1 mm.
gdi::DevMode DevModeOfWidth(int32_t dots) {
    gdi::DevMode mode;
    mode.fields = gdi::kDevModePaperWidth | gdi::kDevModePaperLength | gdi::kDevModePrintQuality |
                  gdi::kDevModeYResolution;
    mode.paperWidth = dots;
    mode.paperLength = 2970;
    mode.printQuality = 254;
    mode.yResolution = 254;
    return mode;
}

TEST(SampleValuesTest, FeedCandidatesSpreadOverTheRange) {
    EXPECT_EQ(FeedCandidates(-3, 5), (std::vector<int>{-3, -1, 1, 3, 5}));
    EXPECT_EQ(FeedCandidates(5, -3), (std::vector<int>{-3, -1, 1, 3, 5}));
    EXPECT_EQ(FeedCandidates(7, 7), (std::vector<int>{7}));
    EXPECT_EQ(FeedCandidates(0, 1), (std::vector<int>{0, 1}));
    EXPECT_EQ(FeedCandidates(0, 2), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(FeedCandidates(0, 3), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(FeedCandidates(-70, 70), (std::vector<int>{-70, -35, 0, 35, 70}));
    // Spans not divisible by 4: each quarter is divided after multiplying.
    EXPECT_EQ(FeedCandidates(0, 6), (std::vector<int>{0, 1, 3, 4, 6}));
    EXPECT_EQ(FeedCandidates(-3, 4), (std::vector<int>{-3, -2, 0, 2, 4}));
    // A value of -1000 or less is no candidate, and ends the list.
    EXPECT_EQ(FeedCandidates(-1002, -994), (std::vector<int>{}));
    EXPECT_EQ(FeedCandidates(-1000, 0), (std::vector<int>{}));
    // The edits' extremes: the span does not fit an int.
    constexpr int kMax = std::numeric_limits<int>::max();
    EXPECT_EQ(FeedCandidates(kMax, -999),
              (std::vector<int>{-999, 536870162, 1073741324, 1610612485, kMax}));
}

TEST(SampleValuesTest, PaperWidthFallsBackByTheModelClass) {
    EXPECT_EQ(SamplePaperWidthInches(36, 0x10009), 36);
    EXPECT_EQ(SamplePaperWidthInches(0, 0x10009), 0);
    EXPECT_EQ(SamplePaperWidthInches(-1, 0x10009), 44);
    EXPECT_EQ(SamplePaperWidthInches(-1, 0x20005), 44);
    EXPECT_EQ(SamplePaperWidthInches(-1, 10), 24);
}

TEST(SampleValuesTest, MediaValuesAreTheWorkingCopysAndTheRecordsExtraByte) {
    MediaWorkingCopy working;
    for (size_t i = 0; i < MediaWorkingCopy::kSize; ++i) {
        working.bytes[i] = static_cast<uint8_t>(0x80 + i);
    }
    UserMediaRecord record;
    record.bytes[56] = 0x11;  // the record's own values do not count
    record.bytes[62] = 0x2A;
    const auto data = SampleMediaValues(working, record);
    EXPECT_EQ(data,
              (std::array<uint8_t, 12>{0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0x2A, 0, 0, 0, 0, 0}));
}

TEST(UserBitmapTest, OnlyTheExactSizeIsTaken) {
    ScratchDir dir;
    EXPECT_TRUE(CheckUserBitmap(dir.Write("ok.bmp", Bitmap(4060, 1190).substr(0, 54))));
    EXPECT_FALSE(CheckUserBitmap(dir.Write("wide.bmp", Bitmap(4061, 1190).substr(0, 54))));
    EXPECT_FALSE(CheckUserBitmap(dir.Write("flipped.bmp", Bitmap(4060, -1190).substr(0, 54))));
    // The right size in a format a sample cannot print.
    EXPECT_FALSE(CheckUserBitmap(dir.Write("grey.bmp", Bitmap(4060, 1190, 8).substr(0, 54))));
    std::string packed = Bitmap(4060, 1190).substr(0, 54);
    Put32(packed, 30, 1);  // run-length compressed
    EXPECT_FALSE(CheckUserBitmap(dir.Write("packed.bmp", packed)));
    EXPECT_FALSE(CheckUserBitmap(dir.Write("short.bmp", Bitmap(4060, 1190).substr(0, 25))));
    EXPECT_FALSE(CheckUserBitmap(dir / "missing.bmp"));
    EXPECT_FALSE(CheckUserBitmap(dir.Path().string()));
}

class SamplePageTest : public ::testing::Test {
  protected:
    SamplePageTest() {
        spool_->AddQueue("WL4000", "ARVEN WL-4000", "plenwise:/WL4000");
        ui::SetResponder(&responder_);
    }
    ~SamplePageTest() override {
        ui::SetResponder(nullptr);
        for (gdi::DeviceContext dc : contexts_) {
            gdi::DeleteDC(dc);
        }
    }
    gdi::DeviceContext Device(int32_t dots) {
        const gdi::DevMode mode = DevModeOfWidth(dots);
        contexts_.push_back(gdi::CreateDC("ARVEN WL-4000", "WL4000", &mode, sizeof mode));
        return contexts_.back();
    }
    std::string LastPdf() { return dir_.Write("page.pdf", spool_->Documents().back().bytes); }

    ScratchDir dir_;
    spooler::ScopedMemorySpooler spool_;
    ui::ScriptedResponder responder_;
    std::vector<gdi::DeviceContext> contexts_;
};

TEST_F(SamplePageTest, CopiesStandTwentyDotsApartWhileTheyStartWithinTheWidth) {
    const std::string image = dir_.Write("sample.bmp", Bitmap(1000, 30));
    // x = 0, 1020, 2040, 3060 fit 4000 dots; x = 4080 needs 4080.
    ASSERT_EQ(PrintSamplePage(Device(4000), image, "Density   3"), 0);
    EXPECT_EQ(spool_->Documents().back().name, "Density   3");
    const std::string pdf = LastPdf();
    EXPECT_EQ(ImagePlacements(pdf).size(), 4u);
    // The image's rows start 15 points (53 dots) down; a row halfway down it.
    const QImage strip = Rendered(pdf, 0, 68, 4000, 1);
    ASSERT_EQ(strip.width(), 4000);
    const std::vector<int> starts = DarkRunStarts(strip, 0);
    ASSERT_EQ(starts.size(), 4u);
    for (size_t i = 0; i < starts.size(); ++i) {
        EXPECT_NEAR(starts[i], 1020 * static_cast<int>(i), 1) << "copy " << i;  // edges may round
    }
    ASSERT_EQ(PrintSamplePage(Device(4080), image, "Density   4"), 0);
    EXPECT_EQ(ImagePlacements(LastPdf()).size(), 5u);
    // A page narrower than the image still gets one copy.
    ASSERT_EQ(PrintSamplePage(Device(500), image, "Narrow"), 0);
    EXPECT_EQ(ImagePlacements(LastPdf()).size(), 1u);
    EXPECT_TRUE(responder_.Boxes().empty());
}

TEST_F(SamplePageTest, ABandTooLargeForTheDeviceIsHalved) {
    // 48 MB of pixels: the device takes at most 32 MiB at once, so two bands of 1000 rows.
    // The bottom 1000 rows (stored first) are near black, the others the usual grey.
    std::string bitmap = Bitmap(8000, 2000);
    std::fill_n(bitmap.begin() + 54, gdi::RowStride24(8000) * 1000, '\x20');
    const std::string image = dir_.Write("large.bmp", bitmap);
    ASSERT_EQ(PrintSamplePage(Device(8000), image, "Large"), 0);
    const std::string pdf = LastPdf();
    EXPECT_EQ(ImagePlacements(pdf).size(), 2u);
    // The image spans dots 53 to 2052 down the page; the band of the bottom rows lies below.
    const QImage column = Rendered(pdf, 4000, 0, 1, 2100);
    ASSERT_EQ(column.height(), 2100);
    auto grey = [&](int y) { return qGray(column.pixel(0, y)); };
    EXPECT_EQ(grey(50), 255);
    EXPECT_EQ(grey(55), 0x60);
    EXPECT_EQ(grey(1050), 0x60);
    EXPECT_EQ(grey(1055), 0x20);
    EXPECT_EQ(grey(2050), 0x20);
    EXPECT_EQ(grey(2055), 255);
}

TEST_F(SamplePageTest, ImagesThatCannotBePrintedLeaveNoDocumentOrTheCaptionOnly) {
    const gdi::DeviceContext dc = Device(4000);
    EXPECT_EQ(PrintSamplePage(dc, dir_ / "missing.bmp", "Missing"), 1);
    EXPECT_EQ(PrintSamplePage(dc, "", "No image"), 1);
    std::string broken = Bitmap(10, 10);
    Put32(broken, 10, 20);  // pixels said to start inside the information header
    EXPECT_EQ(PrintSamplePage(dc, dir_.Write("broken.bmp", broken), "Broken"), -1);
    EXPECT_EQ(PrintSamplePage(dc, dir_.Write("tiny.bmp", "BM"), "Tiny"), -1);
    EXPECT_TRUE(spool_->Documents().empty());

    // Other formats and top-down rows print the caption alone.
    ASSERT_EQ(PrintSamplePage(dc, dir_.Write("grey.bmp", Bitmap(10, 10, 8)), "Paletted"), 0);
    EXPECT_TRUE(ImagePlacements(LastPdf()).empty());
    ASSERT_EQ(PrintSamplePage(dc, dir_.Write("down.bmp", Bitmap(10, -10)), "Top down"), 0);
    EXPECT_TRUE(ImagePlacements(LastPdf()).empty());
}

TEST_F(SamplePageTest, RowsTheFileDoesNotHoldPrintWhite) {
    // Cut short: the bottom rows come first in the file, the top ones are missing.
    const std::string cut = Bitmap(100, 100);
    ASSERT_EQ(
        PrintSamplePage(Device(50), dir_.Write("cut.bmp", cut.substr(0, cut.size() / 2)), "Cut"),
        0);
    ASSERT_EQ(ImagePlacements(LastPdf()).size(), 1u);
    QImage image = FirstImage(dir_, LastPdf());
    ASSERT_EQ(image.height(), 100);
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(99, 99), qRgb(0x60, 0x60, 0x60));

    // Pixels said to start beyond the file's end.
    std::string beyond = Bitmap(10, 10);
    Put32(beyond, 10, 60000);
    ASSERT_EQ(PrintSamplePage(Device(50), dir_.Write("beyond.bmp", beyond), "Beyond"), 0);
    image = FirstImage(dir_, LastPdf());
    ASSERT_EQ(image.height(), 10);
    EXPECT_EQ(image.pixel(5, 9), qRgb(255, 255, 255));
}

TEST_F(SamplePageTest, ADocumentThatNeverReachedTheQueueIsAFailure) {
    const std::string image = dir_.Write("sample.bmp", Bitmap(100, 10));
    for (Step step : {Step::kWrite, Step::kEndDoc}) {
        spool_->ClearFailures();
        spool_->Fail(step, 0, 1);
        EXPECT_EQ(PrintSamplePage(Device(4000), image, "Lost"), kSampleJobNotSent);
        EXPECT_TRUE(spool_->Documents().back().cancelled);
    }
    EXPECT_EQ(spool_->OpenHandles(), 0u);
}

TEST_F(SamplePageTest, AJobTheQueueRefusesIsReportedWithTheSystemsReason) {
    const std::string image = dir_.Write("sample.bmp", Bitmap(100, 10));
    spool_->Fail(Step::kStartDoc, 0, 1);
    EXPECT_EQ(PrintSamplePage(Device(4000), image, "Refused"), kSampleDocumentRefused);
    ASSERT_EQ(responder_.Boxes().size(), 1u);
    EXPECT_EQ(responder_.Boxes()[0].text, "StartDoc() ret = 0, err = 1804");
    EXPECT_EQ(responder_.Boxes()[0].flags, ui::kMbOk);
    EXPECT_EQ(spool_->OpenHandles(), 0u);
}

// The pictures the build draws beside the modules.
std::string Built(const std::string& name) {
    const char* out = std::getenv("PLENWISE_OUT");
    return std::string(out ? out : ".") + "/" + name;
}

TEST_F(SamplePageTest, TheStandardImageHasTheUserBitmapsSizeAndPrintsAcrossThePage) {
    ASSERT_TRUE(CheckUserBitmap(Built("Sample.bmp")));
    // 44 inches at 254 dots per inch: copies at 0, 4080 and 8160.
    ASSERT_EQ(PrintSamplePage(Device(44 * 254), Built("Sample.bmp"), "Standard"), 0);
    EXPECT_EQ(ImagePlacements(LastPdf()).size(), 3u);
}

TEST(HeadGapStripsTest, EachStripHoldsSixPatternsOnWhite) {
    for (const char* name : {"HeadGap2016.bmp", "HeadGap2017.bmp"}) {
        ui::ImageList list(250, 30);
        EXPECT_EQ(list.AddMasked(Built(name), ui::Rgb(255, 255, 255)), 6) << name;
    }
}

// The real ARSET32.so on a private machine with the WL-4000 and a printer it does not serve.
class SampleJobTest : public drivertest::DriverMachine {
  protected:
    void SetUp() override {
        InstallLibrary();
        AddQueue("WL4000", "ARVEN WL-4000");
        AddQueue("W400U", "ARVEN Wideline 400U");
        AddQueue("Plotter", "OTHER Plotter 9");
        ASSERT_TRUE(library_.Bind("WL4000"));
        const char* out = std::getenv("PLENWISE_OUT");
        texts_.Load(std::string(out ? out : ".") + "/util.dat");
        ASSERT_FALSE(texts_.GetText(kSampleFailureText).empty());
        ui::SetResponder(&responder_);
        sys::SetClock(&clock_);
        image_ = scratch_.Write("Sample.bmp", Bitmap(400, 20));
        media_ = simdriver::MediaOf(1).front()->id;
    }
    void TearDown() override {
        sys::SetClock(nullptr);
        ui::SetResponder(nullptr);
    }

    SamplePrinter Printer(const std::string& queue) {
        return {queue, "plenwise:/" + queue, "ARVEN WL-4000", &library_, &texts_};
    }
    SampleJob Job(const std::string& caption, int32_t printMode = 1) {
        SampleJob job;
        job.imagePath = image_;
        job.caption = caption;
        job.paperWidthInches = 44;
        job.mediaId = media_;
        job.printModeIndex = printMode;
        return job;
    }
    // The queue's driver settings as the library reads them now.
    template <class Block>
    Block Read(const std::string& queue, int32_t item, Block block = {}) {
        int32_t handle = 0;
        EXPECT_EQ(library_.Open(queue, "plenwise:/" + queue, &handle), 0);
        EXPECT_EQ(library_.GetData(handle, item, &block), 0) << item;
        library_.Close(handle);
        return block;
    }
    std::vector<std::string> Documents() {
        std::vector<std::string> names;
        for (const auto& document : spool_->Documents()) {
            names.push_back(document.name);
        }
        return names;
    }
    size_t FailureBoxes() {
        size_t count = 0;
        for (const auto& box : responder_.Boxes()) {
            count += box.text == texts_.GetText(kSampleFailureText) &&
                     box.flags == ui::kMbIconExclamation;
        }
        return count;
    }

    DriverSettingsLibrary library_;
    UiTextTable texts_;
    ui::ScriptedResponder responder_;
    sys::VirtualClock clock_;
    std::string image_;
    uint32_t media_ = 0;
};

TEST_F(SampleJobTest, TheDriverIsSetForTheSampleAndThePageGoesToItsQueue) {
    SampleJob job = Job("Feed   -4", 0);
    job.mediaValues = std::array<uint8_t, 12>{3, 0xFC, 20, 4, 100, 1, 2};
    EXPECT_EQ(PrintSampleJob(Printer("WL4000"), job, SampleCaller::FeedingPage),
              SampleOutcome::Printed);
    EXPECT_EQ(Documents(), (std::vector<std::string>{"Feed   -4"}));
    EXPECT_TRUE(spool_->Documents()[0].bytes.starts_with("%PDF-"));
    EXPECT_EQ(FailureBoxes(), 0u);

    // Output mode 256 with bit 0 of the flags, 44 inches, the media in print mode 0, the values.
    EXPECT_EQ(Read<int16_t>("WL4000", driverlib::kItemOutputMode), 256);
    EXPECT_EQ(Read<driverlib::OutputFlags>("WL4000", driverlib::kItemOutputFlags).flags & 1, 1);
    EXPECT_EQ(Read<driverlib::PaperWidthSetting>("WL4000", driverlib::kItemPaperWidth).width,
              44 * 254);
    const auto mode = Read<driverlib::MediaModeSelection>("WL4000", driverlib::kItemMediaMode);
    EXPECT_EQ(mode.mediaId, media_);
    EXPECT_EQ(mode.modeLevel, 2);
    const auto values = Read<driverlib::MediaValues>("WL4000", driverlib::kItemMediaValues);
    EXPECT_EQ(values.data[1], 0xFC);
    EXPECT_EQ(values.data[6], 2);
}

TEST_F(SampleJobTest, AnOutputModeOfSevenBecomesFourAndKeepsItsFlags) {
    ConfigureQueue("W400U", "OutputMode=7\nOutputFlags=8\n");
    EXPECT_EQ(PrintSampleJob(Printer("W400U"), Job("Mode"), SampleCaller::PrintModePage),
              SampleOutcome::Printed);
    EXPECT_EQ(Read<int16_t>("W400U", driverlib::kItemOutputMode), 4);
    EXPECT_EQ(Read<driverlib::OutputFlags>("W400U", driverlib::kItemOutputFlags).flags, 8);
    // 44 inches are more than this model takes: its largest width is used.
    EXPECT_EQ(Read<driverlib::PaperWidthSetting>("W400U", driverlib::kItemPaperWidth).width,
              24 * 254);
}

TEST_F(SampleJobTest, FailuresAreReportedAsEachCallerReportsThem) {
    // A queue the library does not serve: every caller reports it.
    EXPECT_EQ(PrintSampleJob(Printer("Plotter"), Job("A"), SampleCaller::DensityPage),
              SampleOutcome::DriverFailed);
    EXPECT_EQ(FailureBoxes(), 1u);
    // A print mode the driver has no item for.
    EXPECT_EQ(PrintSampleJob(Printer("WL4000"), Job("B", 4), SampleCaller::DensityPage),
              SampleOutcome::DriverFailed);
    EXPECT_EQ(FailureBoxes(), 2u);
    // No image: the feeding page reports the page, the density page does not.
    SampleJob noImage = Job("C");
    noImage.imagePath = scratch_ / "missing.bmp";
    EXPECT_EQ(PrintSampleJob(Printer("WL4000"), noImage, SampleCaller::DensityPage),
              SampleOutcome::PageFailed);
    EXPECT_EQ(FailureBoxes(), 2u);
    EXPECT_EQ(PrintSampleJob(Printer("WL4000"), noImage, SampleCaller::FeedingPage),
              SampleOutcome::PageFailed);
    EXPECT_EQ(FailureBoxes(), 3u);
    // A document the queue did not take: the feeding page reports it.
    spool_->Fail(Step::kEndDoc, 0, 1);
    EXPECT_EQ(PrintSampleJob(Printer("WL4000"), Job("Lost"), SampleCaller::FeedingPage),
              SampleOutcome::PageFailed);
    EXPECT_EQ(FailureBoxes(), 4u);
    spool_->ClearFailures();
    // No device context: only the settings dialog reports it.
    spool_->Fail(Step::kOpen);
    EXPECT_EQ(PrintSampleJob(Printer("WL4000"), Job("D"), SampleCaller::FeedingPage),
              SampleOutcome::NoDeviceContext);
    EXPECT_EQ(FailureBoxes(), 4u);
    EXPECT_EQ(PrintSampleJob(Printer("WL4000"), Job("E"), SampleCaller::SettingsDialog),
              SampleOutcome::NoDeviceContext);
    EXPECT_EQ(FailureBoxes(), 5u);
    spool_->ClearFailures();
    EXPECT_EQ(Documents(), std::vector<std::string>{"Lost"});
    // A library that is not there.
    DriverSettingsLibrary unbound;
    SamplePrinter printer = Printer("WL4000");
    printer.library = &unbound;
    EXPECT_EQ(PrintSampleJob(printer, Job("F"), SampleCaller::PrintModePage),
              SampleOutcome::DriverFailed);
    EXPECT_EQ(FailureBoxes(), 6u);
}

TEST_F(SampleJobTest, ADeviceModeSizeNoDriverNeedsIsTheDriversFailure) {
    spool_->AddQueue("Liar", "ARVEN WL-4000", "plenwise:/Liar");
    spool_->SetDriverFiles("Liar", LYING_ARSET32, "", "");
    DriverSettingsLibrary liar;
    ASSERT_TRUE(liar.Bind("Liar"));
    void* module = dlopen(LYING_ARSET32, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(module, nullptr);
    reinterpret_cast<void (*)(int32_t)>(dlsym(module, "StageDevModeSize"))(0x7FFFFFF0);
    dlclose(module);
    SamplePrinter printer = Printer("Liar");
    printer.library = &liar;
    EXPECT_EQ(PrintSampleJob(printer, Job("Huge"), SampleCaller::DensityPage),
              SampleOutcome::DriverFailed);
    EXPECT_EQ(FailureBoxes(), 1u);
    EXPECT_TRUE(Documents().empty());
}

TEST_F(SampleJobTest, ASeriesIsSwitchedOnAndOffAroundItsJobs) {
    const std::vector<SampleOutcome> outcomes =
        PrintSampleSeries(Printer("WL4000"), {Job("Feed   -3"), Job("Feed   1"), Job("Feed   5")},
                          SampleCaller::FeedingPage, false, 0x10009);
    EXPECT_EQ(outcomes, std::vector<SampleOutcome>(3, SampleOutcome::Printed));
    EXPECT_EQ(Documents(), (std::vector<std::string>{kRawJobDocument, "Feed   -3", "Feed   1",
                                                     kRawJobDocument, "Feed   5"}));
    const auto& documents = spool_->Documents();
    const ByteBlock on = SampleSeriesCommandBlock(true, false, 0x10009);
    const ByteBlock off = SampleSeriesCommandBlock(false, false, 0x10009);
    EXPECT_EQ(documents[0].bytes, std::string(on.begin(), on.end()));
    EXPECT_EQ(documents[3].bytes, std::string(off.begin(), off.end()));
    // The queue here empties at once, so the wait for "Feed   1" ended after 60 s.
    EXPECT_GE(clock_.TickCount(), 60000u);
}

TEST_F(SampleJobTest, OneJobGoesAloneAndASeriesWithoutEarlierDocumentIsSwitchedOffUnwaited) {
    PrintSampleSeries(Printer("WL4000"), {Job("Alone")}, SampleCaller::FeedingPage, false, 0x10009);
    EXPECT_EQ(Documents(), (std::vector<std::string>{"Alone"}));

    const size_t before = spool_->Documents().size();
    const auto outcomes = PrintSampleSeries(Printer("WL4000"), {Job("Bad", 7), Job("Good")},
                                            SampleCaller::SettingsDialog, true, 10);
    EXPECT_EQ(outcomes,
              (std::vector<SampleOutcome>{SampleOutcome::DriverFailed, SampleOutcome::Printed}));
    const std::vector<std::string> all = Documents();
    const std::vector<std::string> after(all.begin() + static_cast<std::ptrdiff_t>(before),
                                         all.end());
    EXPECT_EQ(after, (std::vector<std::string>{kRawJobDocument, kRawJobDocument, "Good"}));
    const ByteBlock on = SampleSeriesCommandBlock(true, true, 10);
    const ByteBlock off = SampleSeriesCommandBlock(false, true, 10);
    EXPECT_EQ(spool_->Documents()[before].bytes, std::string(on.begin(), on.end()));
    EXPECT_EQ(spool_->Documents()[before + 1].bytes, std::string(off.begin(), off.end()));
    EXPECT_TRUE(clock_.Sleeps().empty());  // nothing to wait for
}

}  // namespace
