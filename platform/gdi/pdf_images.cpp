#include "platform/gdi/pdf_images.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <utility>

namespace gdi {

namespace {

constexpr uint8_t kFilterUp = 2;
// Output room at first; a sample image deflates to a few hundred kilobytes.
constexpr std::size_t kFirstOutputBytes = 256 * 1024;
constexpr std::string_view kImageMarker = "/Subtype /Image";

// Gives the stream more room at the end of `out`, keeping what it wrote.
void Grow(z_stream& stream, std::string& out) {
    const std::size_t used = stream.total_out;
    out.resize(std::max(out.size() * 2, kFirstOutputBytes));
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + used);
    stream.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size() - used, 1u << 30));
}

bool Compress(z_stream& stream, std::string& out, int flush) {
    for (;;) {
        if (stream.avail_out == 0) {
            Grow(stream, out);
        }
        const int result = deflate(&stream, flush);
        if (result == Z_STREAM_ERROR) {
            return false;
        }
        if (flush == Z_FINISH ? result == Z_STREAM_END : stream.avail_in == 0) {
            return true;
        }
    }
}

class Deflater {
  public:
    Deflater() { ready_ = deflateInit(&stream_, Z_BEST_SPEED) == Z_OK; }
    ~Deflater() {
        if (ready_) {
            deflateEnd(&stream_);
        }
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool Ready() const { return ready_; }
    z_stream& Stream() { return stream_; }

  private:
    z_stream stream_{};
    bool ready_ = false;
};

// The unsigned decimal number at `at` after blanks; none when there is none.
std::optional<uint64_t> NumberAt(std::string_view text, std::size_t at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\r' || text[at] == '\n')) {
        ++at;
    }
    uint64_t value = 0;
    std::size_t digits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 12; ++at, ++digits) {
        value = value * 10 + static_cast<uint64_t>(text[at] - '0');
    }
    return digits > 0 ? std::optional(value) : std::nullopt;
}

void Append(std::string& out, const char* format, uint64_t first, uint64_t second = 0) {
    char line[128];
    const int length =
        std::snprintf(line, sizeof line, format, static_cast<unsigned long long>(first),
                      static_cast<unsigned long long>(second));
    out.append(line, static_cast<std::size_t>(std::clamp(length, 0, int{sizeof line} - 1)));
}

}  // namespace

std::optional<ImageStream> EncodeImageStream(const uint8_t* rows, std::size_t rowBytes,
                                             int32_t width, int32_t height) {
    if (rows == nullptr || width <= 0 || height <= 0 ||
        rowBytes < static_cast<std::size_t>(width) * 3) {
        return std::nullopt;
    }
    Deflater deflater;
    if (!deflater.Ready()) {
        return std::nullopt;
    }
    z_stream& stream = deflater.Stream();
    ImageStream image{width, height, {}};
    const std::size_t lineBytes = static_cast<std::size_t>(width) * 3;
    try {
        std::vector<uint8_t> filtered(1 + lineBytes);
        filtered[0] = kFilterUp;
        uint8_t* to = filtered.data() + 1;
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* row = rows + static_cast<std::size_t>(y) * rowBytes;
            // Red, green, blue from blue, green, red; "Up" of the first row is the row itself.
            if (y == 0) {
                for (std::size_t x = 0; x < lineBytes; x += 3) {
                    to[x] = row[x + 2];
                    to[x + 1] = row[x + 1];
                    to[x + 2] = row[x];
                }
            } else {
                const uint8_t* above = row - rowBytes;
                for (std::size_t x = 0; x < lineBytes; x += 3) {
                    to[x] = static_cast<uint8_t>(row[x + 2] - above[x + 2]);
                    to[x + 1] = static_cast<uint8_t>(row[x + 1] - above[x + 1]);
                    to[x + 2] = static_cast<uint8_t>(row[x] - above[x]);
                }
            }
            stream.next_in = filtered.data();
            stream.avail_in = static_cast<uInt>(filtered.size());
            if (!Compress(stream, image.data, Z_NO_FLUSH)) {
                return std::nullopt;
            }
        }
        if (!Compress(stream, image.data, Z_FINISH)) {
            return std::nullopt;
        }
        image.data.resize(stream.total_out);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return image;
}

std::optional<std::string> ImageUpdate(std::string_view pdf,
                                       const std::vector<const ImageStream*>& images) {
    const std::size_t startXrefAt = pdf.rfind("startxref");
    const std::size_t trailerAt =
        startXrefAt == std::string_view::npos ? startXrefAt : pdf.rfind("trailer", startXrefAt);
    if (trailerAt == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<uint64_t> previousXref = NumberAt(pdf, startXrefAt + 9);
    const std::size_t open = pdf.find("<<", trailerAt);
    const std::size_t close = pdf.rfind(">>", startXrefAt);
    if (!previousXref || open == std::string_view::npos || close == std::string_view::npos ||
        close < open) {
        return std::nullopt;
    }
    // The file's own entries (size, root, information) carry over; a file that was updated
    // before, or keeps its cross-references in a stream, is not one this writes into.
    const std::string_view entries = pdf.substr(open + 2, close - open - 2);
    if (entries.find("/Prev") != std::string_view::npos ||
        entries.find("/XRefStm") != std::string_view::npos ||
        pdf.substr(0, trailerAt).rfind("\nxref") == std::string_view::npos) {
        return std::nullopt;
    }

    // The stand-ins' object numbers, in file order.
    std::vector<uint64_t> numbers;
    for (std::size_t at = pdf.find(kImageMarker); at < trailerAt;
         at = pdf.find(kImageMarker, at + kImageMarker.size())) {
        const std::size_t header = pdf.rfind(" 0 obj", at);
        if (header == std::string_view::npos) {
            return std::nullopt;
        }
        const std::size_t lineStart = pdf.rfind('\n', header);
        const std::optional<uint64_t> number =
            NumberAt(pdf, lineStart == std::string_view::npos ? 0 : lineStart + 1);
        if (!number) {
            return std::nullopt;
        }
        numbers.push_back(*number);
    }
    if (numbers.size() != images.size()) {
        return std::nullopt;
    }

    std::string update;
    if (pdf.empty() || pdf.back() != '\n') {
        update += '\n';
    }
    std::vector<std::pair<uint64_t, uint64_t>> offsets;  // object number, where it starts
    for (std::size_t i = 0; i < images.size(); ++i) {
        const ImageStream& image = *images[i];
        offsets.emplace_back(numbers[i], pdf.size() + update.size());
        Append(update, "%llu 0 obj\n", numbers[i]);
        update += "<<\n/Type /XObject\n/Subtype /Image\n";
        Append(update, "/Width %llu\n/Height %llu\n", static_cast<uint64_t>(image.width),
               static_cast<uint64_t>(image.height));
        update += "/BitsPerComponent 8\n/ColorSpace /DeviceRGB\n/Filter /FlateDecode\n";
        Append(update,
               "/DecodeParms << /Predictor 15 /Colors 3 /BitsPerComponent 8 /Columns %llu >>\n",
               static_cast<uint64_t>(image.width));
        Append(update, "/Length %llu\n>>\nstream\n", image.data.size());
        update += image.data;
        update += "\nendstream\nendobj\n";
    }
    std::sort(offsets.begin(), offsets.end());
    const uint64_t xrefAt = pdf.size() + update.size();
    update += "xref\n";
    for (const auto& [number, offset] : offsets) {
        Append(update, "%llu 1\n", number);
        Append(update, "%010llu 00000 n \n", offset);
    }
    update += "trailer\n<<";
    update += entries;
    Append(update, "/Prev %llu\n>>\nstartxref\n", *previousXref);
    Append(update, "%llu\n%%%%EOF\n", xrefAt);
    return update;
}

}  // namespace gdi
