// imagegen --out DIR
//
// Writes the pictures of the media-settings plug-ins into DIR:
//   Sample.bmp       the standard sample image, 4060 x 1190: ramps of each ink and of the three
//                    primaries in 21 steps, and line pairs 1 to 4 pixels wide
//   HeadGap2016.bmp  the bidirectional head-gap patterns, six images of 250 x 30 side by side
//   HeadGap2017.bmp  the unidirectional ones
// The head-gap strips are white where nothing is drawn: pages draw them with white transparent.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/imagegen/bitmap.h"

namespace {

using imagegen::Colour;
using imagegen::Picture;

constexpr Colour kWhite{255, 255, 255};
constexpr Colour kBlack{0, 0, 0};
constexpr Colour kFrame{160, 160, 160};

Colour Mix(Colour ink, int percent) {
    auto channel = [percent](uint8_t value) {
        return static_cast<uint8_t>(255 - (255 - value) * percent / 100);
    };
    return {channel(ink.red), channel(ink.green), channel(ink.blue)};
}

Picture SampleImage() {
    constexpr int kWidth = 4060;
    constexpr int kHeight = 1190;
    constexpr int kMargin = 10;
    constexpr int kSteps = 21;
    constexpr int kRampHeight = 130;
    constexpr Colour kInks[] = {{0, 255, 255}, {255, 0, 255}, {255, 255, 0}, {0, 0, 0},
                                {255, 0, 0},   {0, 160, 0},   {0, 0, 255}};
    Picture picture(kWidth, kHeight, kWhite);
    const int patchWidth = (kWidth - 2 * kMargin) / kSteps;
    int top = kMargin;
    for (const Colour& ink : kInks) {
        for (int step = 0; step < kSteps; ++step) {
            const int left = kMargin + step * patchWidth;
            picture.Fill(left, top, left + patchWidth - 2, top + kRampHeight - 4,
                         Mix(ink, step * 100 / (kSteps - 1)));
        }
        top += kRampHeight;
    }
    // Line pairs: black and white lines of 1, 2, 3 and 4 pixels, upright and across.
    const int blockWidth = (kWidth - 2 * kMargin) / 8;
    for (int block = 0; block < 8; ++block) {
        const int width = block % 4 + 1;
        const bool upright = block < 4;
        const int left = kMargin + block * blockWidth;
        for (int y = top; y < kHeight - kMargin; ++y) {
            for (int x = left; x < left + blockWidth - 10; ++x) {
                const int along = upright ? x - left : y - top;
                if ((along / width) % 2 == 0) {
                    picture.Set(x, y, kBlack);
                }
            }
        }
    }
    return picture;
}

// Six patterns of 250 x 30, one per ink in the order of the gap page's rows: black, cyan,
// magenta, light cyan, light magenta, yellow. Each shows the fifteen pattern numbers as bar
// pairs whose lower bar is offset by the number's distance from 8; bidirectional patterns draw
// the lower bars, printed on the way back, a shade darker.
Picture HeadGapStrip(bool bidirectional) {
    constexpr int kImageWidth = 250;
    constexpr int kImageHeight = 30;
    constexpr Colour kInks[] = {{0, 0, 0},       {0, 170, 230},   {220, 0, 140},
                                {120, 210, 240}, {240, 140, 200}, {230, 200, 0}};
    Picture picture(kImageWidth * 6, kImageHeight, kWhite);
    for (int image = 0; image < 6; ++image) {
        const int left = image * kImageWidth;
        const Colour upper = kInks[image];
        const Colour lower = bidirectional ? Colour{static_cast<uint8_t>(upper.red * 3 / 4),
                                                    static_cast<uint8_t>(upper.green * 3 / 4),
                                                    static_cast<uint8_t>(upper.blue * 3 / 4)}
                                           : upper;
        picture.Fill(left, 0, left + kImageWidth - 1, 1, kFrame);
        picture.Fill(left, kImageHeight - 1, left + kImageWidth - 1, kImageHeight, kFrame);
        for (int number = 1; number <= 15; ++number) {
            const int x = left + 5 + (number - 1) * 16;
            picture.Fill(x + 4, 3, x + 7, 14, upper);
            const int offset = number - 8;
            picture.Fill(x + 4 + offset / 2, 15, x + 7 + offset / 2, 27, lower);
        }
    }
    return picture;
}

bool Write(const std::string& directory, const char* name, const Picture& picture) {
    const std::string path = directory + "/" + name;
    if (!imagegen::WriteFile(path, picture.BmpBytes())) {
        std::fprintf(stderr, "imagegen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--out") != 0) {
        std::fprintf(stderr, "usage: imagegen --out DIR\n");
        return 2;
    }
    const std::string directory = argv[2];
    const bool written = Write(directory, "Sample.bmp", SampleImage()) &&
                         Write(directory, "HeadGap2016.bmp", HeadGapStrip(true)) &&
                         Write(directory, "HeadGap2017.bmp", HeadGapStrip(false));
    return written ? 0 : 1;
}
