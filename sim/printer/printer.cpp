#include "sim/printer/printer.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "sim/printer/snmp.h"

namespace printersim {

namespace {

constexpr std::array<uint8_t, 5> kFirmwareHeaderStart = {0x1B, 0x7D, 0x01, 0x05, 0x00};
constexpr std::array<uint8_t, 4> kFirmwareHeaderTail = {0x03, 0x70, 0x8F, 0x38};
constexpr size_t kSnmpShortLength = 14;
constexpr size_t kMaxControlRequest = 4096;

std::vector<uint8_t> TextBytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// The model class that a firmware transfer's header announces; 0 when the header is not one.
int HeaderClass(const std::vector<uint8_t>& header) {
    if (header.size() != kFirmwareHeaderLength ||
        !std::equal(kFirmwareHeaderStart.begin(), kFirmwareHeaderStart.end(), header.begin()) ||
        !std::equal(kFirmwareHeaderTail.begin(), kFirmwareHeaderTail.end(), header.begin() + 6)) {
        return 0;
    }
    return header[5] == kFirmwareClass1Byte ? 1 : header[5] == kFirmwareClass2Byte ? 2 : 0;
}

}  // namespace

std::string FormatHexByte(uint8_t value) {
    char text[4];
    snprintf(text, sizeof text, "%02X", value);
    return text;
}

std::string FormatGapValue(std::pair<uint8_t, uint8_t> modeAndCode, uint8_t value) {
    return "m=" + FormatHexByte(modeAndCode.first) + " c=" + FormatHexByte(modeAndCode.second) +
           " v=" + std::to_string(value);
}

SimulatedPrinter::SimulatedPrinter(PrinterSettings settings, Clock& clock)
    : id_(settings.id), clock_(clock), settings_(std::move(settings)) {}

void SimulatedPrinter::SettleLocked() {
    if (busyUntil_ && clock_.Now() >= *busyUntil_) {
        busyUntil_.reset();
        busyReason_.clear();
        if (!pendingFirmware_.empty()) {
            settings_.firmware = pendingFirmware_;
            pendingFirmware_.clear();
        }
    }
}

void SimulatedPrinter::MakeBusyLocked(Millis duration, std::string reason) {
    busyUntil_ = std::max(busyUntil_.value_or(0), clock_.Now() + duration);
    busyReason_ = std::move(reason);
    // A zero-length task still passes through the busy state for no time at all.
    SettleLocked();
}

std::string SimulatedPrinter::StatusCodeLocked(bool consume) {
    SettleLocked();
    if (busyUntil_.has_value()) {
        return std::string(kBusyStatus);
    }
    if (readinessStep_ < settings_.readiness.size()) {
        return settings_.readiness[consume ? readinessStep_++ : readinessStep_];
    }
    return settings_.status;
}

std::string SimulatedPrinter::DeviceId() {
    std::lock_guard lock(mutex_);
    if (!settings_.deviceIdOverride.empty()) {
        return settings_.deviceIdOverride;
    }
    const std::string& model = settings_.description;
    std::string maker = model.substr(0, model.find(' '));
    std::string text = "MFG:" + maker + ";CMD:REMOTE1;MDL:" + model + ";CLS:PRINTER;DES:" + model;
    return settings_.faults & kFaultDeviceIdNoSemicolon ? text : text + ";";
}

std::vector<ChannelEntry> SimulatedPrinter::Channels() {
    std::lock_guard lock(mutex_);
    return settings_.channels;
}

std::string SimulatedPrinter::ReadStatus() {
    std::lock_guard lock(mutex_);
    std::string code = StatusCodeLocked(true);
    std::string text;
    if (!(settings_.faults & kFaultStatusNoSt)) {
        text += "ST:" + code + ";";
    }
    if (!(settings_.faults & kFaultStatusNoInk)) {
        text += "INK:" + settings_.ink + ";";
    }
    return text;
}

std::vector<uint8_t> SimulatedPrinter::AnswerControl(std::string_view command,
                                                     std::span<const uint8_t> params) {
    std::lock_guard lock(mutex_);
    SettleLocked();
    auto is = [&](std::initializer_list<uint8_t> expected) {
        return std::equal(params.begin(), params.end(), expected.begin(), expected.end());
    };
    if (command == "VI" && is({0x01, 0x00})) {
        return TextBytes("VI:00" + settings_.firmware + ";");
    }
    if (command == "PW" && (is({0x01, 0x02, 0x00}) || is({0x01, 0x03, 0x00}))) {
        const auto& width = settings_.paperWidth[params[1] == 0x02 ? 0 : 1];
        if (!width || (settings_.faults & kFaultPaperWidthSilent)) {
            return {};
        }
        char text[24];
        snprintf(text, sizeof text, "PW:%08X;", *width);
        return TextBytes(text);
    }
    return TextBytes(std::string(command) + ":NA;");
}

std::optional<std::vector<uint8_t>> SimulatedPrinter::AnswerSnmp(
    std::span<const uint8_t> datagram) {
    std::lock_guard lock(mutex_);
    SettleLocked();
    auto reply = printersim::AnswerSnmp(datagram, settings_.firmware);
    if (reply && (settings_.faults & kFaultSnmpShort) && reply->size() > kSnmpShortLength) {
        reply->resize(kSnmpShortLength);
    }
    return reply;
}

std::string SimulatedPrinter::ApplyFirmwareLocked(const DecodedItem& item,
                                                  std::span<const uint8_t> job) {
    int headerClass = HeaderClass(item.params);
    if (headerClass == 0) {
        return "firmware refused: no model header of either class after the lead-in";
    }
    int printerClass = FirmwareVersionClass(settings_.firmware);
    if (headerClass != printerClass) {
        return "firmware refused: the file is for model class " + std::to_string(headerClass) +
               ", this printer (" + settings_.firmware + ") is of class " +
               std::to_string(printerClass);
    }
    std::string version = FirmwareFileVersion(job.subspan(item.dataOffset, item.dataLength));
    if (version.empty()) {
        return "firmware refused: the file is too short to hold a version";
    }
    pendingFirmware_ = version;
    MakeBusyLocked(settings_.firmwareMs, "taking firmware " + version);
    return "firmware accepted: busy for " + std::to_string(settings_.firmwareMs) +
           " ms, then version " + version;
}

std::vector<std::string> SimulatedPrinter::ApplyJob(const DecodedJob& decoded,
                                                    std::span<const uint8_t> job) {
    std::lock_guard lock(mutex_);
    SettleLocked();
    ++received_;
    std::vector<std::string> effects;
    std::optional<uint8_t> platenGap;
    std::map<std::pair<uint8_t, uint8_t>, uint8_t> values;
    for (const auto& item : decoded.items) {
        if (item.kind == ItemKind::kEnterRemote) {
            platenGap.reset();
            values.clear();
        } else if (item.kind == ItemKind::kFirmwareTransfer) {
            effects.push_back(ApplyFirmwareLocked(item, job));
        } else if (item.kind == ItemKind::kRemoteCommand && IsWellFormedCommand(item)) {
            const auto& p = item.params;
            if (item.command == "SN") {
                platenGap = p[2];
            } else if (item.command == "DA") {
                values[{p[1], p[2]}] = p[3];
            } else if (item.command == "SV") {
                if (!platenGap && values.empty()) {
                    effects.push_back("SV: no head-gap values to store");
                    continue;
                }
                std::string stored = "stored head-gap values:";
                if (platenGap) {
                    headGaps_.platenGap = platenGap;
                    stored += " platen gap " + FormatHexByte(*platenGap) + ";";
                }
                for (const auto& [key, value] : values) {
                    headGaps_.values[key] = value;
                    stored += " " + FormatGapValue(key, value) + ";";
                }
                stored.pop_back();
                ++headGaps_.stores;
                effects.push_back(stored);
            } else if (item.command == "CH") {
                MakeBusyLocked(settings_.cleaningMs, "cleaning");
                effects.push_back("power cleaning: busy for " +
                                  std::to_string(settings_.cleaningMs) + " ms");
            }
        }
    }
    return effects;
}

std::string SimulatedPrinter::Set(std::string_view key, std::string_view value) {
    std::lock_guard lock(mutex_);
    SettleLocked();
    std::string error = ApplyPrinterSetting(settings_, key, value);
    if (error.empty() && key == "readiness") {
        readinessStep_ = 0;
    }
    if (error.empty() && key == "firmware") {
        pendingFirmware_.clear();  // an operator's version wins over a transfer in progress
    }
    return error;
}

PrinterSettings SimulatedPrinter::Settings() {
    std::lock_guard lock(mutex_);
    SettleLocked();
    return settings_;
}

HeadGapStore SimulatedPrinter::HeadGaps() {
    std::lock_guard lock(mutex_);
    return headGaps_;
}

std::string SimulatedPrinter::FirmwareVersion() {
    std::lock_guard lock(mutex_);
    SettleLocked();
    return settings_.firmware;
}

bool SimulatedPrinter::Busy() {
    std::lock_guard lock(mutex_);
    SettleLocked();
    return busyUntil_.has_value();
}

void SimulatedPrinter::SetSnmpAddress(std::string address) {
    std::lock_guard lock(mutex_);
    snmpAddress_ = std::move(address);
}

void SimulatedPrinter::JobStarted() {
    std::lock_guard lock(mutex_);
    ++printing_;
}

void SimulatedPrinter::JobFinished() {
    std::lock_guard lock(mutex_);
    --printing_;
}

std::string SimulatedPrinter::Summary() {
    std::lock_guard lock(mutex_);
    std::string code = StatusCodeLocked(false);
    std::string text = id_ + "  \"" + settings_.description + "\"  status " + code + "  firmware " +
                       settings_.firmware;
    if (busyUntil_.has_value()) {
        text += "  busy: " + busyReason_;
    }
    if (printing_ > 0) {
        text += "  printing";
    }
    return text;
}

std::string SimulatedPrinter::Describe() {
    std::lock_guard lock(mutex_);
    std::string code = StatusCodeLocked(false);
    std::string text = "id = " + id_ + "\n" + FormatPrinterSettings(settings_);
    std::string left;
    for (size_t i = readinessStep_; i < settings_.readiness.size(); ++i) {
        left += (left.empty() ? "" : ",") + settings_.readiness[i];
    }
    text += "readiness-left = " + left + "\n";
    text += "next-status = " + code + "\n";
    text += busyUntil_.has_value() ? "busy = " + busyReason_ + ", " +
                                         std::to_string(*busyUntil_ - clock_.Now()) + " ms left\n"
                                   : "busy = no\n";
    text += "snmp-address = " + (snmpAddress_.empty() ? "none" : snmpAddress_) + "\n";
    text += "jobs-received = " + std::to_string(received_) + "\n";
    text += "jobs-printing = " + std::to_string(printing_) + "\n";
    return text;
}

std::vector<uint8_t> ControlStream::Feed(std::span<const uint8_t> bytes,
                                         SimulatedPrinter& printer) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    std::vector<uint8_t> replies;
    size_t pos = 0;
    auto isLetter = [](uint8_t c) { return c >= 'A' && c <= 'Z'; };
    while (pending_.size() - pos >= 4) {
        if (!isLetter(pending_[pos]) || !isLetter(pending_[pos + 1])) {
            ++pos;  // not the start of a request: skip to the next byte
            continue;
        }
        size_t length =
            static_cast<size_t>(pending_[pos + 2]) | static_cast<size_t>(pending_[pos + 3]) << 8;
        if (length > kMaxControlRequest) {
            pos += 4;  // an absurd length: drop the request head and read on
            continue;
        }
        if (pending_.size() - pos < 4 + length) {
            break;  // the rest of this request comes with a later send
        }
        std::string command(pending_.begin() + static_cast<std::ptrdiff_t>(pos),
                            pending_.begin() + static_cast<std::ptrdiff_t>(pos) + 2);
        auto reply = printer.AnswerControl(
            command, std::span<const uint8_t>(pending_).subspan(pos + 4, length));
        replies.insert(replies.end(), reply.begin(), reply.end());
        pos += 4 + length;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pos));
    return replies;
}

}  // namespace printersim
