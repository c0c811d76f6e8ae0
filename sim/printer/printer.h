// One simulated printer: what it answers to device-id, status, control and SNMP queries, and
// what the jobs it receives do to it (stored head-gap values, cleaning, new firmware).
// Thread-safe: queries, jobs and the control interface come from different connections.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/printer/clock.h"
#include "sim/printer/decoder.h"
#include "sim/printer/settings.h"

namespace printersim {

inline constexpr uint32_t kControlChannel = 0x10010003u;
inline constexpr uint32_t kSnmpChannel = 4;
// The status code while cleaning or taking firmware.
inline constexpr std::string_view kBusyStatus = "03";

struct HeadGapStore {
    std::optional<uint8_t> platenGap;                       // the last stored "SN" value
    std::map<std::pair<uint8_t, uint8_t>, uint8_t> values;  // (mode m, code c) -> value v
    int stores = 0;                                         // how many "SV" took effect
};

// "m=10 c=12 v=8", as the journal and the control interface show a stored value.
std::string FormatGapValue(std::pair<uint8_t, uint8_t> modeAndCode, uint8_t value);
std::string FormatHexByte(uint8_t value);

class SimulatedPrinter {
  public:
    SimulatedPrinter(PrinterSettings settings, Clock& clock);

    const std::string& id() const { return id_; }

    std::string DeviceId();
    std::vector<ChannelEntry> Channels();
    // One status read: takes the next code of the readiness schedule.
    std::string ReadStatus();
    // The reply to one control-channel request; empty when the printer stays silent.
    std::vector<uint8_t> AnswerControl(std::string_view command, std::span<const uint8_t> params);
    std::optional<std::vector<uint8_t>> AnswerSnmp(std::span<const uint8_t> datagram);

    // Carries out a received job; returns one line per effect for the journal.
    std::vector<std::string> ApplyJob(const DecodedJob& decoded, std::span<const uint8_t> job);

    // Changes a setting by its configuration key; returns an error text or "".
    std::string Set(std::string_view key, std::string_view value);
    PrinterSettings Settings();
    HeadGapStore HeadGaps();
    std::string FirmwareVersion();
    bool Busy();

    void SetSnmpAddress(std::string address);
    void JobStarted();
    void JobFinished();

    // For the control interface: one line, and the full state as "key = value" lines.
    std::string Summary();
    std::string Describe();

    // Held while a job is received and printed: a printer takes one job at a time.
    std::mutex& intake() { return intake_; }

  private:
    void SettleLocked();
    std::string StatusCodeLocked(bool consume);
    void MakeBusyLocked(Millis duration, std::string reason);
    std::string ApplyFirmwareLocked(const DecodedItem& item, std::span<const uint8_t> job);

    const std::string id_;
    Clock& clock_;
    std::mutex mutex_;
    std::mutex intake_;
    PrinterSettings settings_;
    size_t readinessStep_ = 0;
    std::optional<Millis> busyUntil_;  // set while cleaning or taking firmware
    std::string busyReason_;
    std::string pendingFirmware_;
    HeadGapStore headGaps_;
    std::string snmpAddress_;
    int printing_ = 0;
    int received_ = 0;
};

// The byte stream of one open control channel: requests ("VI", "PW", ...) may arrive split
// over several sends or several in one.
class ControlStream {
  public:
    std::vector<uint8_t> Feed(std::span<const uint8_t> bytes, SimulatedPrinter& printer);

  private:
    std::vector<uint8_t> pending_;
};

}  // namespace printersim
