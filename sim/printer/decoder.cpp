#include "sim/printer/decoder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace printersim {

namespace {

using Bytes = std::span<const uint8_t>;

constexpr std::array<uint8_t, 2> kReset = {0x1B, 0x40};
constexpr std::array<uint8_t, 13> kEnterRemote = {0x1B, 0x28, 0x52, 0x08, 0x00, 0x00, 'R',
                                                  'E',  'M',  'O',  'T',  'E',  '1'};
constexpr std::array<uint8_t, 4> kLeaveRemote = {0x1B, 0x00, 0x00, 0x00};
constexpr std::array<uint8_t, 3> kFormFeed = {0x0D, 0x0A, 0x0C};
constexpr std::array<uint8_t, 5> kPacketExitStart = {0x00, 0x00, 0x00, 0x1B, 0x01};
constexpr std::string_view kPacketExitText = "@AJL 1284.4\n@AJL     \n";
constexpr std::array<uint8_t, 3> kSampleSeriesStart = {0x1B, 0x7C, 0x01};
constexpr std::array<uint8_t, 3> kSampleSeriesFixed = {0xE8, 0x17, 0x74};
constexpr std::array<uint8_t, 5> kFirmwareHeaderStart = {0x1B, 0x7D, 0x01, 0x05, 0x00};
constexpr std::array<uint8_t, 4> kFirmwareHeaderTail = {0x03, 0x70, 0x8F, 0x38};
constexpr std::string_view kPdfStart = "%PDF";
constexpr std::string_view kPdfEnd = "%%EOF";

// The parameter layout of each remote command: its length, the bytes it must start with, and
// the named fields that follow (the value field of "DA" is shown in decimal).
struct Field {
    const char* name;
    size_t index;
    bool decimal;
};
struct CommandForm {
    std::string_view name;
    size_t length;
    std::vector<uint8_t> prefix;
    std::vector<Field> fields;
};

const std::vector<CommandForm>& CommandForms() {
    static const std::vector<CommandForm> forms = {
        {"PH", 2, {}, {}},
        {"SN", 3, {0x00, 0x01}, {{"v", 2, false}}},
        {"DA", 4, {0x00}, {{"m", 1, false}, {"c", 2, false}, {"v", 3, true}}},
        {"DT", 3, {0x00}, {{"p", 1, false}, {"q", 2, false}}},
        {"SV", 0, {}, {}},
        {"LD", 0, {}, {}},
        {"CH", 2, {}, {}},
        {"ST", 2, {}, {}},
        {"SM", 2, {}, {}},
    };
    return forms;
}

const CommandForm* FindForm(std::string_view name) {
    for (const auto& form : CommandForms()) {
        if (form.name == name) {
            return &form;
        }
    }
    return nullptr;
}

template <size_t N>
bool StartsWith(Bytes job, size_t pos, const std::array<uint8_t, N>& pattern) {
    return pos + N <= job.size() && std::equal(pattern.begin(), pattern.end(), job.begin() + pos);
}

bool StartsWith(Bytes job, size_t pos, std::string_view pattern) {
    return pos + pattern.size() <= job.size() &&
           std::equal(pattern.begin(), pattern.end(), job.begin() + pos,
                      [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
}

size_t ReadU16(Bytes job, size_t pos) {
    return static_cast<size_t>(job[pos]) | static_cast<size_t>(job[pos + 1]) << 8;
}

bool IsLetter(uint8_t c) {
    return c >= 'A' && c <= 'Z';
}

std::string Hex(Bytes bytes, size_t max = 16) {
    std::string text;
    char cell[4];
    for (size_t i = 0; i < bytes.size() && i < max; ++i) {
        snprintf(cell, sizeof cell, "%02X", bytes[i]);
        text += (i ? " " : "") + std::string(cell);
    }
    if (bytes.size() > max) {
        text += " ...";
    }
    return text;
}

class Decoder {
  public:
    explicit Decoder(Bytes job) : job_(job) {}

    DecodedJob Run() {
        while (pos_ < job_.size()) {
            if (!TakeElement()) {
                TakeUnparsedByte();
            }
        }
        FlushUnparsed();
        result_.endsInRemoteMode = inRemote_;
        return std::move(result_);
    }

  private:
    void Add(DecodedItem item) {
        FlushUnparsed();
        result_.items.push_back(std::move(item));
    }

    DecodedItem Item(ItemKind kind, size_t length) {
        DecodedItem item;
        item.kind = kind;
        item.offset = pos_;
        item.length = length;
        return item;
    }

    bool TakeElement() {
        if (inRemote_ && TakeRemoteCommand()) {
            return true;
        }
        if (StartsWith(job_, pos_, kReset)) {
            Add(Item(ItemKind::kReset, kReset.size()));
            pos_ += kReset.size();
            return true;
        }
        if (StartsWith(job_, pos_, kEnterRemote)) {
            Add(Item(ItemKind::kEnterRemote, kEnterRemote.size()));
            pos_ += kEnterRemote.size();
            inRemote_ = true;
            return true;
        }
        if (StartsWith(job_, pos_, kLeaveRemote)) {
            auto item = Item(ItemKind::kLeaveRemote, kLeaveRemote.size());
            if (!inRemote_) {
                item.note = "not in remote mode";
            }
            Add(std::move(item));
            pos_ += kLeaveRemote.size();
            inRemote_ = false;
            return true;
        }
        if (StartsWith(job_, pos_, kFormFeed)) {
            Add(Item(ItemKind::kFormFeed, kFormFeed.size()));
            pos_ += kFormFeed.size();
            return true;
        }
        if (StartsWith(job_, pos_, kPacketExitStart) &&
            StartsWith(job_, pos_ + kPacketExitStart.size(), kPacketExitText)) {
            size_t length = kPacketExitStart.size() + kPacketExitText.size();
            Add(Item(ItemKind::kPacketModeExit, length));
            pos_ += length;
            return true;
        }
        if (StartsWith(job_, pos_, kSampleSeriesStart) && pos_ + 5 <= job_.size()) {
            return TakeSampleSeries();
        }
        if (job_[pos_] == 0x11 && (pos_ == 0 || job_[pos_ - 1] != 0x11)) {
            return TakeFirmwareTransfer();
        }
        if (StartsWith(job_, pos_, kPdfStart)) {
            TakePdf();
            return true;
        }
        return false;
    }

    // In remote mode: two capital letters, a 16-bit parameter length and the parameters. A
    // command that announces more bytes than the job holds takes the rest of the job.
    bool TakeRemoteCommand() {
        size_t left = job_.size() - pos_;
        if (left < 2 || !IsLetter(job_[pos_]) || !IsLetter(job_[pos_ + 1])) {
            return false;
        }
        std::string name(job_.begin() + pos_, job_.begin() + pos_ + 2);
        size_t length = left >= 4 ? ReadU16(job_, pos_ + 2) : 0;
        if (left < 4 || 4 + length > left) {
            auto item = Item(ItemKind::kUnparsed, left);
            item.note = "remote command " + name + " cut short: " +
                        (left < 4 ? std::string("no parameter length")
                                  : std::to_string(length) + " parameter bytes announced, " +
                                        std::to_string(left - 4) + " present");
            Add(std::move(item));
            pos_ = job_.size();
            return true;
        }
        auto item = Item(ItemKind::kRemoteCommand, 4 + length);
        item.command = name;
        item.params.assign(job_.begin() + pos_ + 4, job_.begin() + pos_ + 4 + length);
        Add(std::move(item));
        pos_ += 4 + length;
        return true;
    }

    bool TakeSampleSeries() {
        size_t length = ReadU16(job_, pos_ + 3);
        if (pos_ + 5 + length > job_.size()) {
            return false;
        }
        auto item = Item(ItemKind::kSampleSeries, 5 + length);
        item.params.assign(job_.begin() + pos_ + 5, job_.begin() + pos_ + 5 + length);
        bool wellFormed = length == 6 &&
                          std::equal(kSampleSeriesFixed.begin(), kSampleSeriesFixed.end(),
                                     item.params.begin() + 2) &&
                          item.params[5] <= 1;
        if (!wellFormed) {
            item.note = "unexpected parameters";
        }
        Add(std::move(item));
        pos_ += 5 + length;
        return true;
    }

    bool TakeFirmwareTransfer() {
        size_t end = std::min(job_.size(), pos_ + kFirmwareLeadIn);
        if (end - pos_ < kFirmwareLeadIn || !std::all_of(job_.begin() + pos_, job_.begin() + end,
                                                         [](uint8_t b) { return b == 0x11; })) {
            return false;
        }
        // Everything after a full lead-in belongs to the transfer.
        auto item = Item(ItemKind::kFirmwareTransfer, job_.size() - pos_);
        size_t headerEnd = std::min(job_.size(), end + kFirmwareHeaderLength);
        item.params.assign(job_.begin() + end, job_.begin() + headerEnd);
        item.dataOffset = headerEnd;
        item.dataLength = job_.size() - headerEnd;
        Add(std::move(item));
        pos_ = job_.size();
        return true;
    }

    void TakePdf() {
        std::string_view rest(reinterpret_cast<const char*>(job_.data()) + pos_,
                              job_.size() - pos_);
        size_t eof = rest.rfind(kPdfEnd);
        size_t length = eof == std::string_view::npos ? rest.size() : eof + kPdfEnd.size();
        // Line ends after the marker belong to the document.
        while (length < rest.size() && (rest[length] == '\r' || rest[length] == '\n')) {
            ++length;
        }
        auto item = Item(ItemKind::kPdf, length);
        item.dataOffset = pos_;
        item.dataLength = length;
        if (eof == std::string_view::npos) {
            item.note = "no %%EOF: document cut short";
        }
        Add(std::move(item));
        pos_ += length;
    }

    void TakeUnparsedByte() {
        if (unparsedLength_ == 0) {
            unparsedStart_ = pos_;
        }
        ++unparsedLength_;
        ++pos_;
    }

    void FlushUnparsed() {
        if (unparsedLength_ > 0) {
            DecodedItem item;
            item.offset = unparsedStart_;
            item.length = unparsedLength_;
            result_.items.push_back(std::move(item));
            unparsedLength_ = 0;
        }
    }

    Bytes job_;
    size_t pos_ = 0;
    bool inRemote_ = false;
    DecodedJob result_;
    size_t unparsedStart_ = 0;  // a stretch of bytes that belong to no element
    size_t unparsedLength_ = 0;
};

std::string DescribeCommand(const DecodedItem& item) {
    const CommandForm* form = FindForm(item.command);
    Bytes params(item.params);
    if (!form) {
        return item.command + (params.empty() ? "" : " " + Hex(params, params.size())) +
               " (unknown command)";
    }
    if (!IsWellFormedCommand(item)) {
        return item.command + (params.empty() ? "" : " " + Hex(params, params.size())) +
               " (unexpected parameters: " + std::to_string(form->length) + " bytes" +
               (form->prefix.empty() ? "" : " beginning " + Hex(Bytes(form->prefix))) +
               " expected)";
    }
    if (form->fields.empty()) {
        return item.command + (params.empty() ? "" : " " + Hex(params));
    }
    std::string text = item.command;
    for (const auto& field : form->fields) {
        char value[8];
        snprintf(value, sizeof value, field.decimal ? "%u" : "%02X", params[field.index]);
        text += " " + std::string(field.name) + "=" + value;
    }
    return text;
}

}  // namespace

DecodedJob DecodeJob(std::span<const uint8_t> job) {
    return Decoder(job).Run();
}

bool IsWellFormedCommand(const DecodedItem& item) {
    const CommandForm* form = FindForm(item.command);
    return form && item.kind == ItemKind::kRemoteCommand && item.params.size() == form->length &&
           std::equal(form->prefix.begin(), form->prefix.end(), item.params.begin());
}

std::string DescribeItem(const DecodedItem& item, std::span<const uint8_t> job) {
    std::string note = item.note.empty() ? "" : " (" + item.note + ")";
    switch (item.kind) {
        case ItemKind::kReset:
            return "reset (ESC @)";
        case ItemKind::kEnterRemote:
            return "enter remote mode (REMOTE1)";
        case ItemKind::kRemoteCommand:
            return DescribeCommand(item);
        case ItemKind::kLeaveRemote:
            return "leave remote mode" + note;
        case ItemKind::kFormFeed:
            return "form feed (CR LF FF)";
        case ItemKind::kPacketModeExit:
            return "packet-mode exit (@AJL 1284.4)";
        case ItemKind::kSampleSeries: {
            Bytes params(item.params);
            if (!item.note.empty()) {
                return "ESC | 01 " + Hex(params, params.size()) + note;
            }
            char text[64];
            snprintf(text, sizeof text, "sample series %s k1=%02X k2=%02X",
                     params[5] ? "on" : "off", params[0], params[1]);
            return text;
        }
        case ItemKind::kFirmwareTransfer: {
            std::string text = "firmware transfer: lead-in 16384 x 11, ";
            if (item.params.size() < kFirmwareHeaderLength) {
                return text + "job ends before the model header";
            }
            text += "model header " + Hex(Bytes(item.params)) + ", file " +
                    std::to_string(item.dataLength) + " bytes";
            std::string version =
                FirmwareFileVersion(job.subspan(item.dataOffset, item.dataLength));
            return text + (version.empty() ? ", no version (file shorter than 22 bytes)"
                                           : ", version " + version);
        }
        case ItemKind::kPdf:
            return "PDF document, " + std::to_string(item.dataLength) + " bytes, " +
                   std::to_string(CountPdfPages(job.subspan(item.dataOffset, item.dataLength))) +
                   " page(s)" + note;
        case ItemKind::kUnparsed: {
            char offset[32];
            snprintf(offset, sizeof offset, "0x%zX", item.offset);
            return "unparsed " + std::to_string(item.length) + " bytes at " + offset + ": " +
                   Hex(job.subspan(item.offset, item.length)) + note;
        }
    }
    return {};
}

std::string ClassifyJob(const DecodedJob& decoded, size_t jobLength) {
    if (jobLength == 0) {
        return "empty job";
    }
    std::vector<std::string> kinds;
    auto add = [&](const std::string& kind) {
        if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) {
            kinds.push_back(kind);
        }
    };
    bool packetExit = false;
    bool unparsed = false;
    for (const auto& item : decoded.items) {
        switch (item.kind) {
            case ItemKind::kPacketModeExit:
                packetExit = true;
                break;
            case ItemKind::kRemoteCommand:
                if (item.command == "CH") {
                    add("power cleaning");
                } else if (item.command == "DT") {
                    add("head-gap test");
                } else if (item.command == "SV") {
                    add("head-gap store");
                } else if (item.command == "LD") {
                    add("head-gap leave");
                } else if (item.command == "ST" || item.command == "SM") {
                    add(packetExit ? "firmware pre-download" : "remote mode");
                }
                break;
            case ItemKind::kFormFeed:
                add("head-gap test");
                break;
            case ItemKind::kSampleSeries:
                add(item.note.empty() && item.params[5] ? "sample series on" : "sample series off");
                break;
            case ItemKind::kFirmwareTransfer:
                add("firmware transfer");
                break;
            case ItemKind::kPdf:
                add("PDF document");
                break;
            case ItemKind::kUnparsed:
                unparsed = true;
                break;
            default:
                break;
        }
    }
    if (kinds.empty()) {
        add(unparsed ? "unparsed" : "remote mode");
    } else if (unparsed) {
        add("unparsed bytes");
    }
    std::string text;
    for (const auto& kind : kinds) {
        text += (text.empty() ? "" : " + ") + kind;
    }
    return text;
}

std::string FirmwareFileVersion(std::span<const uint8_t> file) {
    if (file.size() < 22) {
        return {};
    }
    return std::string(file.begin() + 16, file.begin() + 22);
}

int FirmwareVersionClass(const std::string& version) {
    if (version.size() < 2 || (version[0] != 'B' && version[0] != 'b')) {
        return 0;
    }
    char letter =
        version[1] >= 'a' && version[1] <= 'z' ? static_cast<char>(version[1] - 32) : version[1];
    if ((letter >= 'A' && letter <= 'E') || (letter >= 'W' && letter <= 'Z')) {
        return 2;
    }
    if (letter >= 'N' && letter <= 'V') {
        return 1;
    }
    return 0;
}

size_t CountPdfPages(std::span<const uint8_t> pdf) {
    std::string_view text(reinterpret_cast<const char*>(pdf.data()), pdf.size());
    size_t pages = 0;
    for (size_t pos = text.find("/Type"); pos != std::string_view::npos;
         pos = text.find("/Type", pos + 1)) {
        size_t at = pos + 5;
        while (at < text.size() && (text[at] == ' ' || text[at] == '\r' || text[at] == '\n')) {
            ++at;
        }
        if (text.substr(at, 5) == "/Page") {
            char next = at + 5 < text.size() ? text[at + 5] : ' ';
            bool more = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z');
            pages += more ? 0 : 1;
        }
    }
    return pages;
}

}  // namespace printersim
