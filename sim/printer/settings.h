// The simulator's configuration: a readable INI-like file with one [simulator] section and one
// [printer <id>] section per simulated printer. The same key names change a running printer
// through the control interface.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/printer/clock.h"
#include "sim/printer/wire.h"

namespace printersim {

struct ChannelEntry {
    uint32_t id = 0;
    uint32_t flags = 0;  // bit 0: the channel can be used
};

// Malformed answers a printer can be told to give.
enum Fault : unsigned {
    kFaultDeviceIdNoSemicolon = 1u << 0,  // nothing ends the "DES:" value
    kFaultStatusNoSt = 1u << 1,           // the status has no "ST:" field
    kFaultStatusNoInk = 1u << 2,          // the status has no "INK:" field
    kFaultPaperWidthSilent = 1u << 3,     // "PW" requests are never answered
    kFaultSnmpShort = 1u << 4,            // SNMP replies are cut to 14 bytes
};

struct PrinterSettings {
    std::string id;
    std::string description = "ARVEN WL-4000";  // the "DES:" value
    std::string deviceIdOverride;               // when set, the device id text verbatim
    std::string status = "04";                  // the steady "ST:" code
    std::vector<std::string> readiness;         // codes for the next status reads, in order
    std::string ink = "1101,3202,4304,5408,6210,7320";
    // Paper width in 1/360 inch answered to the first and second "PW" request; none: no answer.
    std::optional<uint32_t> paperWidth[2] = {15840, 15840};
    std::string firmware = "BN0102";
    std::vector<ChannelEntry> channels = {{0x10010003u, 1}, {4, 1}};
    unsigned faults = 0;
    std::optional<uint16_t> snmpPort = uint16_t{0};  // 0: any free port; none: no agent
    Millis printMs = 3000;
    Millis cleaningMs = 20000;
    Millis firmwareMs = 30000;
};

struct SimulatorSettings {
    simwire::Endpoint listen{"127.0.0.1", 0};
    std::string journalDir = "journal";
    std::vector<PrinterSettings> printers;
};

// Sets one key of a printer ("status", "ink", "paper-width", ...). Returns an error text, or
// the empty string when the value was taken.
std::string ApplyPrinterSetting(PrinterSettings& printer, std::string_view key,
                                std::string_view value);

// "0x10010003": channel ids and flags as the configuration writes them.
std::string FormatHexNumber(uint32_t value);

// The printer's settings as "key = value" lines, in the file's syntax.
std::string FormatPrinterSettings(const PrinterSettings& printer);

// Parses a whole configuration; on failure returns nothing and sets error to "line N: ...".
// Relative journal paths are taken relative to baseDir.
std::optional<SimulatorSettings> ParseSettings(std::string_view text, const std::string& baseDir,
                                               std::string& error);

}  // namespace printersim
