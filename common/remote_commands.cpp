#include "common/remote_commands.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/system/clock.h"
#include "platform/ui/window.h"

namespace {

constexpr int32_t kReplySize = 256;
constexpr uint32_t kNotReadyWaitMs = 5000;
constexpr int32_t kPaperWidthTimeoutMs = 3000;
// A paper width not read, in 1/360 inch: -1 inch.
constexpr int32_t kNoPaperWidth = -360;

const uint8_t kFirmwareRequest[] = {0x56, 0x49, 0x02, 0x00, 0x01, 0x00};
const uint8_t kPaperWidthFirst[] = {0x50, 0x57, 0x03, 0x00, 0x01, 0x02, 0x00};
const uint8_t kPaperWidthSecond[] = {0x50, 0x57, 0x03, 0x00, 0x01, 0x03, 0x00};
const uint8_t kSnmpObject[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x8C, 0x23,
                               0x01, 0x02, 0x02, 0x02, 0x01, 0x01, 0x02};

// A reply is text up to its first NUL within the zeroed buffer; keys are never looked for
// beyond it.
std::string ReplyText(const char* buffer) {
    return std::string(buffer, strnlen(buffer, kReplySize));
}

struct InkSetRow {
    const char* text;
    int value;
};
const InkSetRow kUtilInkSets[] = {{"1101,3202,4304,5408,6210,7320", 1},
                                  {"B101,3202,4304,5408,6210,7320", 2}};
constexpr int kUtilOtherInkSet = 1;
const InkSetRow kAltUtilInkSets[] = {{"1101,3202,4304,5408,6210,7320,A140", 1},
                                     {"B101,3202,4304,5408,6210,7320,A140", 2},
                                     {"B101,3202,4304,5408,6210,7320,B140", 3}};
constexpr int kAltUtilOtherInkSet = 4;

void Append(ByteBlock& block, std::initializer_list<uint8_t> bytes) {
    block.insert(block.end(), bytes);
}

void AppendCommand(ByteBlock& block, char c1, char c2, std::initializer_list<uint8_t> parameters) {
    auto length = static_cast<uint16_t>(parameters.size());
    Append(block, {static_cast<uint8_t>(c1), static_cast<uint8_t>(c2),
                   static_cast<uint8_t>(length & 0xFF), static_cast<uint8_t>(length >> 8)});
    block.insert(block.end(), parameters);
}

void AppendLeaveRemoteMode(ByteBlock& block) {
    Append(block, {0x1B, 0x00, 0x00, 0x00});
}
void AppendFormFeedTail(ByteBlock& block) {
    Append(block, {0x0D, 0x0A, 0x0C, 0x1B, 0x40});
}

void AppendPlatenGap(ByteBlock& block, int platenGap, std::initializer_list<uint8_t> codes) {
    if (platenGap >= 0 && static_cast<size_t>(platenGap) < codes.size()) {
        AppendCommand(block, 'S', 'N', {0x00, 0x01, *(codes.begin() + platenGap)});
    }
}

void AppendValue(ByteBlock& block, uint8_t mode, uint8_t code, int value) {
    AppendCommand(block, 'D', 'A', {0x00, mode, code, static_cast<uint8_t>(value & 0xFF)});
}

void FinishHeadGapBlock(ByteBlock& block, HeadGapBlockKind kind) {
    if (kind == HeadGapBlockKind::Store) {
        AppendCommand(block, 'S', 'V', {});
        AppendLeaveRemoteMode(block);
    } else {
        AppendLeaveRemoteMode(block);
        AppendFormFeedTail(block);
    }
}

}  // namespace

PrinterQueries::PrinterQueries(PrinterLink& link, std::string printerName, int32_t channel,
                               std::string expectedModel)
    : link_(link),
      printerName_(std::move(printerName)),
      channel_(channel),
      expectedModel_(std::move(expectedModel)) {}

PrinterState PrinterQueries::ReadyState(int rounds) {
    char buffer[kReplySize] = {};
    int32_t size = kReplySize;
    if (link_.GetDeviceID(1, printerName_.c_str(), buffer, &size) < 0) {
        return PrinterState::NoAnswer;
    }
    std::string deviceId = ReplyText(buffer);
    size_t key = deviceId.find("DES:");
    if (key == std::string::npos) {
        return PrinterState::OtherModel;
    }
    std::string description = deviceId.substr(key + 4);
    size_t end = description.find(';');
    if (end == std::string::npos || end == 0 || description.substr(0, end) != expectedModel_) {
        return PrinterState::OtherModel;
    }
    int32_t handle = link_.OpenChannel(1, printerName_.c_str(), static_cast<uint32_t>(channel_));
    if (handle < 1) {
        return PrinterState::NoAnswer;
    }
    bool ready = false;
    bool answered = false;
    for (int round = 0; round < rounds && !ready; ++round) {
        std::memset(buffer, 0, sizeof buffer);
        size = kReplySize;
        if (link_.GetStatus(handle, buffer, &size) < 0) {
            break;
        }
        answered = true;
        std::string status = ReplyText(buffer);
        size_t field = status.find("ST:");
        if (field == std::string::npos) {
            continue;  // read again at once
        }
        ready = status.compare(field + 3, 2, "04") == 0;
        if (!ready && rounds == 3) {
            ui::WaitCursor waiting;  // the operator sees that the program waits for the printer
            sys::CurrentClock().Sleep(kNotReadyWaitMs);
        }
    }
    link_.CloseChannel(handle);
    return ready ? PrinterState::Ready : answered ? PrinterState::NotReady : PrinterState::NoAnswer;
}

int PrinterQueries::PrinterInkSet(InkSetTable table) {
    int32_t handle = link_.OpenChannel(1, printerName_.c_str(), static_cast<uint32_t>(channel_));
    if (handle < 1) {
        return -1;
    }
    char buffer[kReplySize] = {};
    int32_t size = kReplySize;
    link_.GetStatus(handle, buffer, &size);
    std::string status = ReplyText(buffer);
    int value = -1;
    size_t field = status.find("INK:");
    if (field != std::string::npos) {
        std::string inks = status.substr(field + 4);
        value = table == InkSetTable::Util ? kUtilOtherInkSet : kAltUtilOtherInkSet;
        auto check = [&](const auto& rows) {
            for (const InkSetRow& row : rows) {
                if (inks.rfind(row.text, 0) == 0) {
                    value = row.value;
                    return;
                }
            }
        };
        if (table == InkSetTable::Util) {
            check(kUtilInkSets);
        } else {
            check(kAltUtilInkSets);
        }
    }
    link_.CloseChannel(handle);
    return value;
}

int32_t PrinterQueries::ReadPaperWidth(int32_t handle, const uint8_t* request, int32_t length,
                                       int& readsLeft) {
    link_.Send(handle, request, length);
    char buffer[kReplySize];
    while (readsLeft > 0) {
        --readsLeft;
        // Each reply is read into a clean buffer: the tail of a longer earlier one must not
        // complete a key that this one lacks.
        std::memset(buffer, 0, sizeof buffer);
        int32_t size = kReplySize;
        int32_t received = link_.Receive(handle, buffer, &size, kPaperWidthTimeoutMs);
        buffer[kReplySize - 1] = '\0';
        std::string reply = ReplyText(buffer);
        size_t key = reply.find("PW:");
        if (key != std::string::npos) {
            // Characters 5 to 8 of the eight after the key, read as a hexadecimal number.
            std::string digits = reply.substr(key + 3, 8);
            int32_t width = 0;
            for (size_t i = 4; i < digits.size(); ++i) {
                char c = digits[i];
                int digit = c >= '0' && c <= '9'   ? c - '0'
                            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                   : -1;
                if (digit < 0) {
                    break;
                }
                width = width * 16 + digit;
            }
            return width;
        }
        if (received < 0) {
            break;
        }
    }
    return kNoPaperWidth;
}

int PrinterQueries::PrinterPaperWidth() {
    if (static_cast<uint32_t>(channel_) != kControlChannel) {
        return -1;
    }
    int32_t handle = link_.OpenChannel(1, printerName_.c_str(), kControlChannel);
    if (handle < 1) {
        return -1;
    }
    int readsLeft = kMaxPaperWidthReads;
    int32_t first = ReadPaperWidth(handle, kPaperWidthFirst, sizeof kPaperWidthFirst, readsLeft);
    int32_t second = ReadPaperWidth(handle, kPaperWidthSecond, sizeof kPaperWidthSecond, readsLeft);
    link_.CloseChannel(handle);
    return std::max(first, second) / 360;
}

bool PrinterQueries::PrinterFirmwareVersion(std::array<char, 6>& version, int32_t timeoutMs) {
    bool control = static_cast<uint32_t>(channel_) == kControlChannel;
    int32_t handle =
        link_.OpenChannel(1, printerName_.c_str(), control ? kControlChannel : kSnmpChannel);
    if (handle < 1) {
        return false;
    }
    ByteBlock request = control
                            ? ByteBlock(std::begin(kFirmwareRequest), std::end(kFirmwareRequest))
                            : SnmpFirmwareRequest();
    link_.Send(handle, request.data(), static_cast<int32_t>(request.size()));
    uint8_t buffer[kReplySize] = {};
    int32_t size = kReplySize;
    int32_t received = link_.Receive(handle, buffer, &size, timeoutMs);
    // The library's count is trusted no further than the buffer reaches.
    auto length = static_cast<size_t>(std::clamp(received, 0, kReplySize));
    if (control && length > 0) {
        std::string reply = ReplyText(reinterpret_cast<const char*>(buffer));
        size_t key = reply.find("VI:00");
        if (key != std::string::npos && key + 5 + 6 <= static_cast<size_t>(kReplySize)) {
            std::memcpy(version.data(), buffer + key + 5, 6);
        }
    } else if (!control && length > sizeof kSnmpObject) {
        for (size_t i = 0; i < length - sizeof kSnmpObject; ++i) {
            if (std::memcmp(buffer + i, kSnmpObject, sizeof kSnmpObject) == 0) {
                if (i + 18 + 6 <= length) {
                    std::memcpy(version.data(), buffer + i + 18, 6);
                }
                break;
            }
        }
    }
    link_.CloseChannel(handle);
    return received > 0;
}

// ---- Blocks ----

ByteBlock SnmpFirmwareRequest() {
    ByteBlock request = {0x30, 0x2C, 0x02, 0x01, 0x00, 0x04, 0x06, 'v',  'e',  't',
                         'r',  'i',  'k',  0xA1, 0x1F, 0x02, 0x01, 0x01, 0x02, 0x01,
                         0x00, 0x02, 0x01, 0x00, 0x30, 0x14, 0x30, 0x12, 0x06, 0x0E};
    request.insert(request.end(), std::begin(kSnmpObject), std::end(kSnmpObject));
    request.insert(request.end(), {0x05, 0x00});
    return request;
}

ByteBlock RemoteModeHeader() {
    return {0x1B, 0x40, 0x1B, 0x28, 0x52, 0x08, 0x00, 0x00,
            0x52, 0x45, 0x4D, 0x4F, 0x54, 0x45, 0x31};
}

ByteBlock PowerCleaningBlock() {
    ByteBlock block = RemoteModeHeader();
    AppendCommand(block, 'C', 'H', {0x00, 0x10});
    AppendLeaveRemoteMode(block);
    return block;
}

ByteBlock FirmwarePreDownloadBlock() {
    // Initialize, then the 27-byte packet-mode exit: 00 00 00 1B 01 "@AJL 1284.4" LF
    // "@AJL" five blanks LF.
    static const char kStart[] = "\x1B\x40\x00\x00\x00\x1B\x01@AJL 1284.4\n@AJL     \n";
    ByteBlock block(kStart, kStart + sizeof kStart - 1);
    ByteBlock header = RemoteModeHeader();
    block.insert(block.end(), header.begin(), header.end());
    AppendCommand(block, 'S', 'T', {0x00, 0x00});
    AppendCommand(block, 'S', 'M', {0x00, 0x00});
    AppendLeaveRemoteMode(block);
    return block;
}

ByteBlock SampleSeriesCommandBlock(bool on, bool altutil, uint32_t modelClass) {
    uint8_t k1 = 0x6D;
    uint8_t k2 = 0x04;
    if (altutil) {
        k1 = (modelClass & 1) != 0 ? 0x39 : 0x23;
        k2 = 0x03;
    }
    return {0x1B,
            0x7C,
            0x01,
            0x06,
            0x00,
            k1,
            k2,
            0xE8,
            0x17,
            0x74,
            static_cast<uint8_t>(on ? 0x01 : 0x00)};
}

ByteBlock UtilHeadGapBlock(HeadGapBlockKind kind, int patternCode, int platenGap,
                           const std::array<int, 6>& values) {
    ByteBlock block = RemoteModeHeader();
    AppendCommand(block, 'P', 'H', {0x00, 0x01});
    AppendPlatenGap(block, platenGap, {0x03, 0x01, 0x02});
    static const uint8_t kModes[] = {0x00, 0x01, 0x20, 0x10, 0x11, 0x20};
    int index = std::clamp(patternCode - 250, 0, 5);
    uint8_t mode = kModes[index];
    for (size_t i = 0; i < values.size(); ++i) {
        if (i == 0 && (mode == 0x10 || mode == 0x11)) {
            continue;
        }
        AppendValue(block, mode, static_cast<uint8_t>(0x11 + i), values[i]);
    }
    if (kind == HeadGapBlockKind::Test) {
        static const int kPatterns[] = {0x00, 0x01, -1, 0x10, 0x11, -1};
        if (kPatterns[index] >= 0) {
            AppendCommand(block, 'D', 'T', {0x00, static_cast<uint8_t>(kPatterns[index]), 0x1F});
        }
    }
    FinishHeadGapBlock(block, kind);
    return block;
}

ByteBlock AltUtilHeadGapBlock(HeadGapBlockKind kind, int patternCode, int platenGap,
                              const std::array<int, 7>& values) {
    ByteBlock block = RemoteModeHeader();
    AppendCommand(block, 'P', 'H', {0x00, 0x01});
    AppendPlatenGap(block, platenGap, {0x01, 0x02, 0x03, 0x04});
    int index = std::clamp(patternCode - 250, 0, 5);
    uint8_t mode = index < 3 ? 0x00 : 0x10;
    auto base = static_cast<uint8_t>((index % 3) * 0x10);
    for (size_t i = 0; i < values.size(); ++i) {
        if (i == 0 && mode == 0x10) {
            continue;
        }
        AppendValue(block, mode, static_cast<uint8_t>(base + i), values[i]);
    }
    if (kind == HeadGapBlockKind::Test) {
        if (mode == 0x00) {
            AppendCommand(block, 'D', 'T', {0x00, 0x00, base});
            AppendCommand(block, 'D', 'T', {0x00, 0x00, static_cast<uint8_t>(base + 1)});
        } else {
            AppendCommand(block, 'D', 'T', {0x00, 0x10, base});
        }
    }
    FinishHeadGapBlock(block, kind);
    return block;
}

ByteBlock HeadGapLeaveBlock() {
    ByteBlock block = RemoteModeHeader();
    AppendCommand(block, 'L', 'D', {});
    AppendLeaveRemoteMode(block);
    return block;
}
